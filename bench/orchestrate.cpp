#include "orchestrate.h"

#include "figures.h"
#include "probe.h"
#include "report.h"

#include "generator/worldgen.h"
#include "world/worldwrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

const int smokeReps = 3;

int odd(int n)
{
    return n | 1;
}

// Small worlds get more repetitions: the whole run stays within minutes on
// two cores while the small figures still get a steady median. The plain
// sequence takes half a minute per build at S = 7, so it is built once
// there; at S = 8 it would take many minutes and is not measured at all,
// and every figure of ours is taken once.
ProbePlan planFor(int subdivision, bool fixedReps)
{
    ProbePlan plan;
    plan.subdivision = subdivision;
    if (fixedReps) {
        plan.buildReps = plan.frameReps = plan.lightReps = plan.plainReps = smokeReps;
        return plan;
    }
    const double triangles = 20.0 * double(1 << (2 * subdivision));
    plan.buildReps = odd(std::clamp(int(200000.0 / triangles), 3, 31));
    plan.frameReps = odd(std::clamp(int(500000.0 / triangles), 5, 31));
    plan.lightReps = odd(std::clamp(int(3000000.0 / triangles), 11, 101));
    plan.plainReps = subdivision >= 7 ? 1 : plan.buildReps;
    if (subdivision >= 8) {
        plan.buildReps = plan.frameReps = 1;
        plan.plainReps = 0;
    }
    return plan;
}

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text) &&
           file.write(text.toUtf8()) >= 0 && file.flush();
}

bool probeWorld(const QString &self, const ProbePlan &plan, QVector<Measurement> &rows,
                RunInfo &info)
{
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(self, {QStringLiteral("--probe"), plan.worldDir, QStringLiteral("--subdivision"),
                       QString::number(plan.subdivision), QStringLiteral("--build"),
                       QString::number(plan.buildReps), QStringLiteral("--frame"),
                       QString::number(plan.frameReps), QStringLiteral("--light"),
                       QString::number(plan.lightReps), QStringLiteral("--plain"),
                       QString::number(plan.plainReps)});
    if (!probe.waitForFinished(-1) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        return false;
    const QString rendererTag = QStringLiteral("renderer: ");
    for (const QString &line : QString::fromUtf8(probe.readAllStandardOutput()).split('\n')) {
        Measurement m;
        if (line.startsWith(rendererTag))
            info.renderer = line.mid(rendererTag.size());
        else if (fromCsvLine(line, m))
            rows << m;
    }
    return true;
}

bool measureSize(const QString &self, int subdivision, bool fixedReps, QVector<Measurement> &rows,
                 RunInfo &info)
{
    QTemporaryDir dir;
    WorldRecipe shape;
    shape.subdivision = subdivision;
    shape.demo = true;
    const Status written =
        dir.isValid() ? writeWorld(dir.path(), generateWorld(shape)) : Status::refused("no folder");
    if (!written.ok()) {
        std::fprintf(stderr, "globe-bench: no world of subdivision %d: %s\n", subdivision,
                     qPrintable(written.message()));
        return false;
    }
    ProbePlan plan = planFor(subdivision, fixedReps);
    plan.worldDir = dir.path();
    const int before = rows.size();
    if (!probeWorld(self, plan, rows, info)) {
        std::fprintf(stderr, "globe-bench: the probe of subdivision %d failed\n", subdivision);
        return false;
    }
    std::printf("%s", qPrintable(textTable(rows.mid(before))));
    std::fflush(stdout);
    return true;
}

// Edits are set beside the smallest world's edit: the edit must not grow
// with the world. The edits set beside the plain sequence keep it.
void relateEditsToS3(QVector<Measurement> &rows)
{
    const auto isEdit = [](const Measurement &m) {
        return m.figure == figures::edit && !m.hasReference();
    };
    const auto s3 = std::find_if(rows.begin(), rows.end(), [&](const Measurement &m) {
        return isEdit(m) && m.subdivision == 3;
    });
    if (s3 == rows.end())
        return;
    const double base = s3->ours;
    for (Measurement &m : rows) {
        if (isEdit(m)) {
            m.reference = QString::fromLatin1(refs::editAtS3);
            m.referenceValue = base;
        }
    }
}

bool writeReports(const QString &outDir, const QVector<Measurement> &rows, const RunInfo &info)
{
    const QDir dir(outDir);
    return dir.mkpath(QStringLiteral(".")) &&
           writeText(dir.filePath(QStringLiteral("performance.md")), markdownReport(rows, info)) &&
           writeText(dir.filePath(QStringLiteral("performance.csv")), csvReport(rows));
}

} // namespace

int runBench(const BenchOptions &options, const QString &self)
{
    QVector<Measurement> rows;
    RunInfo info;
    info.cpu = describeCpu();
    info.date = QDateTime::currentDateTime().toString(Qt::ISODate);
    for (int subdivision : options.sizes) {
        if (!measureSize(self, subdivision, options.fixedReps, rows, info))
            return 2;
    }
    const QStringList missing = missingFigures(rows, options.sizes);
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "globe-bench: not measured: %s\n", qPrintable(missing.join(", ")));
        return 2;
    }
    relateEditsToS3(rows);
    if (!writeReports(options.outDir, rows, info)) {
        std::fprintf(stderr, "globe-bench: cannot write the reports into %s\n",
                     qPrintable(options.outDir));
        return 2;
    }
    for (const TargetCheck &check : checkTargets(rows))
        std::printf(
            "target: %s: %s\n", qPrintable(check.target),
            qPrintable(check.measured.isEmpty() ? QStringLiteral("not measured") : check.measured));
    std::printf("reports written to %s\n", qPrintable(QDir(options.outDir).absolutePath()));
    return 0;
}
