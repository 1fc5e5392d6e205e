#include "maps/webpanimation.h"

#include <webp/encode.h>
#include <webp/mux.h>

WebpAnimation::WebpAnimation(int size, int framesPerSecond, const QString &path)
    : encoder(nullptr), framesPerSecond(framesPerSecond), path(path)
{
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options))
        return;
    options.anim_params.loop_count = 0; // forever
    options.anim_params.bgcolor = 0x00000000;
    encoder = WebPAnimEncoderNew(size, size, &options);
}

WebpAnimation::~WebpAnimation()
{
    WebPAnimEncoderDelete(encoder);
}

int WebpAnimation::timestampMs() const
{
    return int(qint64(added) * 1000 / framesPerSecond);
}

Status WebpAnimation::add(const QImage &frame)
{
    WebPConfig config;
    WebPPicture picture;
    if (!encoder || !WebPConfigInit(&config) || !WebPPictureInit(&picture))
        return Status::refused(path, QStringLiteral("libwebp could not start the animation"));
    config.lossless = 1;
    config.quality = 50; // lossless: how hard it tries, not what it keeps
    config.method = 3;
    config.exact = 1;
    picture.use_argb = 1;
    picture.width = frame.width();
    picture.height = frame.height();
    bool ok = WebPPictureImportRGBA(&picture, frame.constBits(), int(frame.bytesPerLine())) &&
              WebPAnimEncoderAdd(encoder, &picture, timestampMs(), &config);
    WebPPictureFree(&picture);
    if (!ok)
        return Status::refused(path, QStringLiteral("libwebp could not encode frame %1 (%2)")
                                         .arg(added + 1)
                                         .arg(QLatin1String(WebPAnimEncoderGetError(encoder))));
    ++added;
    return Status();
}

Status WebpAnimation::finish(QByteArray *bytes)
{
    WebPData data;
    WebPDataInit(&data);
    const bool ok = encoder && WebPAnimEncoderAdd(encoder, nullptr, timestampMs(), nullptr) &&
                    WebPAnimEncoderAssemble(encoder, &data);
    if (ok)
        *bytes = QByteArray(reinterpret_cast<const char *>(data.bytes), int(data.size));
    WebPDataClear(&data);
    if (!ok)
        return Status::refused(path, QStringLiteral("libwebp could not assemble the animation"));
    return Status();
}
