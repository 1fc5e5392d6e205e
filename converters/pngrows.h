// An 8-bit RGB PNG written row by row while the rows are still being drawn,
// so that encoding a large map overlaps drawing it. libpng with its
// defaults, as Qt's writer calls it, plus the sRGB chunk mapfile.h gives
// a colour map: the same bytes as QImage::save and that chunk.
#ifndef PNGROWS_H
#define PNGROWS_H

#include "world/status.h"

#include <QByteArray>
#include <QtGlobal>

#include <memory>

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
    // After the last row: the file's bytes, or a refusal naming libpng's error.
    Status finish(QByteArray *bytes);

private:
    struct Writer;
    std::unique_ptr<Writer> writer;
};

#endif
