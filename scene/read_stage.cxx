#include "read_stage.h"

#include "program_error.h"
#include "timeline.h"
#include "vtkDatReader.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace
{
// Settings that would open no window, or keep the program busy for days, end
// the run before anything is solved or shown.
void CheckSettings(vtkDatReader* reader)
{
  int size[2];
  reader->GetWindowSize(size);
  if (size[0] < 1 || size[0] > MaximumWindowSide || size[1] < 1 || size[1] > MaximumWindowSide)
  {
    std::ostringstream text;
    text << "WindowSize " << size[0] << " " << size[1]
         << " is out of range: width and height must be 1 to " << MaximumWindowSide << " pixels";
    throw program_error(text.str());
  }
  // A Key line beyond the frame limit is refused with its line; without Key
  // lines the product of FramesNumber and LoopCount is checked.
  const int64_t frames = SceneFrameCount(reader);
  if (frames > MaximumFrameCount)
  {
    std::ostringstream text;
    text << "FramesNumber " << reader->GetFramesNumber() << " times LoopCount "
         << reader->GetLoopCount() << " makes " << frames << " frames; a run may have at most "
         << MaximumFrameCount;
    throw program_error(text.str());
  }
}

// The reader has said why through its error trace; a file that is not there
// is named with the folder it was looked for in.
[[noreturn]] void FailToRead(const char* fileName)
{
  std::error_code error;
  if (std::filesystem::is_regular_file(fileName, error) && std::ifstream(fileName).good())
  {
    throw program_error("Very-very bad!");
  }
  throw program_error(std::string("Very-very bad!\nThere is no readable scene file ") + fileName +
                      " in the folder " + std::filesystem::current_path(error).string());
}
}

int64_t FrameCount(int framesNumber, int loopCount)
{
  if (framesNumber < 1 || loopCount < 1)
  {
    return 1;
  }
  return static_cast<int64_t>(framesNumber) * loopCount;
}

vtkDatReader* ReadSceneFile()
{
  vtkDatReader* reader = vtkDatReader::New();
  reader->FileName = "woman.ptt";
  // The ordering uses the radius held at read time, so it is set first.
  reader->SetRadius(0.5);
  try
  {
    if (reader->ReadFile() != 0)
    {
      FailToRead(reader->FileName);
    }
    CheckSettings(reader);
  }
  catch (...)
  {
    reader->Delete();
    throw;
  }
  return reader;
}

void FailOnSceneLine(vtkDatReader* reader, int line, const std::string& text)
{
  std::ostringstream message;
  message << reader->FileName << " line " << line << ": " << text;
  throw program_error(message.str());
}
