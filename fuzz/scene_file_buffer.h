// Fuzzing support: a scene file on disk that every run of a target rewrites.
#ifndef scene_file_buffer_h
#define scene_file_buffer_h

#include <cstddef>
#include <cstdint>

// Writes size bytes to this process's own temporary scene file and returns
// its path. The file lives until the process ends.
const char* WriteSceneFile(const std::uint8_t* data, std::size_t size);

// Switches off the toolkit's traces and the logger, so that the fuzzer's own
// output stays readable and a run spends no time printing.
void SilenceToolkit();

#endif
