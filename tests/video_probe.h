// Test support: reads a video file back through FFmpeg's libraries, as a
// player would, independently of how the program wrote it.
#ifndef video_probe_h
#define video_probe_h

#include <string>
#include <vector>

struct VideoProbe
{
  bool Opened = false;     // the container was recognised and has a video stream
  std::string Codec;       // FFmpeg's name of the codec: "h264", "vp9", "theora"
  std::string PixelFormat; // of the decoded frames: "yuv420p"
  int Width = 0;           // of the decoded frames, in pixels
  int Height = 0;
  double FramesPerSecond = 0;           // the frame rate FFmpeg finds for the stream
  double Seconds = 0;                   // the container's duration
  int Frames = 0;                       // frames decoded, with the decoder drained
  int DecodeErrors = 0;                 // packets or frames the decoder refused
  int MislabelledKeys = 0;              // packets whose key flag differs from the decoded frame's
  std::string Warnings;                 // what the libraries logged at warning level or worse
  std::vector<unsigned char> LastFrame; // the last frame in RGB, top row first, no padding
};

// Demuxes and decodes every frame of path.
VideoProbe ProbeVideo(const std::string& path);

#endif
