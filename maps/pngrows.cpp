#include "maps/pngrows.h"

#include <QBuffer>

#include <png.h>

#include <csetjmp>

struct PngRows::Writer
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    QByteArray bytes;
    QByteArray error; // libpng's first error; nothing is written after it
};

namespace {

// The CRC of a PNG chunk (ISO 3309, as the PNG standard gives it).
quint32 chunkCrc(const QByteArray &typeAndData)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : typeAndData) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xffffffffu;
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

void append(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray *>(png_get_io_ptr(png))
        ->append(reinterpret_cast<char *>(data), int(length));
}

void flush(png_structp) {}

void fail(png_structp png, png_const_charp message)
{
    auto *error = static_cast<QByteArray *>(png_get_error_ptr(png));
    if (error->isEmpty())
        *error = message;
    png_longjmp(png, 1);
}

void warn(png_structp, png_const_charp) {}

// Runs libpng's call, which on an error jumps back here instead of
// returning; false then. Nothing is called once an error was met.
template <typename Call> bool guarded(png_structp png, const QByteArray &error, Call call)
{
    if (!error.isEmpty() || setjmp(png_jmpbuf(png)))
        return false;
    call();
    return true;
}

} // namespace

// Qt marks a colour space with an ICC profile; the sRGB chunk says the same
// in one byte, and every reader knows it. It goes right after IHDR, which is
// 8 + 4 + 4 + 13 + 4 bytes into the file.
QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    if (image.format() == QImage::Format_Grayscale16)
        return bytes;                                      // heights, not colours
    const QByteArray chunk = QByteArray("sRGB") + char(0); // perceptual intent
    bytes.insert(33, bigEndian(1) + chunk + bigEndian(chunkCrc(chunk)));
    return bytes;
}

PngRows::PngRows(int width, int height, int dotsPerMeter) : writer(new Writer)
{
    Writer &w = *writer;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w.error, fail, warn);
    w.info = w.png ? png_create_info_struct(w.png) : nullptr;
    if (!w.info) {
        w.error = "out of memory";
        return;
    }
    guarded(w.png, w.error, [&w, width, height, dotsPerMeter] {
        png_set_write_fn(w.png, &w.bytes, append, flush);
        png_set_IHDR(w.png, w.info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
        png_set_sRGB(w.png, w.info, PNG_sRGB_INTENT_PERCEPTUAL);
        png_set_pHYs(w.png, w.info, png_uint_32(dotsPerMeter), png_uint_32(dotsPerMeter),
                     PNG_RESOLUTION_METER);
        png_write_info(w.png, w.info);
    });
}

PngRows::~PngRows()
{
    png_destroy_write_struct(writer->png ? &writer->png : nullptr,
                             writer->info ? &writer->info : nullptr);
}

void PngRows::writeRow(const uchar *rgb)
{
    Writer &w = *writer;
    guarded(w.png, w.error, [&w, rgb] { png_write_row(w.png, const_cast<png_bytep>(rgb)); });
}

Status PngRows::finish(const QString &path, QByteArray *bytes)
{
    Writer &w = *writer;
    guarded(w.png, w.error, [&w] { png_write_end(w.png, w.info); });
    if (!w.error.isEmpty())
        return Status::refused(
            path,
            QStringLiteral("libpng could not write the PNG (%1)").arg(QString::fromUtf8(w.error)));
    *bytes = w.bytes;
    return Status();
}
