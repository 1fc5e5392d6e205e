// Test support: generated worlds on disk, and ways to break their files.
#ifndef WORLDFILES_H
#define WORLDFILES_H

#include "generator/worldgen.h"
#include "world/worldload.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// Writes a generated world into dir; fails the calling test on error.
void writeTestWorld(const QString &dir, const WorldRecipe &recipe);

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// Runs program with arguments and returns its exit status (-1 if it did not
// finish within a minute), with its stdout and then its stderr in *output.
int runProgram(const QString &program, const QStringList &arguments, QString *output);

// The world in dir as globe-world's commands load it, the levels as demo
// says; fails the calling test, and returns an empty world, when refused.
World loadTestWorld(const QString &dir, DemoTerrain demo = DemoTerrain::Off);

// Reads an integer table file, lets edit change it, writes it back.
void editIntTable(const QString &path, const std::function<void(QVector<int> &)> &edit);

#endif
