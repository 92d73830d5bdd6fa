// The video formats that --movie writes, chosen by the file's extension.
#ifndef video_format_h
#define video_format_h

#include <string>

struct VideoFormat
{
  const char* Extension;      // the file name's ending, lower case: ".mp4"
  const char* Muxer;          // FFmpeg's name of the container: "mp4"
  const char* MuxerOptions;   // FFmpeg's key=value:... options of the container
  const char* Encoder;        // FFmpeg's name of the encoder: "libx264"
  const char* EncoderOptions; // FFmpeg's key=value:... options of the encoder
  const char* Codec;          // the codec's name for people: "H.264"
  bool EvenSize;              // whether width and height must be even
};

// The format that path's extension (in either case) names, or null when it
// names none of them.
const VideoFormat* FindVideoFormat(const std::string& path);

// The extensions with their codecs, for messages: ".mp4 (H.264), .webm (VP9)
// or .ogv (Theora)".
std::string VideoFormatChoices();

#endif
