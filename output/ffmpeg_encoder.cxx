// The video encoder through FFmpeg's libraries: libswscale turns each RGB
// frame into 4:2:0 YUV, libavcodec encodes it with the format's encoder and
// libavformat puts the packets into the format's container, written through
// a checked AVIOContext on the caller's file descriptor. It is built into
// libanimation_video.so with descriptor_io.cxx (see video_encoder.h).
#include "descriptor_io.h"
#include "video_encoder.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
std::string ErrorText(int code)
{
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof(text));
  return text;
}

// Options in FFmpeg's "key=value:key=value" form; null when empty.
AVDictionary* ParseOptions(const char* text)
{
  AVDictionary* options = nullptr;
  if (*text)
  {
    av_dict_parse_string(&options, text, "=", ":", 0);
  }
  return options;
}

int Even(int size)
{
  return size + (size & 1);
}

class FFmpegEncoder : public VideoEncoder
{
public:
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
  // Throws the reason when code, the result of an FFmpeg call, is an error.
  void Check(int code) const;
  // Frees the options of user (a muxer or an encoder) after the call that
  // took them returned code; throws when it failed or left an option unused.
  void ReleaseOptions(AVDictionary** options, int code, const char* user) const;

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
}

FFmpegEncoder::FFmpegEncoder(int descriptor,
                             const VideoFormat& format,
                             int width,
                             int height,
                             int framesPerSecond)
  : Width(width)
  , Height(height)
{
  this->Output.Descriptor = descriptor;
  // The encoders report their versions and statistics in their log; the
  // run's console shows only what fails (and the program's own messages
  // say that too).
  av_log_set_level(AV_LOG_ERROR);
  try
  {
    this->Open(format, framesPerSecond);
  }
  catch (...)
  {
    this->Release();
    throw;
  }
}

FFmpegEncoder::~FFmpegEncoder()
{
  this->Release();
}

