#include "named_file.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char* FileKind(mode_t mode)
{
  const std::pair<bool, const char*> kinds[] = {
    { S_ISREG(mode), "a regular file" },
    { S_ISDIR(mode), "a folder" },
    { S_ISCHR(mode), "a character device" },
    { S_ISBLK(mode), "a block device" },
    { S_ISFIFO(mode), "a FIFO" },
    { S_ISSOCK(mode), "a socket" },
    { S_ISLNK(mode), "a symbolic link" },
  };
  for (const auto& [is, kind] : kinds)
  {
    if (is)
    {
      return kind;
    }
  }
  return "something other than a file";
}

int OpenNamedFile(const std::string& fileName,
                  long long maximumBytes,
                  const char* kind,
                  std::string& why)
{
  // O_NONBLOCK: opening a FIFO returns at once instead of waiting for a
  // writer; the mode is cleared again once the file is known to be regular.
  const int descriptor = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0)
  {
    const int error = errno;
    why =
      error == ENOENT ? "does not exist" : std::string("cannot be opened: ") + std::strerror(error);
    return -1;
  }
  struct stat status = {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
  {
    why = std::string("is ") + FileKind(status.st_mode) + ", not a regular file";
    close(descriptor);
    return -1;
  }
  if (status.st_size > maximumBytes)
  {
    why = "holds " + std::to_string(status.st_size) + " bytes, more than " + kind + " may (" +
          std::to_string(maximumBytes) + ")";
    close(descriptor);
    return -1;
  }
  fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  return descriptor;
}

bool IsAcceptableNamedFile(const std::string& fileName,
                           long long maximumBytes,
                           const char* kind,
                           std::string& why)
{
  const int descriptor = OpenNamedFile(fileName, maximumBytes, kind, why);
  if (descriptor < 0)
  {
    return false;
  }
  close(descriptor);
  return true;
}

bool ReadNamedFile(const std::string& fileName,
                   long long maximumBytes,
                   const char* kind,
                   std::string& bytes,
                   std::string& why)
{
  const int descriptor = OpenNamedFile(fileName, maximumBytes, kind, why);
  if (descriptor < 0)
  {
    return false;
  }
  bytes.clear();
  const bool read = ReadToEnd(descriptor, maximumBytes, bytes, why);
  close(descriptor);
  return read;
}

bool ReadToEnd(int descriptor, long long maximumBytes, std::string& bytes, std::string& why)
{
  char block[1 << 16];
  for (;;)
  {
    const ssize_t count = read(descriptor, block, sizeof(block));
    if (count < 0 && errno == EINTR)
    {
      continue;
    }
    if (count < 0 || static_cast<long long>(bytes.size()) + count > maximumBytes)
    {
      why = count < 0 ? std::string("cannot be read: ") + std::strerror(errno)
                      : "grew beyond " + std::to_string(maximumBytes) + " bytes while it was read";
      return false;
    }
    if (count == 0)
    {
      return true;
    }
    bytes.append(block, static_cast<size_t>(count));
  }
}

int WriteAll(int descriptor, const void* data, std::size_t size)
{
  const char* bytes = static_cast<const char*>(data);
  while (size > 0)
  {
    const ssize_t written = write(descriptor, bytes, size);
    if (written < 0 && errno == EINTR)
    {
      continue;
    }
    if (written <= 0)
    {
      return written < 0 ? errno : EIO;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}
