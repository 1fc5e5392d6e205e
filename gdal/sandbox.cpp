#include "gdal/sandbox.h"

#include "gdal/rasterdoor.h"
#include "world/filenames.h"
#include "world/regularfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_minixml.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <proj.h>

#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const char *const ownMemoryPrefix = "/vsimem/";
// VRTs are a few kilobytes of XML; a mosaic of many tiles some megabytes.
const qint64 maxVrtBytes = qint64(16) << 20;
const int maxVrtDepth = 8;

struct XmlFree
{
    void operator()(CPLXMLNode *node) const { CPLDestroyXMLNode(node); }
};
using Xml = std::unique_ptr<CPLXMLNode, XmlFree>;

bool isLocalSource(bool topLevel, const QString &name)
{
    return !(topLevel && name.startsWith(QLatin1String(ownMemoryPrefix)));
}

// Empty when name is a plain path GDAL opens as the file it names.
QString nameProblem(const QString &name, bool topLevel)
{
    static const QRegularExpression prefix(QStringLiteral("^[A-Za-z][A-Za-z0-9+._-]*:"));
    if (name.isEmpty())
        return QStringLiteral("an empty name");
    if (!isLocalSource(topLevel, name))
        return QString();
    if (name.startsWith(QLatin1String("/vsi")))
        return QStringLiteral("a GDAL virtual file path, which may reach the network or an "
                              "archive");
    if (name.startsWith(QLatin1Char('<')))
        return QStringLiteral("inline XML, not a file");
    if (prefix.match(name).hasMatch())
        return QStringLiteral("a URL or a GDAL driver's prefix, not a plain file name");
    return QString();
}

class SourceCheck
{
public:
    explicit SourceCheck(const RasterDoor *door) : door(door) {}
    // The first problem, as "FILE: reason", or empty. name is the plain
    // path (the door's file at depth 0); *driver the top raster's driver.
    Status check(const QString &name, int depth, QString *driver = nullptr);

private:
    QString gdalNameOf(const QString &name, int depth) const;
    QString sourceProblem(const QString &name) const;
    Status checkVrt(const QString &name, const QByteArray &xml, int depth);
    Status walk(const CPLXMLNode *node, const QString &vrt, int depth);
    Status checkNamedSource(const CPLXMLNode *node, const QString &vrt, int depth);

    const RasterDoor *door;
    QSet<QString> checked;
};

// At most maxBytes of a file GDAL reaches, through GDAL's own file system.
QByteArray readHead(const QString &gdalName, qint64 maxBytes)
{
    VSILFILE *file = VSIFOpenL(QFile::encodeName(gdalName).constData(), "rb");
    if (!file)
        return QByteArray();
    QByteArray bytes(int(maxBytes), Qt::Uninitialized);
    bytes.resize(int(VSIFReadL(bytes.data(), 1, size_t(maxBytes), file)));
    VSIFCloseL(file);
    return bytes;
}

QString fileProblem(const QString &name, NameLink link)
{
    QFile file;
    const FileOpen opened = openRegularFile(name, link, file);
    return opened.ok()      ? QString()
           : opened.missing ? QStringLiteral("no such file")
                            : opened.status.reason();
}

// GDAL decodes an interlaced PNG whole for every strip it is asked for once
// the image is larger than this (its chunk for interlaced images).
const qint64 maxInterlacedPngBytes = 100000000;

QString pngProblem(const QByteArray &head)
{
    if (head.size() < 29 || uchar(head[28]) != 1)
        return QString();
    const auto word = [&](int at) {
        return qint64(uchar(head[at])) << 24 | uchar(head[at + 1]) << 16 |
               uchar(head[at + 2]) << 8 | uchar(head[at + 3]);
    };
    static const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    const int colour = uchar(head[25]);
    const qint64 sample = uchar(head[24]) > 8 ? 2 : 1;
    // In double: a header's width and height may reach 2^32 each.
    const double bytes =
        double(word(16)) * double(word(20)) * (colour <= 6 ? channels[colour] : 4) * sample;
    if (bytes <= double(maxInterlacedPngBytes))
        return QString();
    return QStringLiteral("an interlaced PNG of %1 x %2, which GDAL decodes whole again for every "
                          "strip of rows (save it without interlacing)")
        .arg(word(16))
        .arg(word(20));
}

