// Replays every input kept in tests/data/ through the fuzzers' own checks:
// inputs that once broke the program, and hand-made nasty ones. The file name
// says which check: "world-*" (the six world files), "save-*" (save.dat) or
// "raster-*" (an imported relief, behind its three scale bytes) or "door-*"
// (a raster and its side files on disk).
#include "fuzz/fuzzentries.h"

#include <QDir>
#include <QtTest>

using Check = QStringList (*)(const QByteArray &);
Q_DECLARE_METATYPE(Check)

class RegressionTest : public QObject
{
    Q_OBJECT

private slots:
    void keptInputsBreakNoPromise_data();
    void keptInputsBreakNoPromise();
};

void RegressionTest::keptInputsBreakNoPromise_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Check>("check");
    const QDir data(QStringLiteral(GLOBE_SOURCE_DIR "/tests/data"));
    const QFileInfoList files = data.entryInfoList(QDir::Files, QDir::Name);
    QVERIFY2(!files.isEmpty(), qPrintable(data.path() + " holds no inputs"));
    for (const QFileInfo &file : files) {
        const QString name = file.fileName();
        // An input nobody replays would guard nothing: its name must pick a check.
        const Check check = name.startsWith("world-")    ? checkWorldInput
                            : name.startsWith("save-")   ? checkSaveInput
                            : name.startsWith("raster-") ? checkRasterInput
                            : name.startsWith("door-")   ? checkDoorInput
                                                         : nullptr;
        QVERIFY2(check, qPrintable(name));
        QTest::newRow(qPrintable(name)) << file.filePath() << check;
    }
}

void RegressionTest::keptInputsBreakNoPromise()
{
    QFETCH(QString, path);
    QFETCH(Check, check);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QStringList broken = check(file.readAll());
    QVERIFY2(broken.isEmpty(), qPrintable(broken.join('\n')));
}

QTEST_GUILESS_MAIN(RegressionTest)
#include "tst_regressions.moc"
