// Test support: generated worlds on disk, and ways to break their files.
#ifndef WORLDFILES_H
#define WORLDFILES_H

#include "generator/worldgen.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// Writes a generated world into dir; fails the calling test on error.
void writeTestWorld(const QString &dir, const WorldRecipe &recipe);

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// Reads an integer table file, lets edit change it, writes it back.
void editIntTable(const QString &path, const std::function<void(QVector<int> &)> &edit);

#endif
