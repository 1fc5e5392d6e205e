#include "commands.h"

#include "relief/newworld.h"
#include "world/filenames.h"

namespace {

const QCommandLineOption subdivisionOption(QStringLiteral("subdivision"),
                                           QStringLiteral("Subdivision level, 0 to 8 "
                                                          "(default 4: 2562 vertices; 6 for the "
                                                          "Earth: 40962)."),
                                           QStringLiteral("S"), QStringLiteral("4"));
const QCommandLineOption terrainOption(QStringLiteral("terrain"),
                                       QStringLiteral("flat (all sea), random continents "
                                                      "(default), plates (continents raised by "
                                                      "plate tectonics and carved by rivers, as "
                                                      "erode carves them) or the real Earth."),
                                       QStringLiteral("flat|random|plates|earth"),
                                       QStringLiteral("random"));
const QCommandLineOption seedOption(QStringLiteral("seed"),
                                    QStringLiteral("Seed of the random levels, 0 to 4294967295 "
                                                   "(default 1)."),
                                    QStringLiteral("N"), QStringLiteral("1"));
const QCommandLineOption demoOption(QStringLiteral("demo"),
                                    QStringLiteral("Turn on the built-in demo terrain around the "
                                                   "pole."));
const QCommandLineOption platesOption(QStringLiteral("plates"),
                                      QStringLiteral("With --terrain plates: the number of "
                                                     "plates, 2 to 100 (default 12)."),
                                      QStringLiteral("N"));
const QCommandLineOption boundariesOption(
    QStringLiteral("boundaries"),
    QStringLiteral("With --terrain plates: also write the plate boundaries to FILE, LineStrings "
                   "in WGS 84 with a field kind (convergent, divergent or transform): .gpkg a "
                   "GeoPackage (layer boundaries), .geojson GeoJSON."),
    QStringLiteral("FILE"));
const QCommandLineOption overwriteOption(QStringLiteral("overwrite"),
                                         QStringLiteral("Replace the world DIR holds. Its "
                                                        "save.dat is kept, and named when it "
                                                        "does not fit the new world."));

class GenerateJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral("Generates a world into DIR, creating it when needed: a "
                                     "geodesic sphere of 20 x 4^S triangles and its levels."));
        line.addOptions({subdivisionOption, terrainOption, seedOption, platesOption,
                         boundariesOption, demoOption, overwriteOption});
    }

    Status read(const OptionTexts &given) override { return checkNewWorldOptions(given, &options); }

    Status run(const Call &call, Summary &summary) override
    {
        options.dir = call.dir;
        NewWorldReport made;
        const Status written = makeWorld(options, &made, call.progress);
        summary.out(QStringLiteral("%1: %2 vertices, %3 triangles, subdivision %4")
                        .arg(shownName(call.dir))
                        .arg(made.vertices)
                        .arg(made.triangles)
                        .arg(options.recipe.subdivision));
        if (!made.staleSave.isEmpty())
            summary.out(made.staleSave);
        return written;
    }

private:
    NewWorldOptions options;
};

} // namespace

std::unique_ptr<Job> makeGenerate()
{
    return std::make_unique<GenerateJob>();
}
