#include "available_memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace
{
// MemAvailable in bytes, or -1.
std::int64_t system_available()
{
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::int64_t kibibytes = 0;
  std::string unit;
  while (meminfo >> key >> kibibytes >> unit)
  {
    if (key == "MemAvailable:")
    {
      return kibibytes * 1024;
    }
  }
  return -1;
}
}

std::int64_t address_space_limit_bytes()
{
  rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
  {
    return -1;
  }
  return static_cast<std::int64_t>(limit.rlim_cur);
}

std::int64_t process_bytes()
{
  // The first number of statm is the process's size in pages.
  std::ifstream statm("/proc/self/statm");
  std::int64_t pages = 0;
  statm >> pages;
  return pages * sysconf(_SC_PAGESIZE);
}

std::int64_t available_memory_bytes()
{
  const std::int64_t system = system_available();
  const std::int64_t limit = address_space_limit_bytes();
  if (limit < 0)
  {
    return system;
  }
  const std::int64_t left = std::max<std::int64_t>(0, limit - process_bytes());
  return system < 0 ? left : std::min(system, left);
}