QString SourceCheck::gdalNameOf(const QString &name, int depth) const
{
    if (!door)
        return name;
    return depth == 0 ? door->gdalName() : door->gdalNameOf(name);
}

// Why a VRT's source may not be read: outside the raster's folder, or not a
// regular file reached without links. The door refuses these by itself; the
// look here is for the reason only.
QString SourceCheck::sourceProblem(const QString &name) const
{
    if (!door)
        return fileProblem(name, NameLink::Refused);
    if (!QDir::cleanPath(name).startsWith(door->folder()))
        return QStringLiteral("outside the raster's folder %1").arg(shownName(door->folder()));
    VSIStatBufL status;
    if (VSIStatL(QFile::encodeName(door->gdalNameOf(QDir::cleanPath(name))).constData(), &status) ==
        0)
        return QString();
    const QString why = fileProblem(name, NameLink::Refused);
    return why.isEmpty() ? QStringLiteral("reached through a link") : why;
}

Status SourceCheck::check(const QString &name, int depth, QString *driverName)
{
    const bool topLevel = depth == 0;
    QString reason = nameProblem(name, topLevel);
    if (reason.isEmpty() && !topLevel)
        reason = sourceProblem(name);
    else if (reason.isEmpty() && !door && isLocalSource(true, name))
        reason = fileProblem(name, NameLink::Followed);
    if (!reason.isEmpty())
        return Status::refused(name, reason);
    const QString key = QDir::cleanPath(QFileInfo(name).absoluteFilePath());
    if (checked.contains(key))
        return Status();
    checked.insert(key);
    const QString gdalName = gdalNameOf(key == name || topLevel ? name : key, depth);
    GDALDriverH driver = GDALIdentifyDriverEx(QFile::encodeName(gdalName).constData(),
                                              GDAL_OF_RASTER, allowedDriverList(), nullptr);
    if (!driver && door && topLevel)
        driver = GDALIdentifyDriverEx(QFile::encodeName(door->fdName()).constData(), GDAL_OF_RASTER,
                                      allowedDriverList(), nullptr);
    if (!driver)
        return Status::refused(name, QStringLiteral("not a readable raster (no format the import "
                                                    "reads knows it)"));
    const QLatin1String kind(GDALGetDriverShortName(driver));
    if (driverName)
        *driverName = kind;
    if (kind == QLatin1String("PNG")) {
        reason = pngProblem(readHead(gdalName, 29));
        return reason.isEmpty() ? Status() : Status::refused(name, reason);
    }
    if (kind != QLatin1String("VRT"))
        return Status();
    const QByteArray xml = readHead(gdalName, maxVrtBytes + 1);
    return checkVrt(name, xml, depth);
}

// The most a VRT's sources may read per pixel of a band, on average: a
// mosaic's edges overlap a little, 60,000 sources over the same pixels do
// not, and GDAL reads every one of them for every strip.
const double maxSourceCover = 16;
const int maxBandSources = 100000;

QString costProblem(const CPLXMLNode *root)
{
    const CPLXMLNode *dataset = CPLGetXMLNode(root, "=VRTDataset");
    if (!dataset)
        return QString();
    const double pixels = std::max(1.0, CPLAtof(CPLGetXMLValue(dataset, "rasterXSize", "0")) *
                                            CPLAtof(CPLGetXMLValue(dataset, "rasterYSize", "0")));
    for (const CPLXMLNode *band = dataset->psChild; band; band = band->psNext) {
        if (band->eType != CXT_Element || !EQUAL(band->pszValue, "VRTRasterBand"))
            continue;
        double read = 0;
        int sources = 0;
        for (const CPLXMLNode *source = band->psChild; source; source = source->psNext) {
            if (source->eType != CXT_Element || !QByteArray(source->pszValue).endsWith("Source"))
                continue;
            ++sources;
            const CPLXMLNode *rect = CPLGetXMLNode(source, "DstRect");
            read += rect ? std::min(pixels, std::fabs(CPLAtof(CPLGetXMLValue(rect, "xSize", "0")) *
                                                      CPLAtof(CPLGetXMLValue(rect, "ySize", "0"))))
                         : pixels;
        }
        if (sources > maxBandSources || read > maxSourceCover * pixels)
            return QStringLiteral("a band of %1 sources that cover each pixel %2 times on average "
                                  "(more than %3)")
                .arg(sources)
                .arg(read / pixels, 0, 'f', 0)
                .arg(maxSourceCover);
    }
    return QString();
}

