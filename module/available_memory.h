// Memory the run may still take, for refusing work that cannot fit before it
// starts.
#ifndef available_memory_h
#define available_memory_h

#include <cstdint>

// Bytes of memory available to the process: the system's MemAvailable from
// /proc/meminfo (free memory plus what the kernel can reclaim without
// swapping), lowered to what an address-space limit (ulimit -v) leaves above
// the process's current size. -1 when neither can be read.
std::int64_t available_memory_bytes();

// The address-space limit (ulimit -v) in bytes, or -1 when there is none.
std::int64_t address_space_limit_bytes();

// The process's current size, its address space in bytes.
std::int64_t process_bytes();

#endif
