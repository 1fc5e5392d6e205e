// What a turntable's file is made by: frames given one by one, in order,
// then the file's bytes. Each format is its own encoder: webpanimation.h,
// gifanimation.h, mp4animation.h.
#ifndef ANIMATIONENCODER_H
#define ANIMATIONENCODER_H

#include "world/status.h"

#include <QByteArray>
#include <QImage>

class AnimationEncoder
{
public:
    virtual ~AnimationEncoder() = default;
    // frame: Format_RGBA8888, as every other frame in size, alpha 0 beyond
    // the globe (each format shows that as it can). Refusals name the
    // encoder's file.
    virtual Status add(const QImage &frame) = 0;
    // After the last frame: the whole file.
    virtual Status finish(QByteArray *bytes) = 0;
};

#endif
