// The editor's application object, made so that a desktop without a display
// to connect to gets one line and status 1 rather than Qt's abort.
#ifndef STARTUP_H
#define STARTUP_H

#include <QApplication>

#include <memory>

// Connects to the display, or prints why it cannot and ends the process with
// status 1. Names the program so that its X class and its Wayland app id
// match the menu entry (globe.desktop).
std::unique_ptr<QApplication> startApplication(int &argc, char **argv);

// The editor takes no arguments: it opens the world of its working
// directory. A folder named on the command line gets one line on stderr
// saying so and how to open that folder instead, and the editor goes on;
// --help (or -h) prints the same as usage and returns false: the caller
// then ends with status 0. arguments are the command line, the program's
// name first.
bool noteArguments(const QStringList &arguments);

#endif