void FFmpegEncoder::Open(const VideoFormat& format, int framesPerSecond)
{
  const AVCodec* encoder = avcodec_find_encoder_by_name(format.Encoder);
  if (!encoder)
  {
    throw std::runtime_error(std::string("this FFmpeg has no ") + format.Encoder + " encoder");
  }
  this->Check(avformat_alloc_output_context2(&this->Container, nullptr, format.Muxer, nullptr));
  this->Container->pb = OpenDescriptorOutput(&this->Output);
  this->Stream = avformat_new_stream(this->Container, nullptr);
  this->Codec = avcodec_alloc_context3(encoder);
  this->Picture = av_frame_alloc();
  this->Packet = av_packet_alloc();
  if (!this->Container->pb || !this->Stream || !this->Codec || !this->Picture || !this->Packet)
  {
    this->Fail(AVERROR(ENOMEM));
  }
  this->Container->flags |= AVFMT_FLAG_CUSTOM_IO;
  // Every packet goes to the file as it comes, so that a failing write
  // stops the run at the frame it concerns rather than at the end.
  this->Container->flush_packets = 1;
  AllowReadingBack(this->Container, &this->Output);

  const int codedWidth = format.EvenSize ? Even(this->Width) : this->Width;
  const int codedHeight = format.EvenSize ? Even(this->Height) : this->Height;
  this->Codec->width = codedWidth;
  this->Codec->height = codedHeight;
  this->Codec->pix_fmt = AV_PIX_FMT_YUV420P;
  // libswscale's RGB to YUV conversion: ITU-R BT.601, limited range.
  this->Codec->colorspace = AVCOL_SPC_SMPTE170M;
  this->Codec->color_range = AVCOL_RANGE_MPEG;
  this->Codec->time_base = AVRational{ 1, framesPerSecond };
  this->Codec->framerate = AVRational{ framesPerSecond, 1 };
  if (this->Container->oformat->flags & AVFMT_GLOBALHEADER)
  {
    this->Codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  AVDictionary* encoderOptions = ParseOptions(format.EncoderOptions);
  const int opened = avcodec_open2(this->Codec, encoder, &encoderOptions);
  this->ReleaseOptions(&encoderOptions, opened, format.Encoder);
  this->Check(avcodec_parameters_from_context(this->Stream->codecpar, this->Codec));
  this->Stream->time_base = this->Codec->time_base;
  this->Stream->avg_frame_rate = this->Codec->framerate;

  this->Picture->format = this->Codec->pix_fmt;
  this->Picture->width = codedWidth;
  this->Picture->height = codedHeight;
  this->Check(av_frame_get_buffer(this->Picture, 0));
  // The encoders read whole blocks (Theora's are 16 x 16 pixels), beyond
  // the picture into the buffer's padding: it is given defined values.
  for (AVBufferRef* block : this->Picture->buf)
  {
    if (block)
    {
      std::memset(block->data, 0, block->size);
    }
  }
  this->Converter = sws_getContext(codedWidth,
                                   codedHeight,
                                   AV_PIX_FMT_RGB24,
                                   codedWidth,
                                   codedHeight,
                                   this->Codec->pix_fmt,
                                   SWS_BICUBIC,
                                   nullptr,
                                   nullptr,
                                   nullptr);
  if (!this->Converter)
  {
    this->Fail(AVERROR(ENOMEM));
  }
  this->Rows.resize(static_cast<std::size_t>(codedWidth) * codedHeight * 3);

  AVDictionary* muxerOptions = ParseOptions(format.MuxerOptions);
  const int written = avformat_write_header(this->Container, &muxerOptions);
  this->ReleaseOptions(&muxerOptions, written, format.Muxer);
}

void FFmpegEncoder::Release()
{
  sws_freeContext(this->Converter);
  av_packet_free(&this->Packet);
  av_frame_free(&this->Picture);
  avcodec_free_context(&this->Codec);
  if (this->Container)
  {
    CloseDescriptorOutput(&this->Container->pb);
    avformat_free_context(this->Container);
    this->Container = nullptr;
  }
  this->Converter = nullptr;
}

void FFmpegEncoder::AddFrame(const unsigned char* rgb)
{
  // Top row first, at the coded size: an added column or row repeats the
  // last one of the picture.
  const int codedWidth = this->Codec->width;
  const std::size_t rowBytes = static_cast<std::size_t>(this->Width) * 3;
  const std::size_t codedRowBytes = static_cast<std::size_t>(codedWidth) * 3;
  for (int row = 0; row < this->Codec->height; ++row)
  {
    const int source = this->Height - 1 - (row < this->Height ? row : this->Height - 1);
    unsigned char* target = this->Rows.data() + row * codedRowBytes;
    std::memcpy(target, rgb + source * rowBytes, rowBytes);
    for (int column = this->Width; column < codedWidth; ++column)
    {
      std::memcpy(target + 3 * column, target + 3 * (this->Width - 1), 3);
    }
  }

  this->Check(av_frame_make_writable(this->Picture));
  const std::uint8_t* planes[] = { this->Rows.data() };
  const int strides[] = { static_cast<int>(codedRowBytes) };
  sws_scale(this->Converter,
            planes,
            strides,
            0,
            this->Codec->height,
            this->Picture->data,
            this->Picture->linesize);
  this->Picture->pts = this->Frames++;
  this->Encode(this->Picture);
}

void FFmpegEncoder::Finish()
{
  this->Encode(nullptr);
  const int code = av_write_trailer(this->Container);
  if (code < 0 || this->Output.Error)
  {
    this->Fail(code);
  }
  avio_flush(this->Container->pb);
  if (this->Container->pb->error < 0 || this->Output.Error)
  {
    this->Fail(this->Container->pb->error);
  }
}

void FFmpegEncoder::Encode(const AVFrame* frame)
{
  int code = avcodec_send_frame(this->Codec, frame);
  while (code >= 0)
  {
    code = avcodec_receive_packet(this->Codec, this->Packet);
    if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
    {
      return;
    }
    if (code < 0)
    {
      break;
    }
    if (this->Packet->duration == 0)
    {
      this->Packet->duration = 1;
    }
    av_packet_rescale_ts(this->Packet, this->Codec->time_base, this->Stream->time_base);
    this->Packet->stream_index = this->Stream->index;
    code = av_interleaved_write_frame(this->Container, this->Packet);
    if (this->Output.Error)
    {
      code = AVERROR(this->Output.Error);
    }
  }
  this->Fail(code);
}

void FFmpegEncoder::Fail(int code) const
{
  // A failed write is the cause, whatever the muxer made of it.
  throw std::runtime_error(ErrorText(this->Output.Error ? AVERROR(this->Output.Error) : code));
}

void FFmpegEncoder::Check(int code) const
{
  if (code < 0)
  {
    this->Fail(code);
  }
}

void FFmpegEncoder::ReleaseOptions(AVDictionary** options, int code, const char* user) const
{
  // FFmpeg leaves in options those that it did not take: none may be left.
  const AVDictionaryEntry* unknown = av_dict_get(*options, "", nullptr, AV_DICT_IGNORE_SUFFIX);
  const std::string name = unknown ? unknown->key : "";
  av_dict_free(options);
  this->Check(code);
  if (!name.empty())
  {
    throw std::runtime_error(std::string(user) + " has no option " + name);
  }
}

extern "C" __attribute__((visibility("default"))) VideoEncoder* animation_open_video_encoder(
  int descriptor,
  const VideoFormat* format,
  int width,
  int height,
  int framesPerSecond)
{
  return new FFmpegEncoder(descriptor, *format, width, height, framesPerSecond);
}
