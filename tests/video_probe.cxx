#include "video_probe.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <map>

namespace
{
std::string* LoggedWarnings = nullptr;

void KeepWarnings(void*, int level, const char* format, va_list arguments)
{
  if (level <= AV_LOG_WARNING && LoggedWarnings)
  {
    char line[1024];
    std::vsnprintf(line, sizeof(line), format, arguments);
    *LoggedWarnings += line;
  }
}

// The frame in RGB, top row first. libswscale writes whole vectors, so it
// converts into a frame of its own, with padded rows, first.
void KeepRgb(VideoProbe& probe, const AVFrame* frame)
{
  AVFrame* rgb = av_frame_alloc();
  rgb->format = AV_PIX_FMT_RGB24;
  rgb->width = frame->width;
  rgb->height = frame->height;
  SwsContext* converter = sws_getContext(frame->width,
                                         frame->height,
                                         static_cast<AVPixelFormat>(frame->format),
                                         frame->width,
                                         frame->height,
                                         AV_PIX_FMT_RGB24,
                                         SWS_BICUBIC,
                                         nullptr,
                                         nullptr,
                                         nullptr);
  probe.LastFrame.clear();
  if (converter && av_frame_get_buffer(rgb, 0) == 0)
  {
    sws_scale(converter, frame->data, frame->linesize, 0, frame->height, rgb->data, rgb->linesize);
    for (int row = 0; row < frame->height; ++row)
    {
      const std::uint8_t* pixels = rgb->data[0] + row * rgb->linesize[0];
      probe.LastFrame.insert(probe.LastFrame.end(), pixels, pixels + 3 * frame->width);
    }
  }
  sws_freeContext(converter);
  av_frame_free(&rgb);
}

// Counts a decoded frame and compares its key flag with the packet's.
void Take(VideoProbe& probe, const AVFrame* frame, std::map<std::int64_t, bool>& packetKeys)
{
  KeepRgb(probe, frame);
  ++probe.Frames;
  probe.Width = frame->width;
  probe.Height = frame->height;
  const char* format = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame->format));
  probe.PixelFormat = format ? format : "";
  const auto packet = packetKeys.find(frame->best_effort_timestamp);
  if (packet != packetKeys.end())
  {
    probe.MislabelledKeys += packet->second != (frame->key_frame != 0);
  }
}

void Drain(VideoProbe& probe,
           AVCodecContext* decoder,
           AVFrame* frame,
           std::map<std::int64_t, bool>& keys)
{
  while (avcodec_receive_frame(decoder, frame) == 0)
  {
    Take(probe, frame, keys);
  }
}

void Decode(VideoProbe& probe, AVFormatContext* container, int stream)
{
  const AVCodecParameters* parameters = container->streams[stream]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (avcodec_parameters_to_context(decoder, parameters) >= 0 &&
      avcodec_open2(decoder, codec, nullptr) >= 0)
  {
    // Key flags of the packets sent, by time stamp: a frame can come out
    // of the decoder after later packets have gone in.
    std::map<std::int64_t, bool> keys;
    while (av_read_frame(container, packet) >= 0)
    {
      if (packet->stream_index == stream)
      {
        keys[packet->pts] = (packet->flags & AV_PKT_FLAG_KEY) != 0;
        probe.DecodeErrors += avcodec_send_packet(decoder, packet) < 0;
        Drain(probe, decoder, frame, keys);
      }
      av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    Drain(probe, decoder, frame, keys);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
}
}

VideoProbe ProbeVideo(const std::string& path)
{
  VideoProbe probe;
  LoggedWarnings = &probe.Warnings;
  av_log_set_callback(KeepWarnings);
  AVFormatContext* container = nullptr;
  if (avformat_open_input(&container, path.c_str(), nullptr, nullptr) == 0)
  {
    const int stream = avformat_find_stream_info(container, nullptr) >= 0
                         ? av_find_best_stream(container, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                         : -1;
    if (stream >= 0)
    {
      const AVStream* video = container->streams[stream];
      probe.Opened = true;
      probe.Codec = avcodec_get_name(video->codecpar->codec_id);
      probe.FramesPerSecond =
        av_q2d(av_guess_frame_rate(container, container->streams[stream], nullptr));
      probe.Seconds = container->duration == AV_NOPTS_VALUE
                        ? 0
                        : static_cast<double>(container->duration) / AV_TIME_BASE;
      Decode(probe, container, stream);
    }
    avformat_close_input(&container);
  }
  av_log_set_callback(av_log_default_callback);
  LoggedWarnings = nullptr;
  return probe;
}
