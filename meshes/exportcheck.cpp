#include "meshes/exportcheck.h"

#include "meshes/meshexport.h"
#include "meshes/printhalves.h"
#include "world/filenames.h"

#include <cmath>

namespace {

// Every file asked for, in the order given; a usage error for a name whose
// format is unknown.
Status outputsOf(const OptionTexts &given, QVector<MeshOutput> &outputs)
{
    for (const QString &path : given.values(QStringLiteral("ply")))
        outputs.append({path, MeshFormat::Ply});
    for (const QString &path : given.values(QStringLiteral("obj")))
        outputs.append({path, MeshFormat::Obj});
    for (const QString &path : given.values(QStringLiteral("out"))) {
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

Status optionsOf(const OptionTexts &given, MeshExportOptions &options)
{
    if (given.isSet(QStringLiteral("up"))) {
        const QString up = given.value(QStringLiteral("up")).toLower();
        if (up != QLatin1String("y") && up != QLatin1String("z")) {
            return Status::usage(QStringLiteral("export: --up must be y or z, not '%1'")
                                     .arg(shownName(given.value(QStringLiteral("up")))));
        }
        options.upGiven = true;
        options.up = up == QLatin1String("y") ? UpAxis::Y : UpAxis::Z;
    }
    if (given.isSet(QStringLiteral("diameter")) &&
        !numberInRange(given.value(QStringLiteral("diameter")), minDiameterMm, maxDiameterMm,
                       &options.diameterMm)) {
        return Status::usage(QStringLiteral("export: --diameter must be a number of "
                                            "millimetres from %1 to %2, not '%3'")
                                 .arg(minDiameterMm)
                                 .arg(maxDiameterMm, 0, 'f', 0)
                                 .arg(given.value(QStringLiteral("diameter"))));
    }
    return Status();
}

// --relief 3mm or 10%, as a share of the base sphere's radius.
Status reliefOf(const OptionTexts &given, const QVector<MeshOutput> &outputs,
                MeshExportOptions &options)
{
    if (!given.isSet(QStringLiteral("relief")))
        return Status();
    const QString text = given.value(QStringLiteral("relief")).trimmed().toLower();
    const bool mm = text.endsWith(QLatin1String("mm")), percent = text.endsWith('%');
    bool number = false;
    const double value = text.left(text.size() - (mm ? 2 : percent ? 1 : 0)).toDouble(&number);
    const double share = mm ? value / (options.diameterMm / 2) : value / 100;
    if (!(mm || percent) || !number || !(share >= 0 && share <= 1)) {
        return Status::usage(QStringLiteral("export: --relief must be millimetres (3mm) or a "
                                            "share of the sea sphere's radius (10%), from 0 up "
                                            "to the radius, not '%1'")
                                 .arg(given.value(QStringLiteral("relief"))));
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
Status halvesOf(const OptionTexts &given, const QVector<MeshOutput> &outputs,
                MeshExportOptions &options)
{
    options.halves = given.isSet(QStringLiteral("halves"));
    if (given.isSet(QStringLiteral("pins")) && !options.halves)
        return Status::usage(QStringLiteral("export: --pins makes holes in the halves' cut "
                                            "faces; give --halves too"));
    if (given.isSet(QStringLiteral("pins")) &&
        !(numberInRange(given.value(QStringLiteral("pins")), 0, options.diameterMm,
                        &options.pinDiameterMm) &&
          options.pinDiameterMm > 0))
        return Status::usage(QStringLiteral("export: --pins must be a diameter in millimetres "
                                            "above 0 and up to the globe's, not '%1'")
                                 .arg(given.value(QStringLiteral("pins"))));
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
Status filamentsOf(const OptionTexts &given, const QVector<MeshOutput> &outputs,
                   MeshExportOptions &options)
{
    const bool count = given.isSet(QStringLiteral("filaments")),
               grouped = given.isSet(QStringLiteral("filament-levels"));
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
        return parseFilamentLevels(given.value(QStringLiteral("filament-levels")),
                                   options.filaments);
    double filaments = 0;
    if (!numberInRange(given.value(QStringLiteral("filaments")), minFilaments, maxFilaments,
                       &filaments) ||
        filaments != std::floor(filaments))
        return Status::usage(QStringLiteral("export: --filaments must be a whole number from %1 "
                                            "to %2, not '%3'")
                                 .arg(minFilaments)
                                 .arg(maxFilaments)
                                 .arg(given.value(QStringLiteral("filaments"))));
    options.filaments = filamentBands(int(filaments));
    return Status();
}

} // namespace

Status checkExportOptions(const OptionTexts &given, ExportOptions *options)
{
    Status read = outputsOf(given, options->outputs);
    if (read.ok())
        read = optionsOf(given, options->mesh);
    if (read.ok())
        read = reliefOf(given, options->outputs, options->mesh);
    if (read.ok())
        read = halvesOf(given, options->outputs, options->mesh);
    if (read.ok())
        read = filamentsOf(given, options->outputs, options->mesh);
    options->mesh.rivers = given.isSet(QStringLiteral("rivers"));
    return read;
}
