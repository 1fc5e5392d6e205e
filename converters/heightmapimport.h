// Starting levels from an equirectangular greyscale image: the inverse of
// the heightmap (worldmap.h), with the same pixel rule.
//
// The image must be twice as wide as it is high and grey: a 16-bit grey PNG
// is read at 16 bits (maximum 65535), any other image at 8 bits (maximum
// 255), and refused if a pixel's red, green and blue differ. Transparency is
// ignored. Vertex v takes the level levelOfGrey(value, maximum) of the pixel
// pixelOf(theta_v, phi_v) holding its direction.
#ifndef HEIGHTMAPIMPORT_H
#define HEIGHTMAPIMPORT_H

#include <QString>
#include <QVector>

// One grey value per pixel, row by row.
struct GreyImage
{
    int width = 0, height = 0;
    int maxValue = 255;
    QVector<quint16> values;

    int at(int x, int y) const { return values[y * width + x]; }
};

// False, with one line naming the file in *error, when the file is missing,
// not an image, of the wrong shape or not grey.
bool readGreyMap(const QString &path, GreyImage &image, QString *error);

// The level of each vertex from its pixel; angles hold two per vertex.
QVector<int> levelsFromGreyMap(const GreyImage &image, const QVector<float> &angles,
                               int vertexCount);

extern const char *const levelsBackupSuffix; // ".bak"

// Replaces the first levels.size() entries of dir's base002.dat, after copying
// the old file to base002.dat.bak (replacing an older copy). Both files are
// written whole or not at all; on failure base002.dat is as it was.
bool writeStartingLevels(const QString &dir, const QVector<int> &levels, QString *error);

#endif
