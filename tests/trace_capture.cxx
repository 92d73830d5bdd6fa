#include "trace_capture.h"

#include <vtkLogger.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace
{
// The text with the source file of its location ("In FILE, line N") named
// by its absolute path. A compiler cache that shares objects between source
// trees compiles with paths relative to the build folder, which the toolkit
// then prints; the file is the one below the source tree that the relative
// path names after its leading "../" steps.
std::string WithSourcePath(const char* text)
{
  std::string trace = text;
  const std::string in = "In ";
  const std::size_t start = trace.find(in);
  const std::size_t end = trace.find(", line ", start);
  if (start == std::string::npos || end == std::string::npos)
  {
    return trace;
  }
  std::string path = trace.substr(start + in.size(), end - start - in.size());
  if (path.empty() || path[0] == '/')
  {
    return trace;
  }
  while (path.rfind("../", 0) == 0)
  {
    path.erase(0, 3);
  }
  const std::string inTree = std::string(ANIMATION_SOURCE_DIR) + "/" + path;
  if (!std::filesystem::exists(inTree))
  {
    return trace;
  }
  return trace.replace(start + in.size(), end - start - in.size(), inTree);
}
}

class TraceCapture::Window : public vtkOutputWindow
{
public:
  static Window* New()
  {
    auto* window = new Window;
    window->InitializeObjectBase();
    return window;
  }
  void DisplayDebugText(const char* text) override { this->Debug.push_back(WithSourcePath(text)); }
  void DisplayErrorText(const char* text) override { this->Errors += WithSourcePath(text); }
  void DisplayWarningText(const char* text) override { this->Errors += text; }
  void DisplayGenericWarningText(const char* text) override { this->Errors += text; }
  void DisplayText(const char*) override {}

  std::vector<std::string> Debug;
  std::string Errors;
};

TraceCapture::TraceCapture()
  : Previous(vtkOutputWindow::GetInstance())
  , PreviousWarningDisplay(vtkObject::GetGlobalWarningDisplay())
  , Capture(Window::New())
{
  this->Previous->Register(nullptr);
  // The logger would echo every text on the console as well.
  vtkLogger::SetStderrVerbosity(vtkLogger::VERBOSITY_OFF);
  vtkOutputWindow::SetInstance(this->Capture);
  vtkObject::GlobalWarningDisplayOn();
}

TraceCapture::~TraceCapture()
{
  vtkObject::SetGlobalWarningDisplay(this->PreviousWarningDisplay);
  vtkOutputWindow::SetInstance(this->Previous);
  this->Previous->UnRegister(nullptr);
  this->Capture->Delete();
}

const std::vector<std::string>& TraceCapture::DebugTexts() const
{
  return this->Capture->Debug;
}

std::string TraceCapture::Debug() const
{
  std::string joined;
  for (const std::string& text : this->Capture->Debug)
  {
    joined += text;
  }
  return joined;
}

const std::string& TraceCapture::Errors() const
{
  return this->Capture->Errors;
}

void TraceCapture::Clear()
{
  this->Capture->Debug.clear();
  this->Capture->Errors.clear();
}

int LineHolding(const std::string& path, const std::string& text)
{
  std::ifstream file(path);
  std::string line;
  for (int number = 1; std::getline(file, line); ++number)
  {
    if (line.find(text) != std::string::npos)
    {
      return number;
    }
  }
  throw std::runtime_error("no line of " + path + " holds " + text);
}

std::string TraceLocation(const std::string& path, const std::string& text)
{
  return path + ", line " + std::to_string(LineHolding(path, text));
}
