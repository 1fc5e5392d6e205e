// PNG files of maps: a whole image through Qt's writer, or an 8-bit RGB PNG
// written row by row while the rows are still being drawn, so that
// encoding a large map overlaps drawing it (PngRows: libpng with its
// defaults, as Qt's writer calls it, plus the sRGB chunk pngBytes gives a
// colour map: the same bytes as pngBytes).
#ifndef PNGROWS_H
#define PNGROWS_H

#include "world/status.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <memory>

// The image as a PNG by Qt's writer; a colour image (not 16-bit grey)
// carries an sRGB chunk, as its colours are the editor's sRGB bytes.
QByteArray pngBytes(const QImage &image);

class PngRows
{
public:
    // dotsPerMeter: the resolution Qt writes for the image, which it takes
    // from the screen when there is one.
    PngRows(int width, int height, int dotsPerMeter);
    ~PngRows();
    PngRows(const PngRows &) = delete;
    PngRows &operator=(const PngRows &) = delete;

    // Rows in order from the top, 3 width bytes each.
    void writeRow(const uchar *rgb);
    // After the last row: the file's bytes, or a refusal "PATH: REASON"
    // naming libpng's error, path the file the bytes are for.
    Status finish(const QString &path, QByteArray *bytes);

private:
    struct Writer;
    std::unique_ptr<Writer> writer;
};

#endif
