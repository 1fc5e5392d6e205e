#include "worldfiles.h"

#include "world/tablefile.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

void writeTestWorld(const QString &dir, const WorldRecipe &recipe)
{
    QString error;
    if (!writeWorld(dir, generateWorld(recipe), &error))
        QFAIL(qPrintable(error));
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QString error;
    if (!writeFileAtomically(path, bytes, &error))
        QFAIL(qPrintable(error));
}

void editIntTable(const QString &path, const std::function<void(QVector<int> &)> &edit)
{
    QVector<int> table;
    QVERIFY(readIntTable(path, table).ok());
    edit(table);
    QString error;
    QVERIFY2(writeIntTable(path, table, &error), qPrintable(error));
}

int runProgram(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return -1;
    *output = process.readAllStandardOutput() + process.readAllStandardError();
    return process.exitCode();
}
