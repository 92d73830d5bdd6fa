// The video encoder through FFmpeg's libraries: libswscale turns each RGB
// frame into 4:2:0 YUV, libavcodec encodes it with the format's encoder and
// libavformat puts the packets into the format's container, written through
// a checked AVIOContext on the caller's file descriptor. It is built into
// libanimation_video.so with descriptor_io.cxx (see video_encoder.h).
#ifndef ffmpeg_encoder_h
#define ffmpeg_encoder_h

#include "descriptor_io.h"
#include "video_encoder.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

class FFmpegEncoder : public VideoEncoder
{
public:
  // See OpenVideoEncoder.
  FFmpegEncoder(int descriptor,
                const VideoFormat& format,
                int width,
                int height,
                int framesPerSecond);
  // Releases everything; the file holds what was written, unfinished unless
  // Finish was called.
  ~FFmpegEncoder() override;
  FFmpegEncoder(const FFmpegEncoder&) = delete;
  FFmpegEncoder& operator=(const FFmpegEncoder&) = delete;

  void AddFrame(const unsigned char* rgb) override;
  void Finish() override;
  int GetWidth() const override { return this->Width; }
  int GetHeight() const override { return this->Height; }

private:
  // The constructor's work, and the destructor's.
  void Open(const VideoFormat& format, int framesPerSecond);
  void Release();
  // Sends frame (null to drain) and writes every packet the encoder gives.
  void Encode(const AVFrame* frame);
  // Throws the reason: the failed write, or else FFmpeg's error code.
  [[noreturn]] void Fail(int code) const;

  int Width; // of the frames added
  int Height;
  DescriptorOutput Output;
  AVFormatContext* Container = nullptr;
  AVStream* Stream = nullptr;
  AVCodecContext* Codec = nullptr;
  SwsContext* Converter = nullptr;
  AVFrame* Picture = nullptr; // the YUV frame handed to the encoder
  AVPacket* Packet = nullptr;
  std::vector<unsigned char> Rows; // the RGB frame top row first, at the coded size
  std::int64_t Frames = 0;         // frames added so far: the next time stamp
};

#endif
