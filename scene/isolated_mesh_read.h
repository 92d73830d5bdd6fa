// Reading a user's mesh in a child process. The toolkit's mesh readers trust
// what a file declares: some crash on a broken file (a face naming a missing
// normal, a list count beyond its data), others allocate what a header
// announces or run for minutes. A child process with a memory and a time
// limit runs the reader; a crash or a runaway there becomes a reason, not the
// end of the program.
#ifndef isolated_mesh_read_h
#define isolated_mesh_read_h

#include <string>

class vtkAlgorithm;

// Limits of the child process: SecondsLimit of wall-clock time, and an
// address space MemoryLimitBytes above the child's size at its start (not
// applied in a build with AddressSanitizer, which cannot run under one).
struct ReadLimits
{
  unsigned SecondsLimit = 60;
  long long MemoryLimitBytes = 2LL << 30;
};

// The limits for a mesh file of fileBytes: a minute plus a second per MiB,
// and 1 GiB plus 32 bytes per byte of file, at most the memory available.
ReadLimits LimitsForMeshFile(long long fileBytes);

// Runs reader (a mesh reader with its file name set) in a child process and
// checks its output there as ReadCheckedMesh does. Returns a new reader (the
// caller deletes it) that yields the same mesh from the copy the child sent
// back, or null with the reason in why: the reader's complaint, a crash (with
// the signal's name), or a limit that was reached.
vtkAlgorithm* ReadInChildProcess(vtkAlgorithm* reader, const ReadLimits& limits, std::string& why);

#endif
