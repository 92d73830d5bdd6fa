// Encodes rendered frames into a video file through FFmpeg's libraries:
// libswscale turns each RGB frame into 4:2:0 YUV, libavcodec encodes it with
// the format's encoder and libavformat puts the packets into the format's
// container, written to a file descriptor that the caller opened.
//
// Frame k gets the time stamp k / framesPerSecond seconds and lasts
// 1 / framesPerSecond: every frame added is one frame of the video, none is
// dropped or repeated.
#ifndef video_encoder_h
#define video_encoder_h

#include "descriptor_io.h"
#include "video_format.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

class VideoEncoder
{
public:
  // Prepares a video of width x height pixels (padded to even sizes when
  // the format needs them) at framesPerSecond into descriptor, which is open
  // for reading and writing, empty, and stays open until the encoder is
  // gone. Writes the container's header.
  // Throws std::runtime_error with the reason when that fails.
  VideoEncoder(int descriptor,
               const VideoFormat& format,
               int width,
               int height,
               int framesPerSecond);
  // Releases everything; the file holds what was written, unfinished unless
  // Finish was called.
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Adds one frame: rgb holds the rows of width x height RGB triplets (one
  // byte each, no row padding), the bottom row first, as the toolkit's
  // images keep them. Throws std::runtime_error with the reason when the
  // frame cannot be encoded or written.
  void AddFrame(const unsigned char* rgb);

  // Drains the encoder and writes the container's trailer, after which the
  // file plays. Throws std::runtime_error with the reason when that fails.
  void Finish();

  int GetWidth() const { return this->Width; }
  int GetHeight() const { return this->Height; }

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
