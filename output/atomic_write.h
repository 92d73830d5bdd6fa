// Output files that are whole or absent, and never written through a name
// that someone else prepared.
//
// An output is written to a new file beside it, "<name>.XXXXXX.partial" with
// six random characters, and renamed onto its name once it is complete and
// on the disk. The temporary file is created exclusively (O_CREAT | O_EXCL |
// O_NOFOLLOW): a file or a symbolic link planted under that name is never
// opened or followed, another name is drawn instead, and runs that share a
// folder never share a temporary file. A failed write removes its temporary
// file and leaves the earlier file of the name as it was.
#ifndef atomic_write_h
#define atomic_write_h

#include "named_file.h" // For WriteAll

#include <functional>
#include <string>

struct TemporaryFile
{
  int Descriptor = -1; // open for writing; -1 once closed
  std::string Path;    // "<name>.XXXXXX.partial" in the folder of the name; empty once gone
};

// Creates the temporary file of the output path, permission 0666 less the
// umask. Throws program_error "Cannot write <path>: <the system's text for
// the error>" (with the file-size limit named for EFBIG) when the folder
// takes no new file.
TemporaryFile CreateTemporaryFile(const std::string& path);

// Flushes file to the disk, closes it and renames it onto path. Returns 0, or
// the errno of the step that failed; the temporary file is removed then and
// path is left alone.
int CommitTemporaryFile(TemporaryFile& file, const std::string& path);

// Closes and removes the temporary file; nothing when it is gone already.
void DiscardTemporaryFile(TemporaryFile& file);

// The name by which the process reaches its open descriptor,
// "/proc/self/fd/N": a writer that opens its file by name opens the very file
// behind the descriptor, whatever has become of its name meanwhile.
std::string DescriptorPath(int descriptor);

// Removes every temporary file of the process that is neither committed nor
// discarded, for a process that must end at once.
void RemoveTemporaryFilesNow();

// Creates the temporary file of path, hands its descriptor to write, which
// returns 0 or an errno, and commits the file. Throws program_error
// as CreateTemporaryFile does when any step fails; path is then left as it was and
// no temporary file remains.
void WriteAtomically(const std::string& path, const std::function<int(int descriptor)>& write);

#endif
