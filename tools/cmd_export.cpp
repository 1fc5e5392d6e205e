#include "commands.h"

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

// Every file asked for, in the order given; a usage error for a name whose
// format is unknown.
Status outputsOf(const QCommandLineParser &parser, QVector<MeshOutput> &outputs)
{
    for (const QString &path : parser.values(plyOption))
        outputs.append({path, MeshFormat::Ply});
    for (const QString &path : parser.values(objOption))
        outputs.append({path, MeshFormat::Obj});
    for (const QString &path : parser.values(outOption)) {
        MeshFormat format;
        if (!meshFormatOf(path, &format)) {
            return Status::usage(
                QStringLiteral("export: %1: not a format export writes; name it %2")
                    .arg(shownName(path), meshExtensions()));
        }
        outputs.append({path, format});
    }
    if (outputs.isEmpty()) {
        return Status::usage(QStringLiteral("export: give --out FILE (%1)").arg(meshExtensions()));
    }
    return Status();
}

Status optionsOf(const QCommandLineParser &parser, MeshExportOptions &options)
{
    if (parser.isSet(upOption)) {
        const QString up = parser.value(upOption).toLower();
        if (up != QLatin1String("y") && up != QLatin1String("z")) {
            return Status::usage(QStringLiteral("export: --up must be y or z, not '%1'")
                                     .arg(parser.value(upOption)));
        }
        options.upGiven = true;
        options.up = up == QLatin1String("y") ? UpAxis::Y : UpAxis::Z;
    }
    if (parser.isSet(diameterOption) && !numberInRange(parser.value(diameterOption), minDiameterMm,
                                                       maxDiameterMm, &options.diameterMm)) {
        return Status::usage(QStringLiteral("export: --diameter must be a number of "
                                            "millimetres from %1 to %2, not '%3'")
                                 .arg(minDiameterMm)
                                 .arg(maxDiameterMm, 0, 'f', 0)
                                 .arg(parser.value(diameterOption)));
    }
    return Status();
}

// --relief 3mm or 10%, as a share of the base sphere's radius.
Status reliefOf(const QCommandLineParser &parser, const QVector<MeshOutput> &outputs,
                MeshExportOptions &options)
{
    if (!parser.isSet(reliefOption))
        return Status();
    const QString text = parser.value(reliefOption).trimmed().toLower();
    const bool mm = text.endsWith(QLatin1String("mm")), percent = text.endsWith('%');
    bool number = false;
    const double value = text.left(text.size() - (mm ? 2 : percent ? 1 : 0)).toDouble(&number);
    const double share = mm ? value / (options.diameterMm / 2) : value / 100;
    if (!(mm || percent) || !number || !(share >= 0 && share <= 1)) {
        return Status::usage(QStringLiteral("export: --relief must be millimetres (3mm) or a "
                                            "share of the sea sphere's radius (10%), from 0 up "
                                            "to the radius, not '%1'")
                                 .arg(parser.value(reliefOption)));
    }
    if (mm && !printsSolid(outputs)) {
        return Status::usage(QStringLiteral("export: --relief in millimetres is for STL and "
                                            "3MF files; give the others a share (10%)"));
    }
    options.reliefShare = share;
    return Status();
}

// The first output not in a print format (or, with paintOnly, not a 3MF).
const MeshOutput *firstNotPrinted(const QVector<MeshOutput> &outputs, bool paintOnly)
{
    for (const MeshOutput &output : outputs) {
        if (output.format != MeshFormat::ThreeMf && (paintOnly || output.format != MeshFormat::Stl))
            return &output;
    }
    return nullptr;
}

