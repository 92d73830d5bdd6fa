// Progress of a writer that reports none: the toolkit's legacy writer formats
// and writes a whole mesh in one call. While it runs, a watcher thread reads
// the size of the file being written a few times a second and reports the
// bytes added to the open progress stage, against a total estimated from the
// data before the write starts.
#ifndef file_growth_progress_h
#define file_growth_progress_h

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

class vtkPolyData;

// Bytes of mesh written as ASCII legacy polydata, estimated from the number
// of values of its points, cells and attribute arrays and the printed length
// of a sample of each (the writer prints numbers in the shortest of %g's
// forms, one blank after each).
std::int64_t EstimatedLegacyTextBytes(vtkPolyData* mesh);

// Watches path for the length of its scope when the progress line is shown;
// does nothing otherwise.
class FileGrowthProgress
{
public:
  explicit FileGrowthProgress(const std::string& path);
  ~FileGrowthProgress();
  FileGrowthProgress(const FileGrowthProgress&) = delete;
  FileGrowthProgress& operator=(const FileGrowthProgress&) = delete;

private:
  void Watch();

  std::string Path;
  std::atomic<bool> Finished{ false };
  std::thread Watcher;
};

#endif
