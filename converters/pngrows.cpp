#include "converters/pngrows.h"

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

Status PngRows::finish(QByteArray *bytes)
{
    Writer &w = *writer;
    guarded(w.png, w.error, [&w] { png_write_end(w.png, w.info); });
    if (!w.error.isEmpty())
        return Status::refused(
            QStringLiteral("libpng could not write the PNG (%1)").arg(QString::fromUtf8(w.error)));
    *bytes = w.bytes;
    return Status();
}