// --halves, --pins: checked against the outputs; whether the holes fit is
// known only once the globe is built.
Status halvesOf(const QCommandLineParser &parser, const QVector<MeshOutput> &outputs,
                MeshExportOptions &options)
{
    options.halves = parser.isSet(halvesOption);
    if (parser.isSet(pinsOption) && !options.halves)
        return Status::usage(QStringLiteral("export: --pins makes holes in the halves' cut "
                                            "faces; give --halves too"));
    if (parser.isSet(pinsOption) &&
        !(numberInRange(parser.value(pinsOption), 0, options.diameterMm, &options.pinDiameterMm) &&
          options.pinDiameterMm > 0))
        return Status::usage(QStringLiteral("export: --pins must be a diameter in millimetres "
                                            "above 0 and up to the globe's, not '%1'")
                                 .arg(parser.value(pinsOption)));
    const MeshOutput *other = firstNotPrinted(outputs, false);
    if (options.halves && other)
        return Status::usage(QStringLiteral("export: --halves is for STL and 3MF files, not %1")
                                 .arg(shownName(other->path)));
    if (options.halves && options.upGiven && options.up != UpAxis::Z)
        return Status::usage(QStringLiteral("export: --halves lie on the bed, Z up; leave "
                                            "out --up y"));
    return Status();
}

// --filaments N or --filament-levels GROUPS, for 3MF files only.
Status filamentsOf(const QCommandLineParser &parser, const QVector<MeshOutput> &outputs,
                   MeshExportOptions &options)
{
    const bool count = parser.isSet(filamentsOption), grouped = parser.isSet(filamentLevelsOption);
    if (count && grouped)
        return Status::usage(QStringLiteral("export: give --filaments or --filament-levels, "
                                            "not both"));
    if (!count && !grouped)
        return Status();
    const MeshOutput *other = firstNotPrinted(outputs, true);
    if (other)
        return Status::usage(QStringLiteral("export: %1 cannot hold the filaments' paint; "
                                            "only 3MF files can")
                                 .arg(shownName(other->path)));
    if (grouped)
        return parseFilamentLevels(parser.value(filamentLevelsOption), options.filaments);
    double filaments = 0;
    if (!numberInRange(parser.value(filamentsOption), minFilaments, maxFilaments, &filaments) ||
        filaments != std::floor(filaments))
        return Status::usage(QStringLiteral("export: --filaments must be a whole number from %1 "
                                            "to %2, not '%3'")
                                 .arg(minFilaments)
                                 .arg(maxFilaments)
                                 .arg(parser.value(filamentsOption)));
    options.filaments = filamentBands(int(filaments));
    return Status();
}

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

} // namespace

int runExport(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("export"),
                     QStringLiteral("Writes the globe of the world in DIR as the editor draws it: "
                                    "every corner at its level's height and in its level's "
                                    "colour (8-bit sRGB, as the editor's framebuffer holds "
                                    "it; linear light in glTF). Each file is replaced whole or "
                                    "not at all."));
    line.addLevelOptions();
    line.parser.addOptions({outOption, plyOption, objOption, upOption, diameterOption, reliefOption,
                            halvesOption, pinsOption, filamentsOption, filamentLevelsOption,
                            riversOption});
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    ExportOptions options;
    Status parsed = outputsOf(line.parser, options.outputs);
    if (parsed.ok())
        parsed = optionsOf(line.parser, options.mesh);
    if (parsed.ok())
        parsed = reliefOf(line.parser, options.outputs, options.mesh);
    if (parsed.ok())
        parsed = halvesOf(line.parser, options.outputs, options.mesh);
    if (parsed.ok())
        parsed = filamentsOf(line.parser, options.outputs, options.mesh);
    if (!parsed.ok())
        return report(parsed);
    options.mesh.rivers = line.parser.isSet(riversOption);
    options.mesh.title = line.worldName();
    Progress progress;
    World world;
    if (const Status loaded = line.loadWorldAndLevels(&world); !loaded.ok())
        return exitStatus(loaded);
    ExportReport written;
    const Status exported = exportMesh(world, options, &written, progress);
    progress.finish(exported.ok());
    if (!exported.ok())
        return report(exported);
    QStringList lines{QStringLiteral("%1 vertices, %2 triangles written")
                          .arg(written.vertices)
                          .arg(written.triangles),
                      line.levelsLine(world)};
    if (written.solid)
        lines << printSizeLine(written, options.mesh.diameterMm)
              << printPartsLines(written, options);
    printLines(stdout, lines);
    return report(exported);
}
