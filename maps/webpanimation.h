// An animated WebP by libwebp's animation encoder: lossless, so that each
// frame is its map to the bit (transparent beyond the globe, the colours
// there kept as they are), looping forever. Two frames alike are held as
// one frame of twice the time, as the encoder does.
#ifndef WEBPANIMATION_H
#define WEBPANIMATION_H

#include "maps/animationencoder.h"

#include <QString>

struct WebPAnimEncoder;

class WebpAnimation : public AnimationEncoder
{
public:
    // Frames size x size pixels, framesPerSecond of them each second; path
    // is the file the bytes are for.
    WebpAnimation(int size, int framesPerSecond, const QString &path);
    ~WebpAnimation() override;
    WebpAnimation(const WebpAnimation &) = delete;
    WebpAnimation &operator=(const WebpAnimation &) = delete;

    Status add(const QImage &frame) override;
    Status finish(QByteArray *bytes) override;

private:
    int timestampMs() const;

    WebPAnimEncoder *encoder;
    int framesPerSecond;
    QString path;
    int added = 0;
};

#endif
