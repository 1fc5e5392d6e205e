#include "maps/mp4animation.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

// The file in memory that the muxer writes, seeking back to fill in sizes.
struct MemoryFile
{
    QByteArray data;
    qint64 at = 0;
};

int writePacket(void *opaque, uint8_t *buffer, int size)
{
    MemoryFile &file = *static_cast<MemoryFile *>(opaque);
    if (file.at + size > file.data.size())
        file.data.resize(int(file.at + size));
    std::memcpy(file.data.data() + file.at, buffer, size_t(size));
    file.at += size;
    return size;
}

int64_t seekPacket(void *opaque, int64_t offset, int whence)
{
    MemoryFile &file = *static_cast<MemoryFile *>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return file.data.size();
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += file.at;
        break;
    case SEEK_END:
        offset += file.data.size();
        break;
    default:
        return -1;
    }
    if (offset < 0)
        return -1;
    file.at = offset;
    return offset;
}

QString avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

// The frame laid over white: H.264 has no alpha.
QImage overWhite(const QImage &frame)
{
    QImage flat = frame.copy();
    for (int y = 0; y < flat.height(); ++y) {
        uchar *p = flat.scanLine(y);
        for (int x = 0; x < flat.width(); ++x, p += 4) {
            const int a = p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = uchar((p[k] * a + 255 * (255 - a) + 127) / 255);
            p[3] = 255;
        }
    }
    return flat;
}

} // namespace

struct Mp4Animation::Codec
{
    MemoryFile file;
    AVFormatContext *format = nullptr;
    AVIOContext *io = nullptr;
    AVCodecContext *context = nullptr;
    AVStream *stream = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    SwsContext *scale = nullptr;

    ~Codec()
    {
        sws_freeContext(scale);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
        avformat_free_context(format);
    }
};

Mp4Animation::Mp4Animation(int size, int framesPerSecond, const QString &path)
    : size(size), framesPerSecond(framesPerSecond), path(path)
{}

Mp4Animation::~Mp4Animation() = default;

Status Mp4Animation::start()
{
    // libx264 reports its settings on stderr; failures come back as codes.
    av_log_set_level(AV_LOG_QUIET);
    codec = std::make_unique<Codec>();
    Codec &c = *codec;
    const AVCodec *h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264)
        h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!h264)
        return Status::refused(path, QStringLiteral("this ffmpeg has no H.264 encoder"));
    const int bufferSize = 1 << 16;
    auto *buffer = static_cast<unsigned char *>(av_malloc(bufferSize));
    c.io = buffer ? avio_alloc_context(buffer, bufferSize, 1, &c.file, nullptr, writePacket,
                                       seekPacket)
                  : nullptr;
    if (!c.io)
        av_free(buffer);
    c.context = avcodec_alloc_context3(h264);
    c.frame = av_frame_alloc();
    c.packet = av_packet_alloc();
    if (!c.io || !c.context || !c.frame || !c.packet ||
        avformat_alloc_output_context2(&c.format, nullptr, "mp4", nullptr) < 0)
        return Status::outOfMemory(path);
    c.format->pb = c.io;
    c.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    c.context->width = c.context->height = size;
    c.context->pix_fmt = AV_PIX_FMT_YUV420P;
    c.context->time_base = AVRational{1, framesPerSecond};
    c.context->framerate = AVRational{framesPerSecond, 1};
    c.context->gop_size = framesPerSecond * 2;
    if (c.format->oformat->flags & AVFMT_GLOBALHEADER)
        c.context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(c.context->priv_data, "preset", "medium", 0);
    av_opt_set(c.context->priv_data, "crf", "18", 0);
    int error = avcodec_open2(c.context, h264, nullptr);
    c.stream = error < 0 ? nullptr : avformat_new_stream(c.format, nullptr);
    if (c.stream) {
        c.stream->time_base = c.context->time_base;
        c.stream->avg_frame_rate = c.context->framerate;
        error = avcodec_parameters_from_context(c.stream->codecpar, c.context);
    }
    if (error >= 0 && c.stream)
        error = avformat_write_header(c.format, nullptr);
    c.frame->format = AV_PIX_FMT_YUV420P;
    c.frame->width = c.frame->height = size;
    if (error >= 0)
        error = av_frame_get_buffer(c.frame, 0);
    c.scale = sws_getContext(size, size, AV_PIX_FMT_RGBA, size, size, AV_PIX_FMT_YUV420P,
                             SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (error < 0 || !c.stream || !c.scale)
        return Status::refused(path,
                               QStringLiteral("ffmpeg could not start the MP4 (%1)")
                                   .arg(error < 0 ? avError(error) : QStringLiteral("no stream")));
    return Status();
}

// The frame (or, for last, the end of the stream) to the encoder, and every
// packet it has ready into the file.
Status Mp4Animation::send(bool last)
{
    Codec &c = *codec;
    int error = avcodec_send_frame(c.context, last ? nullptr : c.frame);
    while (error >= 0) {
        error = avcodec_receive_packet(c.context, c.packet);
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
            return Status();
        if (error < 0)
            break;
        av_packet_rescale_ts(c.packet, c.context->time_base, c.stream->time_base);
        c.packet->stream_index = c.stream->index;
        error = av_interleaved_write_frame(c.format, c.packet);
    }
    return Status::refused(
        path,
        QStringLiteral("ffmpeg could not encode frame %1 (%2)").arg(added + 1).arg(avError(error)));
}

Status Mp4Animation::add(const QImage &frame)
{
    if (!codec) {
        if (const Status started = start(); !started.ok())
            return started;
    }
    const QImage flat = overWhite(frame);
    Codec &c = *codec;
    if (av_frame_make_writable(c.frame) < 0)
        return Status::outOfMemory(path);
    const uint8_t *source[] = {flat.constBits()};
    const int stride[] = {int(flat.bytesPerLine())};
    sws_scale(c.scale, source, stride, 0, size, c.frame->data, c.frame->linesize);
    c.frame->pts = added;
    const Status sent = send(false);
    ++added;
    return sent;
}

Status Mp4Animation::finish(QByteArray *bytes)
{
    if (!codec)
        return Status::refused(path, QStringLiteral("an MP4 needs at least one frame"));
    if (const Status sent = send(true); !sent.ok())
        return sent;
    const int error = av_write_trailer(codec->format);
    avio_flush(codec->io);
    if (error < 0)
        return Status::refused(
            path, QStringLiteral("ffmpeg could not end the MP4 (%1)").arg(avError(error)));
    *bytes = codec->file.data;
    return Status();
}
