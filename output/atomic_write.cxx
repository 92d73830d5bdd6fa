#include "atomic_write.h"

#include "program_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace
{
// The temporary files that are open or written and not yet renamed.
std::vector<std::string>& LiveTemporaries()
{
  static std::vector<std::string> paths;
  return paths;
}

void Forget(const std::string& path)
{
  std::vector<std::string>& live = LiveTemporaries();
  live.erase(std::remove(live.begin(), live.end(), path), live.end());
}

std::string RandomSuffix(std::mt19937_64& generator)
{
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uniform_int_distribution<int> pick(0, sizeof(letters) - 2);
  std::string suffix(6, ' ');
  for (char& letter : suffix)
  {
    letter = letters[pick(generator)];
  }
  return suffix;
}

// "Cannot write <path>: <the system's text for error>", with the file-size
// limit named for EFBIG.
std::string WriteFailureMessage(const std::string& path, int error)
{
  std::string message = "Cannot write " + path + ": " + std::strerror(error);
  if (error == EFBIG)
  {
    message += " (beyond the largest file the system or ulimit -f allows)";
  }
  return message;
}
}

TemporaryFile CreateTemporaryFile(const std::string& path)
{
  std::random_device entropy;
  std::mt19937_64 generator((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy() ^
                            static_cast<std::uint64_t>(getpid()));
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt)
  {
    TemporaryFile file;
    file.Path = path + "." + RandomSuffix(generator) + ".partial";
    file.Descriptor =
      open(file.Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (file.Descriptor >= 0)
    {
      LiveTemporaries().push_back(file.Path);
      return file;
    }
    error = errno;
  }
  throw program_error(WriteFailureMessage(path, error));
}

int CommitTemporaryFile(TemporaryFile& file, const std::string& path)
{
  int error = 0;
  if (fsync(file.Descriptor) != 0)
  {
    error = errno;
  }
  // close reports the errors of a file system that writes only then (NFS).
  if (close(file.Descriptor) != 0 && error == 0)
  {
    error = errno;
  }
  file.Descriptor = -1;
  if (error == 0 && std::rename(file.Path.c_str(), path.c_str()) != 0)
  {
    error = errno;
  }
  if (error != 0)
  {
    DiscardTemporaryFile(file);
    return error;
  }
  Forget(file.Path);
  file.Path.clear();
  return 0;
}

void DiscardTemporaryFile(TemporaryFile& file)
{
  if (file.Descriptor >= 0)
  {
    close(file.Descriptor);
    file.Descriptor = -1;
  }
  if (!file.Path.empty())
  {
    unlink(file.Path.c_str());
    Forget(file.Path);
    file.Path.clear();
  }
}

std::string DescriptorPath(int descriptor)
{
  return "/proc/self/fd/" + std::to_string(descriptor);
}

void RemoveTemporaryFilesNow()
{
  for (const std::string& path : LiveTemporaries())
  {
    unlink(path.c_str());
  }
  LiveTemporaries().clear();
}

void WriteAtomically(const std::string& path, const std::function<int(int descriptor)>& write)
{
  TemporaryFile file = CreateTemporaryFile(path);
  int error = write(file.Descriptor);
  if (error != 0)
  {
    DiscardTemporaryFile(file);
  }
  else
  {
    error = CommitTemporaryFile(file, path);
  }
  if (error != 0)
  {
    throw program_error(WriteFailureMessage(path, error));
  }
}
