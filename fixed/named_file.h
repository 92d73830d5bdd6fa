// Opening a file that a user names. A scene names its own files (meshes,
// expression and point files, images, the buffers of a glTF file), and any
// of them may be something other than a file of sensible size: a FIFO, whose
// open would wait for a writer forever; /dev/zero or /dev/urandom, which
// never end; a sparse file that declares gigabytes on a few kilobytes of
// disk. Every such file is opened here without waiting, and kept only when
// it is a regular file no larger than the limit its kind allows; the reason
// for a refusal says what the file is, and the caller puts the file's name
// before it.
#ifndef named_file_h
#define named_file_h

#include <sys/types.h>

#include <cstddef>
#include <string>

// Largest text file read whole: the scene file, an expression file, a point
// file or a markups file.
constexpr long long MaximumTextFileBytes = 256LL << 20;

// Largest mesh, image or glTF buffer.
constexpr long long MaximumDataFileBytes = 1LL << 30;

// What a file of the mode that stat() gives is, for a message: "a regular
// file", "a folder", "a FIFO", "a symbolic link", ...
const char* FileKind(mode_t mode);

// Opens fileName for reading and returns its descriptor (close-on-exec, in
// blocking mode), or -1 with the reason in why when it cannot be opened, is
// not a regular file, or holds more than maximumBytes. kind says what the
// file is for in the reason ("a scene file", "a mesh", ...).
//   fileName      input, the name as the user gave it
//   maximumBytes  input, the largest size accepted
//   kind          input, an article and a noun
//   why           output, set when -1 is returned, to follow the file's
//                 name: "is a FIFO, not a regular file", "holds N bytes,
//                 more than a mesh may (M)", "does not exist", ...
int OpenNamedFile(const std::string& fileName,
                  long long maximumBytes,
                  const char* kind,
                  std::string& why);

// True when fileName would be opened by OpenNamedFile; otherwise false with
// the reason in why. For files that a toolkit reader opens by name.
bool IsAcceptableNamedFile(const std::string& fileName,
                           long long maximumBytes,
                           const char* kind,
                           std::string& why);

// Reads the whole of fileName into bytes, with the checks of OpenNamedFile.
// Returns false with the reason in why.
bool ReadNamedFile(const std::string& fileName,
                   long long maximumBytes,
                   const char* kind,
                   std::string& bytes,
                   std::string& why);

// Appends what descriptor holds up to its end to bytes. Returns false, with
// the reason in why, when a read fails or bytes would pass maximumBytes.
bool ReadToEnd(int descriptor, long long maximumBytes, std::string& bytes, std::string& why);

// Writes size bytes of data to descriptor, resuming after short writes and
// interruptions. Returns 0, or the errno of the write that failed.
int WriteAll(int descriptor, const void* data, std::size_t size);

#endif
