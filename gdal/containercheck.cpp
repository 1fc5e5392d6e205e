#include "gdal/containercheck.h"

#include "gdal/hdf4check.h"
#include "world/filenames.h"

#include <QFile>

#include <hdf5.h>
#include <netcdf.h>

#include <vector>

namespace {

// A classic netCDF header longer than this is not an elevation model's.
const qint64 maxClassicHeaderBytes = qint64(16) << 20;
// An HDF5 file of more objects than this is not an elevation model.
const int maxHdf5Links = 100000;

struct Hdf5Walk
{
    QString problem;
    int links = 0;
};

QString dimensionProblem(const QString &what, long long length)
{
    return QStringLiteral("%1 declares a dimension of %2 (more than %3)")
        .arg(what)
        .arg(length)
        .arg(maxContainerDimension);
}

QString datasetProblem(hid_t group, const char *name)
{
    const hid_t dataset = H5Dopen2(group, name, H5P_DEFAULT);
    if (dataset < 0)
        return QStringLiteral("its dataset %1 cannot be opened")
            .arg(shownName(QString::fromUtf8(name)));
    QString problem;
    const hid_t plist = H5Dget_create_plist(dataset);
    const QString shown = shownName(QString::fromUtf8(name));
    if (plist >= 0 && H5Pget_layout(plist) == H5D_VIRTUAL)
        problem =
            QStringLiteral("its dataset %1 is virtual: its samples are other files'").arg(shown);
    else if (plist >= 0 && H5Pget_external_count(plist) > 0) {
        char file[256] = {};
        off_t offset = 0;
        hsize_t size = 0;
        H5Pget_external(plist, 0, sizeof file - 1, file, &offset, &size);
        problem = QStringLiteral("its dataset %1 keeps its samples in another file, %2")
                      .arg(shown, shownName(QString::fromUtf8(file)));
    }
    if (plist >= 0)
        H5Pclose(plist);
    const hid_t space = H5Dget_space(dataset);
    const int rank = space >= 0 ? H5Sget_simple_extent_ndims(space) : -1;
    if (problem.isEmpty() && rank > 0 && rank <= H5S_MAX_RANK) {
        std::vector<hsize_t> dims(static_cast<size_t>(rank));
        H5Sget_simple_extent_dims(space, dims.data(), nullptr);
        for (const hsize_t length : dims)
            if (length > hsize_t(maxContainerDimension)) {
                problem =
                    dimensionProblem(QStringLiteral("its dataset ") + shown, (long long)length);
                break;
            }
    }
    if (space >= 0)
        H5Sclose(space);
    H5Dclose(dataset);
    return problem;
}

herr_t visitLink(hid_t group, const char *name, const H5L_info_t *info, void *data)
{
    Hdf5Walk *walk = static_cast<Hdf5Walk *>(data);
    if (++walk->links > maxHdf5Links) {
        walk->problem = QStringLiteral("holds more than %1 objects").arg(maxHdf5Links);
        return 1;
    }
    if (info->type == H5L_TYPE_EXTERNAL) {
        std::vector<char> value(info->u.val_size + 1, 0);
        const char *file = "";
        const char *object = nullptr;
        unsigned flags = 0;
        if (H5Lget_val(group, name, value.data(), value.size(), H5P_DEFAULT) >= 0)
            H5Lunpack_elink_val(value.data(), value.size(), &flags, &file, &object);
        walk->problem = QStringLiteral("links %1 to another file, %2")
                            .arg(shownName(QString::fromUtf8(name)),
                                 shownName(QString::fromUtf8(file ? file : "")));
        return 1;
    }
    if (info->type != H5L_TYPE_HARD)
        return 0;
    H5O_info_t object;
    if (H5Oget_info_by_name2(group, name, &object, H5O_INFO_BASIC, H5P_DEFAULT) < 0)
        return 0;
    if (object.type == H5O_TYPE_DATASET)
        walk->problem = datasetProblem(group, name);
    return walk->problem.isEmpty() ? 0 : 1;
}

QString hdf5Problem(const QByteArray &name)
{
    const hid_t file = H5Fopen(name.constData(), H5F_ACC_RDONLY, H5P_DEFAULT);
    if (file < 0)
        return QStringLiteral("not a readable HDF5 file");
    Hdf5Walk walk;
    H5Lvisit(file, H5_INDEX_NAME, H5_ITER_NATIVE, visitLink, &walk);
    H5Fclose(file);
    return walk.problem;
}

// The classic netCDF header (CDF-1, CDF-2, CDF-5) walked only far enough to
// see that each count it declares fits in the bytes left in the file and
// each name in netCDF's limit: the
// netCDF library allocates for a count before it reads what it counts, and
// a header of a few bytes claiming 2^28 dimensions of one variable made it
// ask for 6.5 GB inside nc_open.
class ClassicHeader
{
public:
    ClassicHeader(const QByteArray &head, qint64 fileSize) : head(head), fileSize(fileSize) {}
    bool fits();

private:
    bool word(int bytes, quint64 *value);
    bool counted(quint64 *count); // a count, each element at least a count's size
    bool skip(quint64 bytes);
    // A name longer than netCDF's own limit overflows the buffers of
    // NC_MAX_NAME + 1 that nc_inq_dim and GDAL copy it into.
    bool name()
    {
        return counted(&scratch) && scratch <= NC_MAX_NAME && skip((scratch + 3) / 4 * 4);
    }
    bool list(int tag, bool (ClassicHeader::*element)());
    bool dimension() { return name() && word(countSize, &scratch); }
    bool attribute();
    bool variable();

