#include "gdal/gdalsession.h"

#include "gdal/containercheck.h"
#include "gdal/rasterdoor.h"
#include "world/filenames.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cpl_error.h>
#include <cpl_string.h>

#include <vector>

QString GdalSession::lastError()
{
    // Some drivers break their messages over lines; ours is one line, and
    // names a file as the user did, not by the door GDAL reached it through.
    static const QRegularExpression door(QStringLiteral("/vsiguard/\\d+"));
    return shownText(QString::fromUtf8(CPLGetLastErrorMsg()).simplified().remove(door));
}

namespace {

// GDAL's subdataset syntax, DRIVER:"file":name or DRIVER:file:name.
bool isSubdatasetName(const QString &path)
{
    static const QRegularExpression syntax(QStringLiteral("^[A-Za-z0-9_]+:.+"));
    return syntax.match(path).hasMatch() && !QFileInfo::exists(path);
}

struct Subdataset
{
    QString name, description;
};

std::vector<Subdataset> subdatasetsOf(GDALDatasetH dataset, const QString &file,
                                      const QString &opened)
{
    std::vector<Subdataset> found;
    char **list = GDALGetMetadata(dataset, "SUBDATASETS");
    for (int i = 1;; ++i) {
        const char *name =
            CSLFetchNameValue(list, QStringLiteral("SUBDATASET_%1_NAME").arg(i).toUtf8());
        if (!name)
            break;
        const char *description =
            CSLFetchNameValue(list, QStringLiteral("SUBDATASET_%1_DESC").arg(i).toUtf8());
        found.push_back({QString::fromUtf8(name).replace(opened, file),
                         QString::fromUtf8(description ? description : "").replace(opened, file)});
    }
    return found;
}

// The variable's own name: what follows the last ':' or '/' of GDAL's name.
QString variableOf(const QString &name)
{
    const int cut = std::max(name.lastIndexOf(':'), name.lastIndexOf('/'));
    return name.mid(cut + 1);
}

// "[2161x4320] z (32-bit floating-point)": two dimensions, nothing more.
bool isTwoDimensional(const Subdataset &subdataset)
{
    static const QRegularExpression dims(QStringLiteral("^\\[\\d+x\\d+\\]"));
    return dims.match(subdataset.description).hasMatch();
}

bool isElevationLike(const QString &variable)
{
    static const QRegularExpression names(
        QStringLiteral("^(z|elev.*|height.*|alt.*|topo.*|bathy.*|dem|dtm|dsm|hgt|orog.*|"
                       "relief|depth)\\d*$"),
        QRegularExpression::CaseInsensitiveOption);
    return names.match(variable).hasMatch();
}

bool isContainerDriver(const QString &driver)
{
    static const QStringList containers{QStringLiteral("netCDF"), QStringLiteral("HDF5"),
                                        QStringLiteral("HDF5Image"), QStringLiteral("HDF4"),
                                        QStringLiteral("HDF4Image")};
    return containers.contains(driver);
}

// The name GDAL is given for file: our own memory files as they are; a
// container as its open file, which its library opens itself; anything else
// through the door.
Status gdalNameFor(const QString &file, RasterDoor &door, QString *name)
{
    *name = file;
    if (file.startsWith(QLatin1String("/vsimem/")))
        return checkRasterSource(file, nullptr);
    if (const Status plain = checkRasterName(file); !plain.ok())
        return plain;
    if (const Status opened = door.open(file); !opened.ok())
        return opened;
    QString driver;
    if (const Status safe = checkRasterSource(file, &door, &driver); !safe.ok())
        return safe;
    if (!isContainerDriver(driver)) {
        *name = door.gdalName();
        return Status();
    }
    *name = door.fdName();
    return checkContainer(file, *name);
}

} // namespace

Status openRaster(const QString &path, GdalDataset &dataset, const QStringList &openOptions,
                  QString *picked)
{
    dataset.reset();
    if (picked)
        picked->clear();
    // A subdataset name holds its file: DRIVER:"file":name or DRIVER:file:name.
    static const QRegularExpression inner(QStringLiteral("^[A-Za-z0-9_]+:(\"([^\"]+)\"|([^:]+))"));
    const bool subdataset = isSubdatasetName(path);
    const QRegularExpressionMatch part = inner.match(path);
    const QString file = subdataset && part.hasMatch() ? part.captured(2) + part.captured(3) : path;
    // Only what the user named, as a plain local file GDAL may read, and for
    // a VRT every source it names (sandbox.h), all through one door.
    RasterDoor door;
    QString reached;
    if (const Status safe = gdalNameFor(file, door, &reached); !safe.ok())
        return safe;
    const QString name = subdataset ? path.left(part.capturedStart(1)) + QLatin1Char('"') +
                                          reached + QLatin1Char('"') + path.mid(part.capturedEnd(1))
                                    : reached;
    const bool named = path.startsWith(QLatin1String("/vsimem/")) || subdataset;
    std::vector<QByteArray> optionBytes;
    std::vector<const char *> options;
    for (const QString &option : openOptions) {
        optionBytes.push_back(option.toUtf8());
        options.push_back(optionBytes.back().constData());
    }
    options.push_back(nullptr);
    GdalDataset opened(GDALOpenEx(QFile::encodeName(name).constData(),
                                  GDAL_OF_RASTER | GDAL_OF_READONLY, allowedDriverList(),
                                  options.data(), nullptr));
    if (!opened) {
        const QString why = GdalSession::lastError();
        return Status::refused(
            path, named && why.isEmpty()
                      ? QStringLiteral("no such file or subdataset")
                      : QStringLiteral("not a readable raster (%1)")
                            .arg(why.isEmpty() ? QStringLiteral("no format GDAL knows") : why));
    }
    if (!file.startsWith(QLatin1String("/vsimem/")))
        door.keepOpenFor(opened.get());
    if (GDALGetRasterCount(opened.get()) > 0) {
        dataset = std::move(opened);
        return Status();
    }
    const std::vector<Subdataset> all = subdatasetsOf(opened.get(), file, reached);
    opened.reset();
    std::vector<Subdataset> flat, elevation;
    for (const Subdataset &s : all) {
        if (!isTwoDimensional(s))
            continue;
        flat.push_back(s);
        if (isElevationLike(variableOf(s.name)))
            elevation.push_back(s);
    }
    const std::vector<Subdataset> &pick = flat.size() == 1 ? flat : elevation;
    if (pick.size() == 1) {
        if (picked)
            *picked = pick.front().name;
        return openRaster(pick.front().name, dataset, openOptions);
    }
    if (all.empty())
        return Status::refused(path, QStringLiteral("has 0 bands and no subdatasets"));
    QStringList names;
    for (const Subdataset &s : (flat.empty() ? all : flat))
        names << shownName(variableOf(s.name));
    return Status::refused(
        path, QStringLiteral("holds %1 variables (%2) and none stands out as the elevation; name "
                             "one as GDAL does, like --heightmap '%3'")
                  .arg(all.size())
                  .arg(names.join(QStringLiteral(", ")))
                  .arg(shownName((flat.empty() ? all : flat).front().name)));
}

int gdalProgress(double complete, const char *, void *part)
{
    if (part)
        static_cast<const ProgressPart *>(part)->update(complete);
    return 1;
}
