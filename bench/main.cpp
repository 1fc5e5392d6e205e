// globe-bench: the editor's costs beside bare references, world size by size.
//
//   globe-bench [--out DIR] [--sizes 3,4,5,6,7,8] the full run (make bench)
//   globe-bench --smoke                           subdivision 2, reports into a temporary folder
//   globe-bench --probe DIR --subdivision S ...   one world, run by the driver itself
#include "orchestrate.h"
#include "probe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QCommandLineOption smokeOption(QStringLiteral("smoke"),
                                     QStringLiteral("One small world, reports into a temporary "
                                                    "folder: checks that the benchmark runs."));
const QCommandLineOption outOption(QStringLiteral("out"),
                                   QStringLiteral("Folder for performance.md and .csv."),
                                   QStringLiteral("dir"), QStringLiteral("docs"));
const QCommandLineOption sizesOption(QStringLiteral("sizes"),
                                     QStringLiteral("Subdivision levels, comma separated."),
                                     QStringLiteral("list"), QStringLiteral("3,4,5,6,7,8"));
const QCommandLineOption probeOption(QStringLiteral("probe"),
                                     QStringLiteral("Measure the world in dir (internal)."),
                                     QStringLiteral("dir"));
const QCommandLineOption subdivisionOption(QStringLiteral("subdivision"),
                                           QStringLiteral("The probed world's level."),
                                           QStringLiteral("S"));
const QCommandLineOption buildOption(QStringLiteral("build"),
                                     QStringLiteral("Repetitions of figures that compile lists."),
                                     QStringLiteral("n"));
const QCommandLineOption frameOption(QStringLiteral("frame"),
                                     QStringLiteral("Repetitions of figures that draw frames."),
                                     QStringLiteral("n"));
const QCommandLineOption lightOption(QStringLiteral("light"),
                                     QStringLiteral("Repetitions of file and edit figures."),
                                     QStringLiteral("n"));
const QCommandLineOption plainOption(QStringLiteral("plain"),
                                     QStringLiteral("Repetitions of the plain sequence's builds "
                                                    "and restores; 0 measures none."),
                                     QStringLiteral("n"));

void parse(QCommandLineParser &parser, const QCoreApplication &app)
{
    parser.addHelpOption();
    parser.addOptions({smokeOption, outOption, sizesOption, probeOption, subdivisionOption,
                       buildOption, frameOption, lightOption, plainOption});
    parser.process(app);
}

int probe(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parse(parser, app);
    ProbePlan plan;
    plan.worldDir = parser.value(probeOption);
    plan.subdivision = parser.value(subdivisionOption).toInt();
    plan.buildReps = parser.value(buildOption).toInt();
    plan.frameReps = parser.value(frameOption).toInt();
    plan.lightReps = parser.value(lightOption).toInt();
    plan.plainReps = parser.value(plainOption).toInt();
    return runProbe(plan);
}

bool parseSizes(const QString &list, QVector<int> &sizes)
{
    for (const QString &item : list.split(',')) {
        bool ok = false;
        sizes << item.toInt(&ok);
        if (!ok || sizes.last() < 0 || sizes.last() > 8)
            return false;
    }
    return true;
}

int drive(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parse(parser, app);
    BenchOptions options;
    QTemporaryDir smokeDir;
    if (parser.isSet(smokeOption)) {
        options.sizes = {2};
        options.fixedReps = true;
        options.outDir = smokeDir.path();
    } else if (parseSizes(parser.value(sizesOption), options.sizes)) {
        options.outDir = parser.value(outOption);
    } else {
        std::fprintf(stderr, "globe-bench: --sizes wants levels from 0 to 8, like 3,4,5\n");
        return 1;
    }
    return runBench(options, QCoreApplication::applicationFilePath());
}

} // namespace

int main(int argc, char **argv)
{
    // A probe draws, and needs the widgets; the driver only runs probes.
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--probe") == 0)
            return probe(argc, argv);
    }
    return drive(argc, argv);
}
