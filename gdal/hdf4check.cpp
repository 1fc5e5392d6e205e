#include "gdal/hdf4check.h"

#include <QFile>

#include <hdf.h>

namespace {

// An HDF4 file of more elements than this is not an elevation model.
const int maxHdf4Elements = 1000000;

// A tag of an element stored specially has bit 0x4000 set (below 0x8000,
// the user tags); the first two bytes of a special element's header say what kind it is.
int specialKind(QFile &file, int32 offset)
{
    if (!file.seek(offset))
        return -1;
    const QByteArray kind = file.read(2);
    return kind.size() == 2 ? (uchar(kind[0]) << 8 | uchar(kind[1])) : -1;
}

} // namespace

QString hdf4Problem(const QByteArray &name)
{
    QFile file(QFile::decodeName(name));
    const int32 id = Hopen(name.constData(), DFACC_READ, 0);
    if (id == FAIL || !file.open(QIODevice::ReadOnly))
        return id == FAIL ? QStringLiteral("not a readable HDF4 file") : file.errorString();
    uint16 tag = 0, ref = 0;
    int32 offset = 0, length = 0;
    QString problem;
    for (int found = 0; problem.isEmpty() && Hfind(id, DFTAG_WILDCARD, DFREF_WILDCARD, &tag, &ref,
                                                   &offset, &length, DF_FORWARD) == SUCCEED;
         ++found) {
        if (found > maxHdf4Elements)
            problem = QStringLiteral("holds more than %1 elements").arg(maxHdf4Elements);
        else if ((~tag & 0x8000) && (tag & 0x4000) && specialKind(file, offset) == SPECIAL_EXT)
            problem = QStringLiteral("keeps its element %1 in another file").arg(ref);
    }
    Hclose(id);
    return problem;
}
