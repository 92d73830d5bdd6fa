#include "atomic_write.h"

#include <cstdio>

bool WriteAtomically(const std::string& path, const std::function<bool(const char*)>& write)
{
  const std::string partial = path + ".partial";
  if (write(partial.c_str()) && std::rename(partial.c_str(), path.c_str()) == 0)
  {
    return true;
  }
  std::remove(partial.c_str());
  return false;
}