Status SourceCheck::checkVrt(const QString &name, const QByteArray &xml, int depth)
{
    if (xml.size() > maxVrtBytes)
        return Status::refused(name,
                               QStringLiteral("a VRT of more than %1 bytes").arg(maxVrtBytes));
    if (depth >= maxVrtDepth)
        return Status::refused(name,
                               QStringLiteral("VRTs nested more than %1 deep").arg(maxVrtDepth));
    const Xml root(CPLParseXMLString(xml.constData()));
    if (!root)
        return Status::refused(name, QStringLiteral("a VRT that is not well-formed XML"));
    if (const QString cost = costProblem(root.get()); !cost.isEmpty())
        return Status::refused(name, cost);
    return walk(root.get(), name, depth);
}

bool attributeIs(const CPLXMLNode *node, const char *attribute, const char *value)
{
    return EQUAL(CPLGetXMLValue(node, attribute, ""), value);
}

Status SourceCheck::walk(const CPLXMLNode *node, const QString &vrt, int depth)
{
    for (; node; node = node->psNext) {
        if (node->eType != CXT_Element)
            continue;
        const char *element = node->pszValue;
        if (EQUAL(element, "VRTRasterBand") && attributeIs(node, "subClass", "VRTRawRasterBand"))
            return Status::refused(
                vrt,
                QStringLiteral("a raw band (VRTRawRasterBand), which reads the "
                               "bytes of any file: %1")
                    .arg(shownName(QString::fromUtf8(CPLGetXMLValue(node, "SourceFilename", "")))));
        if (EQUAL(element, "PixelFunctionCode") || EQUAL(element, "PixelFunctionLanguage"))
            return Status::refused(vrt, QStringLiteral("a band whose pixel function is a program"));
        if (EQUAL(element, "SourceFilename") || EQUAL(element, "SourceDataset")) {
            const Status found = checkNamedSource(node, vrt, depth);
            if (!found.ok())
                return found;
            continue;
        }
        const Status found = walk(node->psChild, vrt, depth);
        if (!found.ok())
            return found;
    }
    return Status();
}

// A source is found as GDAL finds it: beside the VRT when relativeToVRT says
// so, else as written.
Status SourceCheck::checkNamedSource(const CPLXMLNode *node, const QString &vrt, int depth)
{
    const QString written = QString::fromUtf8(CPLGetXMLValue(node, nullptr, ""));
    QString source = written;
    if (nameProblem(written, false).isEmpty() && QFileInfo(written).isRelative())
        source = attributeIs(node, "relativeToVRT", "1")
                     ? QFileInfo(vrt).absoluteDir().filePath(written)
                     : QFileInfo(written).absoluteFilePath();
    const Status found = check(source, depth + 1);
    if (found.ok())
        return found;
    return Status::refused(vrt, QStringLiteral("source refused: ") + found.message());
}

