// Encodes rendered frames into a video file, in the format that a
// VideoFormat names, written to a file descriptor that the caller opened.
//
// Frame k gets the time stamp k / framesPerSecond seconds and lasts
// 1 / framesPerSecond: every frame added is one frame of the video, none is
// dropped or repeated.
//
// The encoder lives in a library of its own, libanimation_video.so in the
// lib folder beside the program's bin folder, which OpenVideoEncoder loads
// the first time a run writes a video: it links FFmpeg's libraries, which
// bring some hundred shared libraries more that a run without a video need
// not load (one of them, libhwy, runs an instruction at load time that
// valgrind cannot, so the program under valgrind loads none of them).
//
// The encoder's failures are std::runtime_error carrying the reason: they
// come out of that library, whose own types are hidden, and the recording
// (movie.h) names the video and throws them on as the program's own error.
#ifndef video_encoder_h
#define video_encoder_h

#include "video_format.h"

#include <memory>

class VideoEncoder
{
public:
  virtual ~VideoEncoder() = default;

  // Adds one frame: rgb holds the rows of GetWidth() x GetHeight() RGB
  // triplets (one byte each, no row padding), the bottom row first, as the
  // toolkit's images keep them. Throws std::runtime_error with the reason
  // when the frame cannot be encoded or written.
  virtual void AddFrame(const unsigned char* rgb) = 0;

  // Drains the encoder and writes the container's trailer, after which the
  // file plays. Throws std::runtime_error with the reason when that fails.
  virtual void Finish() = 0;

  // The size of the frames added, in pixels.
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
};

// Prepares a video of width x height pixels (padded to even sizes when the
// format needs them) at framesPerSecond into descriptor, which is open for
// writing, empty, and stays open until the encoder is gone, and
// writes the container's header. Throws std::runtime_error with the reason
// when the library cannot be loaded or the video cannot be started.
std::unique_ptr<VideoEncoder> OpenVideoEncoder(int descriptor,
                                               const VideoFormat& format,
                                               int width,
                                               int height,
                                               int framesPerSecond);

// The name of the function that the library exports to make an encoder:
// extern "C" VideoEncoder* (int descriptor, const VideoFormat* format,
// int width, int height, int framesPerSecond), throwing as OpenVideoEncoder.
#define ANIMATION_OPEN_VIDEO_ENCODER "animation_open_video_encoder"

#endif
