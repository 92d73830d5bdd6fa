// Output files that are whole or absent.
#ifndef atomic_write_h
#define atomic_write_h

#include <functional>
#include <string>

// Calls write with a temporary name in the same folder as path, then renames
// the temporary file onto path, so that a run stopped mid-write leaves the
// earlier file or none, never a truncated one. write returns false when it
// failed; the temporary file is then removed and path is left alone.
// Returns whether path now holds the new file.
bool WriteAtomically(const std::string& path, const std::function<bool(const char*)>& write);

#endif
