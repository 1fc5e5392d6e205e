#include "relief/importcheck.h"

#include "world/filenames.h"

#include <cmath>

namespace {

Status readValue(const OptionTexts &given, const QString &option, double *value)
{
    bool ok = false;
    const QString text = given.value(option);
    *value = text.toDouble(&ok);
    if (ok && std::isfinite(*value))
        return Status();
    return Status::usage(
        QStringLiteral("--%1 must be a number, not '%2'").arg(option, shownName(text)));
}

Status readScaleKind(const OptionTexts &given, LevelScale &scale)
{
    const QString kind = given.value(QStringLiteral("scale"));
    if (kind != QLatin1String("linear") && kind != QLatin1String("area"))
        return Status::usage(
            QStringLiteral("--scale must be linear or area, not '%1'").arg(shownName(kind)));
    scale.equalArea = kind == QLatin1String("area");
    // Without a sea level there is no land to share out; a peak is a
    // height, which bands of equal area do not have.
    if (scale.equalArea && !scale.hasSeaLevel)
        return Status::usage(QStringLiteral("--scale area needs --sea-level"));
    if (scale.equalArea && scale.hasPeak)
        return Status::usage(QStringLiteral("--peak goes with --scale linear, not area"));
    return Status();
}

// The level scale from --sea-level, --peak and --scale, or the usage error.
Status readScale(const OptionTexts &given, LevelScale &scale)
{
    scale.hasSeaLevel = given.isSet(QStringLiteral("sea-level"));
    scale.hasPeak = given.isSet(QStringLiteral("peak"));
    if (scale.hasPeak && !scale.hasSeaLevel) {
        return Status::usage(QStringLiteral("--peak needs --sea-level"));
    }
    Status status;
    if (scale.hasSeaLevel)
        status = readValue(given, QStringLiteral("sea-level"), &scale.seaLevel);
    if (status.ok() && scale.hasPeak)
        status = readValue(given, QStringLiteral("peak"), &scale.peak);
    if (!status.ok())
        return status;
    if (scale.hasPeak && !(scale.peak > scale.seaLevel)) {
        return Status::usage(QStringLiteral("--peak must be above --sea-level"));
    }
    return readScaleKind(given, scale);
}

} // namespace

Status checkImportOptions(const OptionTexts &given, ImportOptions *options)
{
    QString first;
    Status read = given.required(QStringLiteral("heightmap"), &first);
    if (read.ok())
        read = readScale(given, options->scale);
    if (!read.ok())
        return read;
    options->rasters = given.values(QStringLiteral("heightmap"));
    options->scale.noDataIsSea = given.isSet(QStringLiteral("no-data-is-sea"));
    return Status();
}