// A coordinate system names the grid files PROJ reads for it
// ("+nadgrids=/etc/shadow", a WKT PARAMETERFILE), and PROJ opens them while
// GDAL parses the raster's header, before any check here could see them: a
// FIFO named so hung the import. PROJ may read regular files inside its own
// data folders only, and write none.
namespace projfiles {

struct Handle
{
    int fd;
};

// Found once, with PROJ's standard file functions.
const QStringList &folders()
{
    static const QStringList found = [] {
        QStringList out;
        const QString paths = QFile::decodeName(proj_info().searchpath);
        for (const QString &folder : paths.split(QLatin1Char(':'), Qt::SkipEmptyParts))
            out << QDir::cleanPath(folder) + QLatin1Char('/');
        return out;
    }();
    return found;
}

bool inProjFolders(const char *name)
{
    const QString path = QDir::cleanPath(QFile::decodeName(name));
    return std::any_of(folders().begin(), folders().end(),
                       [&](const QString &folder) { return path.startsWith(folder); });
}

PROJ_FILE_HANDLE *projOpen(PJ_CONTEXT *, const char *name, PROJ_OPEN_ACCESS access, void *)
{
    if (access != PROJ_OPEN_ACCESS_READ_ONLY || !inProjFolders(name))
        return nullptr;
    const int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    return reinterpret_cast<PROJ_FILE_HANDLE *>(new Handle{fd});
}

int fdOf(PROJ_FILE_HANDLE *handle)
{
    return reinterpret_cast<Handle *>(handle)->fd;
}

size_t projRead(PJ_CONTEXT *, PROJ_FILE_HANDLE *handle, void *buffer, size_t bytes, void *)
{
    size_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::read(fdOf(handle), static_cast<char *>(buffer) + done, bytes - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += size_t(got);
    }
    return done;
}

size_t projWrite(PJ_CONTEXT *, PROJ_FILE_HANDLE *, const void *, size_t, void *)
{
    return 0;
}

int projSeek(PJ_CONTEXT *, PROJ_FILE_HANDLE *handle, long long offset, int whence, void *)
{
    return ::lseek(fdOf(handle), off_t(offset), whence) >= 0;
}

unsigned long long projTell(PJ_CONTEXT *, PROJ_FILE_HANDLE *handle, void *)
{
    const off_t at = ::lseek(fdOf(handle), 0, SEEK_CUR);
    return at < 0 ? 0 : static_cast<unsigned long long>(at);
}

void projClose(PJ_CONTEXT *, PROJ_FILE_HANDLE *handle, void *)
{
    ::close(fdOf(handle));
    delete reinterpret_cast<Handle *>(handle);
}

int projExists(PJ_CONTEXT *, const char *name, void *)
{
    struct stat status;
    return inProjFolders(name) && ::stat(name, &status) == 0 && S_ISREG(status.st_mode);
}

int projRefuse(PJ_CONTEXT *, const char *, void *)
{
    return 0;
}

int projRefuseRename(PJ_CONTEXT *, const char *, const char *, void *)
{
    return 0;
}

void restrict(PJ_CONTEXT *context)
{
    folders(); // before PROJ's look for its folders comes to us
    static const PROJ_FILE_API api{1,          projOpen,   projRead,        projWrite,
                                   projSeek,   projTell,   projClose,       projExists,
                                   projRefuse, projRefuse, projRefuseRename};
    proj_context_set_fileapi(context, &api, nullptr);
    proj_context_set_enable_network(context, 0);
}

} // namespace projfiles

} // namespace

// GDAL makes a PROJ context for each thread, and PROJ gives a new context
// the standard file functions, not the default context's: every context made
// in a program that links this is given ours as it is made.
extern "C" PJ_CONTEXT *proj_context_create(void)
{
    using Create = PJ_CONTEXT *(*)();
    static const Create create = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "proj_context_create"));
    PJ_CONTEXT *context = create ? create() : nullptr;
    if (context)
        projfiles::restrict(context);
    return context;
}

void registerGdal()
{
    static const bool registered = [] {
        GDALAllRegister();
        GDALSetCacheMax64(gdalBlockCacheBytes);
        return true;
    }();
    (void)registered;
}

