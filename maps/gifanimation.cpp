#include "maps/gifanimation.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <memory>
#include <vector>

namespace {

struct LiqFree
{
    void operator()(liq_attr *attr) const { liq_attr_destroy(attr); }
    void operator()(liq_histogram *histogram) const { liq_histogram_destroy(histogram); }
    void operator()(liq_image *image) const { liq_image_destroy(image); }
    void operator()(liq_result *result) const { liq_result_destroy(result); }
};
template <typename T> using Liq = std::unique_ptr<T, LiqFree>;

int appendOutput(GifFileType *gif, const GifByteType *data, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

// A frame's palette indices, and whether its palette holds a transparent entry.
struct Palette
{
    std::vector<GifColorType> colours;
    int transparent = -1;
};

Palette paletteOf(const liq_palette *quantised)
{
    Palette palette;
    for (unsigned i = 0; i < quantised->count; ++i) {
        const liq_color &c = quantised->entries[i];
        palette.colours.push_back({c.r, c.g, c.b});
        if (c.a < 128 && palette.transparent < 0)
            palette.transparent = int(i);
    }
    // GIF's colour tables hold a power of two of entries.
    size_t count = 2;
    while (count < palette.colours.size())
        count *= 2;
    palette.colours.resize(count, GifColorType{0, 0, 0});
    return palette;
}

// The NETSCAPE2.0 block that makes players loop forever.
bool writeLoop(GifFileType *gif)
{
    static const GifByteType application[] = {'N', 'E', 'T', 'S', 'C', 'A',
                                              'P', 'E', '2', '.', '0'};
    static const GifByteType loopForever[] = {1, 0, 0};
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof application, application) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof loopForever, loopForever) == GIF_OK &&
           EGifPutExtensionTrailer(gif) == GIF_OK;
}

bool writeFrame(GifFileType *gif, const std::vector<unsigned char> &indices, int size, int delayCs,
                int transparent)
{
    GraphicsControlBlock control;
    control.DisposalMode = DISPOSE_BACKGROUND; // each frame whole, not over the last
    control.UserInputFlag = false;
    control.DelayTime = delayCs;
    control.TransparentColor = transparent >= 0 ? transparent : NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) != GIF_OK ||
        EGifPutImageDesc(gif, 0, 0, size, size, false, nullptr) != GIF_OK)
        return false;
    for (int y = 0; y < size; ++y) {
        if (EGifPutLine(gif, const_cast<GifPixelType *>(&indices[size_t(y) * size]), size) !=
            GIF_OK)
            return false;
    }
    return true;
}

} // namespace

GifAnimation::GifAnimation(int size, int framesPerSecond, const QString &path)
    : size(size), framesPerSecond(framesPerSecond), path(path)
{}

Status GifAnimation::add(const QImage &frame)
{
    frames.append(qCompress(frame.constBits(), int(frame.sizeInBytes()), 1));
    return Status();
}

Status GifAnimation::finish(QByteArray *bytes)
{
    const Status failed = Status::refused(path, QStringLiteral("the GIF's palette could not be "
                                                               "made"));
    Liq<liq_attr> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK)
        return failed;
    Liq<liq_histogram> histogram(liq_histogram_create(attr.get()));
    for (const QByteArray &frame : frames) {
        const QByteArray rgba = qUncompress(frame);
        Liq<liq_image> image(liq_image_create_rgba(attr.get(), rgba.constData(), size, size, 0));
        if (!image || liq_histogram_add_image(histogram.get(), attr.get(), image.get()) != LIQ_OK)
            return failed;
    }
    liq_result *made = nullptr;
    if (liq_histogram_quantize(histogram.get(), attr.get(), &made) != LIQ_OK)
        return failed;
    Liq<liq_result> result(made);
    liq_set_dithering_level(result.get(), 0);
    const Palette palette = paletteOf(liq_get_palette(result.get()));

    int error = 0;
    GifFileType *gif = EGifOpen(bytes, appendOutput, &error);
    if (!gif)
        return Status::refused(path, QStringLiteral("giflib could not start the GIF"));
    ColorMapObject *colours = GifMakeMapObject(int(palette.colours.size()), palette.colours.data());
    EGifSetGifVersion(gif, true);
    bool ok =
        colours && EGifPutScreenDesc(gif, size, size, 8, 0, colours) == GIF_OK && writeLoop(gif);
    std::vector<unsigned char> indices(size_t(size) * size);
    const int delayCs = 100 / framesPerSecond;
    for (int k = 0; ok && k < frames.size(); ++k) {
        const QByteArray rgba = qUncompress(frames[k]);
        Liq<liq_image> image(liq_image_create_rgba(attr.get(), rgba.constData(), size, size, 0));
        ok = image &&
             liq_write_remapped_image(result.get(), image.get(), indices.data(), indices.size()) ==
                 LIQ_OK &&
             writeFrame(gif, indices, size, delayCs, palette.transparent);
    }
    GifFreeMapObject(colours);
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    if (!ok)
        return Status::refused(path, QStringLiteral("giflib could not write the GIF (%1)")
                                         .arg(QLatin1String(GifErrorString(error))));
    return Status();
}
