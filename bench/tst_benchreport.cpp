// The benchmark's bookkeeping: measurements crossing from probe to driver as
// CSV lines, the verdicts on the targets, and the check that nothing went
// unmeasured. Timings themselves are never asserted.
#include "report.h"

#include "figures.h"

#include <QtTest>

class BenchReportTest : public QObject
{
    Q_OBJECT

private slots:
    void everyFigureCrossesAsCsv();
    void otherProbeOutputIsNotAMeasurement();
    void targetsTakeTheWorstSizeAndTheirOwnSize();
    void missingFiguresAreNamed();
};

static Measurement row(const char *figure, const char *reference, int s, double ours,
                       double ref = 0.0)
{
    Measurement m;
    m.figure = QString::fromLatin1(figure);
    m.reference = QString::fromLatin1(reference);
    m.subdivision = s;
    m.triangles = 20 << (2 * s);
    m.ours = ours;
    m.referenceValue = ref;
    m.unit = QStringLiteral("ms");
    return m;
}

void BenchReportTest::everyFigureCrossesAsCsv()
{
    for (const QString &figure : expectedFigures()) {
        Measurement sent = row("", refs::selectionAndFrame, 5, 0.125, 3.5e-4);
        sent.figure = figure;
        Measurement got;
        QVERIFY2(fromCsvLine(toCsvLine(sent), got), qPrintable(figure));
        QCOMPARE(got.figure, sent.figure);
        QCOMPARE(got.reference, sent.reference);
        QCOMPARE(got.subdivision, 5);
        QCOMPARE(got.triangles, sent.triangles);
        QCOMPARE(got.ours, 0.125);
        QCOMPARE(got.referenceValue, 3.5e-4);
    }
    Measurement alone;
    QVERIFY(fromCsvLine(toCsvLine(row(figures::edit, "", 3, 0.02)), alone));
    QVERIFY(!alone.hasReference());
}

void BenchReportTest::otherProbeOutputIsNotAMeasurement()
{
    Measurement m;
    QVERIFY(!fromCsvLine(QString(), m));
    QVERIFY(!fromCsvLine("renderer: llvmpipe (LLVM 15.0.6, 256 bits)", m));
    QVERIFY(!fromCsvLine("load,raw read,seven,1280,0.1,0.05,2,ms", m));
}

void BenchReportTest::targetsTakeTheWorstSizeAndTheirOwnSize()
{
    const QVector<Measurement> rows = {
        row(figures::listsLastEighth, refs::firstEighth, 3, 1.1, 1.0),
        row(figures::listsLastEighth, refs::firstEighth, 5, 1.6, 1.0),
        row(figures::frame, refs::callLoop, 3, 1.05, 1.0),
        row(figures::frame, refs::vertexArrays, 3, 9.0, 1.0), // no target on (b)
        row(figures::load, refs::rawReadFiles, 3, 9.0, 1.0),  // the load target is at S = 7
        row(figures::edit, refs::editAtS3, 7, 0.04, 0.02),
        row(figures::build, refs::plainSequence, 7, 1.0, 10.0),
        row(figures::build, refs::plainSequence, 6, 1.0, 2.0), // the build target is at S = 7
    };
    const QVector<TargetCheck> all = checkTargets(rows);
    const auto check = [&](const char *start) {
        for (const TargetCheck &c : all)
            if (c.target.startsWith(QLatin1String(start)))
                return c;
        return TargetCheck();
    };
    QCOMPARE(int(check("build per list").verdict), int(TargetCheck::Missed));
    QVERIFY2(check("build per list").measured.contains("S = 5"),
             qPrintable(check("build per list").measured));
    QCOMPARE(int(check("build at S = 7").verdict), int(TargetCheck::Met));
    QCOMPARE(int(check("frame within").verdict), int(TargetCheck::Met));
    QCOMPARE(int(check("load").verdict), int(TargetCheck::NotMeasured));
    QCOMPARE(int(check("edit at S = 7 within").verdict), int(TargetCheck::Met));
    QCOMPARE(int(check("edit at S = 7 under").verdict), int(TargetCheck::Met));
    QCOMPARE(check("edit at S = 7 under").measured, QStringLiteral("0.0400 ms"));
    QCOMPARE(int(check("save").verdict), int(TargetCheck::NotMeasured));
    QCOMPARE(int(check("S = 8 opens").verdict), int(TargetCheck::NotMeasured));
}

void BenchReportTest::missingFiguresAreNamed()
{
    QVector<Measurement> rows;
    for (const QString &figure : expectedFigures()) {
        rows << row("", "", 2, 1.0);
        rows.last().figure = figure;
    }
    QVERIFY(missingFigures(rows, {2}).isEmpty());
    QCOMPARE(missingFigures(rows, {2, 3}).size(), expectedFigures().size());
    rows.removeAt(2);
    QCOMPARE(missingFigures(rows, {2}),
             QStringList{QStringLiteral("%1 at S = 2").arg(expectedFigures()[2])});
}

QTEST_GUILESS_MAIN(BenchReportTest)
#include "tst_benchreport.moc"
