// A stream buffer onto an open file descriptor that keeps the errno of the
// first write that failed, for writers that format into a std::ostream and
// report no more than "it failed". Give it to a std::ostream; the descriptor
// stays open, and what is buffered is written by pubsync or when the buffer
// goes.
#ifndef descriptor_stream_h
#define descriptor_stream_h

#include <streambuf>
#include <vector>

class DescriptorBuffer : public std::streambuf
{
public:
  explicit DescriptorBuffer(int descriptor);
  ~DescriptorBuffer() override;

  // 0, or the errno of the first write that failed; later writes are dropped.
  int Error() const { return this->FirstError; }

protected:
  int_type overflow(int_type c) override;
  int sync() override;

private:
  bool Drain();

  int Descriptor;
  int FirstError = 0;
  std::vector<char> Bytes;
};

#endif
