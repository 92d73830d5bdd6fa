#include "descriptor_io.h"

extern "C"
{
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/mem.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace
{
constexpr int BufferBytes = 1 << 16;

int Write(void* opaque, std::uint8_t* bytes, int count)
{
  auto* output = static_cast<DescriptorOutput*>(opaque);
  int written = 0;
  while (written < count)
  {
    const ssize_t done = write(output->Descriptor, bytes + written, count - written);
    if (done < 0 && errno == EINTR)
    {
      continue;
    }
    if (done <= 0)
    {
      // write() returns 0 only for a zero count; take it as a full device.
      const int error = done < 0 ? errno : ENOSPC;
      output->Error = output->Error ? output->Error : error;
      return AVERROR(error);
    }
    written += static_cast<int>(done);
  }
  return written;
}

// lseek()'s whence, or AVSEEK_SIZE for the file's length.
std::int64_t Seek(int descriptor, std::int64_t offset, int whence)
{
  if (whence & AVSEEK_SIZE)
  {
    struct stat status;
    return fstat(descriptor, &status) == 0 ? status.st_size : AVERROR(errno);
  }
  const off_t position = lseek(descriptor, offset, whence & ~AVSEEK_FORCE);
  return position < 0 ? AVERROR(errno) : position;
}

std::int64_t SeekOutput(void* opaque, std::int64_t offset, int whence)
{
  auto* output = static_cast<DescriptorOutput*>(opaque);
  const std::int64_t position = Seek(output->Descriptor, offset, whence);
  if (position < 0 && !(whence & AVSEEK_SIZE))
  {
    output->Error = output->Error ? output->Error : AVUNERROR(position);
  }
  return position;
}

// A reader of the same file with its own position, which pread() keeps
// apart from the writer's.
struct Reader
{
  int Descriptor;
  std::int64_t Position;
};

int Read(void* opaque, std::uint8_t* bytes, int count)
{
  auto* reader = static_cast<Reader*>(opaque);
  ssize_t done;
  do
  {
    done = pread(reader->Descriptor, bytes, count, reader->Position);
  } while (done < 0 && errno == EINTR);
  if (done < 0)
  {
    return AVERROR(errno);
  }
  if (done == 0)
  {
    return AVERROR_EOF;
  }
  reader->Position += done;
  return static_cast<int>(done);
}

std::int64_t SeekReader(void* opaque, std::int64_t offset, int whence)
{
  auto* reader = static_cast<Reader*>(opaque);
  if (whence & AVSEEK_SIZE)
  {
    return Seek(reader->Descriptor, 0, AVSEEK_SIZE);
  }
  switch (whence & ~AVSEEK_FORCE)
  {
    case SEEK_SET:
      reader->Position = offset;
      break;
    case SEEK_CUR:
      reader->Position += offset;
      break;
    default:
      return AVERROR(EINVAL);
  }
  return reader->Position;
}

AVIOContext* MakeContext(void* opaque,
                         int writing,
                         int (*read)(void*, std::uint8_t*, int),
                         int (*write)(void*, std::uint8_t*, int),
                         std::int64_t (*seek)(void*, std::int64_t, int))
{
  auto* buffer = static_cast<unsigned char*>(av_malloc(BufferBytes));
  if (!buffer)
  {
    return nullptr;
  }
  AVIOContext* context =
    avio_alloc_context(buffer, BufferBytes, writing, opaque, read, write, seek);
  if (!context)
  {
    av_free(buffer);
  }
  return context;
}

void FreeContext(AVIOContext** context)
{
  av_freep(&(*context)->buffer);
  avio_context_free(context);
}

int OpenReader(AVFormatContext* container,
               AVIOContext** context,
               const char*,
               int flags,
               AVDictionary**)
{
  if (flags != AVIO_FLAG_READ)
  {
    return AVERROR(EPERM);
  }
  // The file itself, opened anew for reading through the process's own
  // descriptor (which may be open for writing only), never through a name.
  auto* output = static_cast<DescriptorOutput*>(container->opaque);
  const std::string self = "/proc/self/fd/" + std::to_string(output->Descriptor);
  const int descriptor = open(self.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
  {
    return AVERROR(errno);
  }
  auto* reader = new Reader{ descriptor, 0 };
  *context = MakeContext(reader, 0, Read, nullptr, SeekReader);
  if (!*context)
  {
    close(descriptor);
    delete reader;
    return AVERROR(ENOMEM);
  }
  return 0;
}

void CloseReader(AVFormatContext*, AVIOContext* context)
{
  auto* reader = static_cast<Reader*>(context->opaque);
  close(reader->Descriptor);
  delete reader;
  FreeContext(&context);
}
}

AVIOContext* OpenDescriptorOutput(DescriptorOutput* output)
{
  return MakeContext(output, 1, nullptr, Write, SeekOutput);
}

void CloseDescriptorOutput(AVIOContext** context)
{
  if (*context)
  {
    avio_flush(*context);
    FreeContext(context);
  }
}

void AllowReadingBack(AVFormatContext* container, DescriptorOutput* output)
{
  container->opaque = output;
  container->io_open = OpenReader;
  container->io_close = CloseReader;
}
