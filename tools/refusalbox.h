// The box that tells a user who started from the desktop menu, and so has
// no terminal, why their world does not open: globe-launch asks for it with
// check --gui. Apart from the commands, which report to the terminal only.
#ifndef REFUSALBOX_H
#define REFUSALBOX_H

#include <QString>
#include <QStringList>

// Shows problems in a modal box about the world in dir; nothing without a
// QApplication (main makes one only when a box can be shown).
void showRefusalBox(const QString &dir, const QStringList &problems);

#endif
