// An H.264 MP4 by ffmpeg's libraries (libavcodec's libx264, libavformat's
// MP4 muxer, libswscale): yuv420p, which phones and browsers play, at a
// constant frame rate, exactly as many frames as were added, so that a
// looping player turns seamlessly. H.264 holds no transparency: the frames
// are laid over white, the editor's background. Made in memory; its index
// (moov) follows the frames.
#ifndef MP4ANIMATION_H
#define MP4ANIMATION_H

#include "maps/animationencoder.h"

#include <QString>

#include <memory>

class Mp4Animation : public AnimationEncoder
{
public:
    // Frames size x size pixels (size even), framesPerSecond of them each
    // second; path is the file the bytes are for.
    Mp4Animation(int size, int framesPerSecond, const QString &path);
    ~Mp4Animation() override;
    Mp4Animation(const Mp4Animation &) = delete;
    Mp4Animation &operator=(const Mp4Animation &) = delete;

    Status add(const QImage &frame) override;
    Status finish(QByteArray *bytes) override;

private:
    struct Codec;
    Status start();
    Status send(bool last);

    std::unique_ptr<Codec> codec;
    int size, framesPerSecond;
    QString path;
    long long added = 0;
};

#endif
