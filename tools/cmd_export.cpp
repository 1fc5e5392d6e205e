#include "commands.h"

#include "meshes/exportcheck.h"
#include "meshes/meshexport.h"
#include "meshes/meshfiles.h"
#include "meshes/printhalves.h"
#include "world/filenames.h"
#include "world/progress.h"

#include <cmath>

namespace {

const QCommandLineOption outOption(QStringLiteral("out"),
                                   QStringLiteral("Write FILE, in the format its extension names: "
                                                  ".glb or .gltf (glTF 2.0), .stl, .3mf, .ply or "
                                                  ".obj, or .html: a web page of the globe that a "
                                                  "browser opens from disk, with nothing to "
                                                  "install and no network (drag to turn, wheel to "
                                                  "zoom). May be given more than once."),
                                   QStringLiteral("FILE"));
const QCommandLineOption plyOption(QStringLiteral("ply"),
                                   QStringLiteral("Write a binary PLY file, whatever its name."),
                                   QStringLiteral("FILE"));
const QCommandLineOption objOption(QStringLiteral("obj"),
                                   QStringLiteral("Write a Wavefront OBJ file, whatever its name."),
                                   QStringLiteral("FILE"));
const QCommandLineOption upOption(QStringLiteral("up"),
                                  QStringLiteral("The up axis of OBJ, PLY and STL files: y, or z "
                                                 "for the editor's own frame. Without it OBJ is "
                                                 "Y up, PLY and STL Z up; glTF is always Y up "
                                                 "and 3MF Z up."),
                                  QStringLiteral("AXIS"));
const QCommandLineOption diameterOption(QStringLiteral("diameter"),
                                        QStringLiteral("STL and 3MF: the diameter of the base "
                                                       "sphere, where the sea lies, in "
                                                       "millimetres (default 100)."),
                                        QStringLiteral("MM"));
const QCommandLineOption riversOption(QStringLiteral("rivers"),
                                      QStringLiteral("Colour the vertices of rivers and lakes "
                                                     "as water (level 0's colour) in every "
                                                     "format that carries colours."));
const QCommandLineOption reliefOption(
    QStringLiteral("relief"),
    QStringLiteral("How far a level-9 vertex stands above the sea sphere, the other levels in "
                   "proportion: millimetres for STL and 3MF (3mm, with --diameter), or a share "
                   "of the sea sphere's radius for every format (10%). Without it, heights are "
                   "the editor's, which shrink four times with each subdivision."),
    QStringLiteral("H"));

const QCommandLineOption halvesOption(
    QStringLiteral("halves"),
    QStringLiteral("STL and 3MF: the globe cut through its equator into two halves, each closed "
                   "by its flat cut face and laid on it, side by side, Z up: NAME-north.stl and "
                   "NAME-south.stl, or objects \"north\" and \"south\" in one 3MF."));
const QCommandLineOption pinsOption(
    QStringLiteral("pins"),
    QStringLiteral("With --halves: three blind holes in each cut face, at the same places, for "
                   "pins MM across (1.75 for filament), with 0.3 mm of play and three pin "
                   "diameters deep."),
    QStringLiteral("MM"));
const QCommandLineOption filamentsOption(
    QStringLiteral("filaments"),
    QStringLiteral("3MF: paint each triangle for multi-material slicers (PrusaSlicer, Bambu "
                   "Studio, OrcaSlicer) with one of N filaments (2 to 16): the sea filament 1, "
                   "the land levels in N-1 bands from low to high."),
    QStringLiteral("N"));
const QCommandLineOption filamentLevelsOption(
    QStringLiteral("filament-levels"),
    QStringLiteral("3MF: paint as --filaments, with the levels of each filament given in order, "
                   "such as 0,1-4,5-9 (filament 1 the sea, 2 levels 1 to 4, 3 levels 5 to 9)."),
    QStringLiteral("GROUPS"));

// What the print's parts came to: the halves, their holes, the filaments.
QStringList printPartsLines(const ExportReport &written, const ExportOptions &options)
{
    QStringList lines;
    if (options.mesh.halves) {
        QString line = QStringLiteral("halves cut at the equator, each on its cut face: north %1 "
                                      "triangles, south %2")
                           .arg(written.northTriangles)
                           .arg(written.southTriangles);
        for (const MeshOutput &output : options.outputs) {
            if (output.format == MeshFormat::Stl)
                line += QStringLiteral("; %1 and %2")
                            .arg(shownName(halfFileName(output.path, "north")),
                                 shownName(halfFileName(output.path, "south")));
        }
        lines << line;
    }
    if (written.holes > 0)
        lines << QStringLiteral("pin holes: %1 in each cut face, %2 mm across, %3 mm deep, for "
                                "pins of %4 mm")
                     .arg(written.holes)
                     .arg(written.holeDiameterMm, 0, 'f', 2)
                     .arg(written.holeDepthMm, 0, 'f', 2)
                     .arg(options.mesh.pinDiameterMm);
    if (options.mesh.filaments.painted())
        lines << QStringLiteral("filaments painted: %1")
                     .arg(filamentLevelsText(options.mesh.filaments));
    return lines;
}

// How big the print comes out: the base sphere and the highest peak.
// A relief under half a millimetre hardly shows on a print.
QString printSizeLine(const ExportReport &written, double diameterMm)
{
    const double relief = (written.peakDiameterMm - diameterMm) / 2;
    QString line = QStringLiteral("STL and 3MF in millimetres: base sphere %1 mm, peaks %2 mm "
                                  "across, the highest relief %3 mm")
                       .arg(diameterMm, 0, 'f', 1)
                       .arg(written.peakDiameterMm, 0, 'f', 1)
                       .arg(relief, 0, 'f', 2);
    if (relief < 0.5)
        line += QStringLiteral(", under half a millimetre: --relief 3mm raises level 9 to 3 mm");
    return line;
}

class ExportJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral("Writes the globe of the world in DIR as the editor draws "
                                     "it: every corner at its level's height and in its level's "
                                     "colour (8-bit sRGB, as the editor's framebuffer holds it; "
                                     "linear light in glTF). Each file is replaced whole or not "
                                     "at all."));
        line.addOptions({outOption, plyOption, objOption, upOption, diameterOption, reliefOption,
                         halvesOption, pinsOption, filamentsOption, filamentLevelsOption,
                         riversOption});
    }

    Status read(const OptionTexts &given) override { return checkExportOptions(given, &options); }

    Status run(const Call &call, Summary &summary) override
    {
        options.mesh.title = worldName(call.dir);
        ExportReport written;
        const Status exported = exportMesh(call.world, options, &written, call.progress);
        summary.out({QStringLiteral("%1 vertices, %2 triangles written")
                         .arg(written.vertices)
                         .arg(written.triangles),
                     call.levelsLine});
        if (written.solid)
            summary.out(QStringList{printSizeLine(written, options.mesh.diameterMm)}
                        << printPartsLines(written, options));
        return exported;
    }

private:
    ExportOptions options;
};

} // namespace

std::unique_ptr<Job> makeExport()
{
    return std::make_unique<ExportJob>();
}