    const QByteArray &head;
    qint64 fileSize;
    qint64 at = 4;
    int countSize = 4, beginSize = 4;
    quint64 scratch = 0;
};

bool ClassicHeader::word(int bytes, quint64 *value)
{
    if (at + bytes > head.size())
        return false;
    *value = 0;
    for (int k = 0; k < bytes; ++k)
        *value = *value << 8 | uchar(head[int(at + k)]);
    at += bytes;
    return true;
}

bool ClassicHeader::counted(quint64 *count)
{
    return word(countSize, count) && *count <= quint64(fileSize - at) / quint64(countSize);
}

bool ClassicHeader::skip(quint64 bytes)
{
    if (bytes > quint64(fileSize - at))
        return false;
    at += qint64(bytes);
    return true;
}

bool ClassicHeader::list(int tag, bool (ClassicHeader::*element)())
{
    quint64 found = 0, count = 0;
    if (!word(4, &found) || !counted(&count) || (found != quint64(tag) && (found || count)))
        return false;
    for (quint64 k = 0; k < count; ++k)
        if (!(this->*element)())
            return false;
    return true;
}

bool ClassicHeader::attribute()
{
    static const int sizes[] = {0, 1, 1, 2, 4, 4, 8, 1, 2, 4, 8, 8};
    quint64 type = 0, count = 0;
    if (!name() || !word(4, &type) || type < 1 || type > 11 || !counted(&count))
        return false;
    const quint64 bytes = count * quint64(sizes[type]);
    return count <= quint64(fileSize) && skip((bytes + 3) / 4 * 4);
}

bool ClassicHeader::variable()
{
    quint64 dims = 0;
    return name() && counted(&dims) && skip(dims * quint64(countSize)) &&
           list(0x0C, &ClassicHeader::attribute) && word(4, &scratch) &&
           word(countSize, &scratch) && word(beginSize, &scratch);
}

bool ClassicHeader::fits()
{
    if (head.size() < 4)
        return false;
    const int version = head[3];
    countSize = version == 5 ? 8 : 4;
    beginSize = version == 1 ? 4 : 8;
    return word(countSize, &scratch) && list(0x0A, &ClassicHeader::dimension) &&
           list(0x0C, &ClassicHeader::attribute) && list(0x0B, &ClassicHeader::variable);
}

// A classic netCDF file points at no other file; only its counts and
// dimensions.
QString netcdfProblem(const QByteArray &name)
{
    QFile file(QFile::decodeName(name));
    const QByteArray head =
        file.open(QIODevice::ReadOnly) ? file.read(maxClassicHeaderBytes) : QByteArray();
    if (!ClassicHeader(head, file.size()).fits())
        return QStringLiteral("a netCDF header whose counts do not fit in the file (or longer "
                              "than %1 bytes)")
            .arg(maxClassicHeaderBytes);
    int id = 0;
    if (nc_open(name.constData(), NC_NOWRITE, &id) != NC_NOERR)
        return QStringLiteral("not a readable netCDF file");
    int count = 0;
    QString problem;
    nc_inq_ndims(id, &count);
    for (int dim = 0; dim < count && problem.isEmpty(); ++dim) {
        size_t length = 0;
        char dimName[NC_MAX_NAME + 1] = {};
        if (nc_inq_dim(id, dim, dimName, &length) == NC_NOERR &&
            length > size_t(maxContainerDimension))
            problem = dimensionProblem(QStringLiteral("its dimension ") +
                                           shownName(QString::fromUtf8(dimName)),
                                       (long long)length);
    }
    nc_close(id);
    return problem;
}

bool startsWith(const QByteArray &head, const char *magic, int length)
{
    return head.size() >= length && head.left(length) == QByteArray(magic, length);
}

} // namespace

Status checkContainer(const QString &shown, const QString &fdName)
{
    static const bool quiet = [] {
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
        return true;
    }();
    (void)quiet;
    const QByteArray name = QFile::encodeName(fdName);
    QFile file(fdName);
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(8) : QByteArray();
    QString problem;
    if (H5Fis_hdf5(name.constData()) > 0)
        problem = hdf5Problem(name);
    else if (startsWith(head, "CDF", 3))
        problem = netcdfProblem(name);
    else if (startsWith(head, "\x0e\x03\x13\x01", 4))
        problem = hdf4Problem(name);
    return problem.isEmpty() ? Status() : Status::refused(shown, problem);
}
