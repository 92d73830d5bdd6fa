#include "descriptor_stream.h"

#include "atomic_write.h"

namespace
{
constexpr std::size_t BufferBytes = 1 << 16;
}

DescriptorBuffer::DescriptorBuffer(int descriptor)
  : Descriptor(descriptor)
  , Bytes(BufferBytes)
{
  this->setp(this->Bytes.data(), this->Bytes.data() + this->Bytes.size());
}

DescriptorBuffer::~DescriptorBuffer()
{
  this->Drain();
}

bool DescriptorBuffer::Drain()
{
  const std::size_t pending = static_cast<std::size_t>(this->pptr() - this->pbase());
  if (pending > 0 && this->FirstError == 0)
  {
    this->FirstError = WriteAll(this->Descriptor, this->pbase(), pending);
  }
  this->setp(this->Bytes.data(), this->Bytes.data() + this->Bytes.size());
  return this->FirstError == 0;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c)
{
  if (!this->Drain())
  {
    return traits_type::eof();
  }
  if (!traits_type::eq_int_type(c, traits_type::eof()))
  {
    *this->pptr() = traits_type::to_char_type(c);
    this->pbump(1);
  }
  return traits_type::not_eof(c);
}

int DescriptorBuffer::sync()
{
  return this->Drain() ? 0 : -1;
}