QuietGdal::QuietGdal()
{
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

QuietGdal::~QuietGdal()
{
    CPLPopErrorHandler();
}

const char *const *allowedDriverList()
{
    static const std::vector<QByteArray> names = [] {
        std::vector<QByteArray> out;
        for (const QString &driver : allowedRasterDrivers())
            out.push_back(driver.toLatin1());
        return out;
    }();
    static const std::vector<const char *> list = [] {
        std::vector<const char *> out;
        for (const QByteArray &name : names)
            out.push_back(name.constData());
        out.push_back(nullptr);
        return out;
    }();
    return list.data();
}

const QStringList &allowedRasterDrivers()
{
    static const QStringList drivers{
        QStringLiteral("GTiff"),     QStringLiteral("COG"),         QStringLiteral("PNG"),
        QStringLiteral("JPEG"),      QStringLiteral("GIF"),         QStringLiteral("BMP"),
        QStringLiteral("WEBP"),      QStringLiteral("JP2OpenJPEG"), QStringLiteral("netCDF"),
        QStringLiteral("HDF5"),      QStringLiteral("HDF5Image"),   QStringLiteral("HDF4"),
        QStringLiteral("HDF4Image"), QStringLiteral("GRIB"),        QStringLiteral("SRTMHGT"),
        QStringLiteral("DTED"),      QStringLiteral("USGSDEM"),     QStringLiteral("EHdr"),
        QStringLiteral("ENVI"),      QStringLiteral("AAIGrid"),     QStringLiteral("XYZ"),
        QStringLiteral("GSAG"),      QStringLiteral("GSBG"),        QStringLiteral("GS7BG"),
        QStringLiteral("BT"),        QStringLiteral("NITF"),        QStringLiteral("VRT"),
        QStringLiteral("MEM"),
    };
    return drivers;
}

const QStringList &writeOnlyRasterDrivers()
{
    static const QStringList drivers{QStringLiteral("KMLSUPEROVERLAY")};
    return drivers;
}

void restrictGdal()
{
    static const bool restricted = [] {
        projfiles::restrict(nullptr);
        // Before the first registration: no plugin is loaded at all.
        CPLSetConfigOption("GDAL_DRIVER_PATH", "disable");
        registerGdal(); // the built-in drivers, once
        const QStringList &allowed = allowedRasterDrivers();
        for (int i = GDALGetDriverCount() - 1; i >= 0; --i) {
            GDALDriverH driver = GDALGetDriver(i);
            const QLatin1String name(GDALGetDriverShortName(driver));
            if (!allowed.contains(name) && !writeOnlyRasterDrivers().contains(name)) {
                GDALDeregisterDriver(driver);
                GDALDestroyDriver(driver);
            }
        }
        // Whatever still speaks HTTP talks to a closed port, at once.
        CPLSetConfigOption("GDAL_HTTP_PROXY", "http://127.0.0.1:1");
        CPLSetConfigOption("GDAL_HTTP_MAX_RETRY", "0");
        CPLSetConfigOption("GDAL_HTTP_TIMEOUT", "1");
        CPLSetConfigOption("GDAL_HTTP_CONNECTTIMEOUT", "1");
        CPLSetConfigOption("GDAL_VRT_ENABLE_PYTHON", "NO");
        CPLSetConfigOption("GDAL_VRT_ENABLE_RAWRASTERBAND", "NO");
        CPLSetConfigOption("GDAL_MEM_ENABLE_OPEN", "NO");
        // No .aux.xml written beside the user's raster, nor read from it.
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        // No listing of a folder of 100,000 downloads to find side files;
        // the door lists the regular files of the raster's own folder.
        CPLSetConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", "YES");
        // netCDF reads .ncrc, .dodsrc and .daprc from the working folder
        // and the home folder as it starts (a FIFO there hung it); HDF5
        // loads filter plugins from folders its environment names.
        ::setenv("NCRCENV_IGNORE", "1", 1);
        ::setenv("HDF5_PLUGIN_PRELOAD", "::", 1);
        return true;
    }();
    (void)restricted;
}

Status checkRasterName(const QString &path)
{
    const QString reason = nameProblem(path, true);
    return reason.isEmpty() ? Status() : Status::refused(path, reason);
}

Status checkRasterSource(const QString &path, const RasterDoor *door, QString *driver)
{
    restrictGdal();
    const QuietGdal quiet;
    SourceCheck check(door);
    return check.check(path, 0, driver);
}
