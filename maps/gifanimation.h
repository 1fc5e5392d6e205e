// An animated GIF by giflib, looping forever (the NETSCAPE2.0 extension),
// with one palette for every frame, made by libimagequant from all frames'
// colours together and applied without dithering: a colour stays the same
// index from frame to frame, and the sea is one flat colour, not noise.
// Beyond the globe the frames are transparent (one index of the palette).
//
// The palette needs every frame first: the frames are held, deflated, until
// finish.
#ifndef GIFANIMATION_H
#define GIFANIMATION_H

#include "maps/animationencoder.h"

#include <QString>
#include <QVector>

class GifAnimation : public AnimationEncoder
{
public:
    // Frames size x size pixels, framesPerSecond of them each second (GIF
    // counts hundredths of a second: 25 and 50 are exact); path is the file
    // the bytes are for.
    GifAnimation(int size, int framesPerSecond, const QString &path);

    Status add(const QImage &frame) override;
    Status finish(QByteArray *bytes) override;

private:
    int size, framesPerSecond;
    QString path;
    QVector<QByteArray> frames; // RGBA rows, qCompress'd
};

#endif
