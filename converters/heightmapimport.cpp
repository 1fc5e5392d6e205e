#include "converters/heightmapimport.h"

#include "converters/worldmap.h"
#include "world/levelstore.h"
#include "world/tablefile.h"
#include "world/worldload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRgba64>

const char *const levelsBackupSuffix = ".bak";

namespace {

// Copies a grey image's values; fails on the first coloured pixel. Pixel is
// QRgb or QRgba64 and channel gives its red, green or blue.
template <typename Pixel, typename Channels>
bool copyGrey(const QImage &image, GreyImage &grey, Channels channels)
{
    for (int y = 0; y < image.height(); ++y) {
        const Pixel *row = reinterpret_cast<const Pixel *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            int red, green, blue;
            channels(row[x], red, green, blue);
            if (red != green || green != blue)
                return false;
            grey.values[y * grey.width + x] = quint16(red);
        }
    }
    return true;
}

bool greyValues(const QImage &image, GreyImage &grey)
{
    grey.width = image.width();
    grey.height = image.height();
    grey.values.resize(grey.width * grey.height);
    if (image.format() == QImage::Format_Grayscale16 || image.depth() > 32) {
        grey.maxValue = 65535;
        return copyGrey<QRgba64>(image.convertToFormat(QImage::Format_RGBA64), grey,
                                 [](QRgba64 p, int &r, int &g, int &b) {
                                     r = p.red();
                                     g = p.green();
                                     b = p.blue();
                                 });
    }
    grey.maxValue = 255;
    return copyGrey<QRgb>(image.convertToFormat(QImage::Format_ARGB32), grey,
                          [](QRgb p, int &r, int &g, int &b) {
                              r = qRed(p);
                              g = qGreen(p);
                              b = qBlue(p);
                          });
}

} // namespace

bool readGreyMap(const QString &path, GreyImage &grey, QString *error)
{
    QString problem;
    QImageReader reader(path);
    QImage image;
    if (!QFileInfo(path).isFile())
        problem = QStringLiteral("%1: no such file").arg(path);
    else if (!reader.read(&image))
        problem = QStringLiteral("%1: not a readable image (%2)").arg(path, reader.errorString());
    else if (image.width() < 2 || image.width() != 2 * image.height())
        problem = QStringLiteral("%1: is %2 x %3 pixels, but a map must be twice as wide as it "
                                 "is high")
                      .arg(path)
                      .arg(image.width())
                      .arg(image.height());
    else if (!greyValues(image, grey))
        problem = QStringLiteral("%1: has coloured pixels, but a heightmap must be grey").arg(path);
    if (error)
        *error = problem;
    return problem.isEmpty();
}

QVector<int> levelsFromGreyMap(const GreyImage &image, const QVector<float> &angles,
                               int vertexCount)
{
    QVector<int> levels(vertexCount);
    for (int v = 0; v < vertexCount; ++v) {
        const QPoint p = pixelOf(angles[2 * v], angles[2 * v + 1], image.width);
        levels[v] = levelOfGrey(image.at(p.x(), p.y()), image.maxValue);
    }
    return levels;
}

bool writeStartingLevels(const QString &dir, const QVector<int> &levels, QString *error)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(levelsFileName));
    QVector<int> table;
    if (!readStartingLevels(path, levels.size(), table, error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: cannot be read (%2)").arg(path, file.errorString());
        return false;
    }
    const QByteArray old = file.readAll();
    std::copy(levels.begin(), levels.end(), table.begin());
    return writeFileAtomically(path + QLatin1String(levelsBackupSuffix), old, error) &&
           writeFileAtomically(path, encodeIntTable(table), error);
}
