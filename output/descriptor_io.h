// FFmpeg's byte I/O on a file descriptor that the caller has opened, so that
// the program decides how its output file is made (name, permissions,
// exclusive creation) and FFmpeg only writes into it.
//
// Every write is checked: a failed or short write() (a full disk, a file size
// limit, an I/O error) is kept as the first error, which the muxer also sees
// as the result of its write, so that a damaged file is never taken for a
// finished one.
#ifndef descriptor_io_h
#define descriptor_io_h

struct AVFormatContext;
struct AVIOContext;
struct AVDictionary;

struct DescriptorOutput
{
  int Descriptor = -1; // open for writing, positioned at 0
  int Error = 0;       // the first errno of a failed write or seek, or 0
};

// Makes a seekable writing context on output->Descriptor, which must outlive
// it; null when out of memory. Release it with CloseDescriptorOutput.
AVIOContext* OpenDescriptorOutput(DescriptorOutput* output);

// Flushes and releases a context made by OpenDescriptorOutput and sets it to
// null; the descriptor stays open.
void CloseDescriptorOutput(AVIOContext** context);

// Lets a muxer read back what it has written (the MP4 muxer does so to move
// its index to the front): installs, as the container's io_open and io_close,
// callbacks that give a reading context on output->Descriptor with its own
// position, whatever the name asked for. Any other opening is refused.
void AllowReadingBack(AVFormatContext* container, DescriptorOutput* output);

#endif
