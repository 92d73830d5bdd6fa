#include "trace_capture.h"

#include <vtkLogger.h>

#include <fstream>
#include <stdexcept>

class TraceCapture::Window : public vtkOutputWindow
{
public:
  static Window* New()
  {
    auto* window = new Window;
    window->InitializeObjectBase();
    return window;
  }
  void DisplayDebugText(const char* text) override { this->Debug += text; }
  void DisplayErrorText(const char* text) override { this->Errors += text; }
  void DisplayWarningText(const char* text) override { this->Errors += text; }
  void DisplayGenericWarningText(const char* text) override { this->Errors += text; }
  void DisplayText(const char*) override {}

  std::string Debug;
  std::string Errors;
};

TraceCapture::TraceCapture()
  : Previous(vtkOutputWindow::GetInstance())
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
  vtkOutputWindow::SetInstance(this->Previous);
  this->Previous->UnRegister(nullptr);
  this->Capture->Delete();
}

const std::string& TraceCapture::Debug() const
{
  return this->Capture->Debug;
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

std::string TraceLocation(const std::string& path, const std::string& text)
{
  std::ifstream file(path);
  std::string line;
  for (int number = 1; std::getline(file, line); ++number)
  {
    if (line.find(text) != std::string::npos)
    {
      return path + ", line " + std::to_string(number);
    }
  }
  throw std::runtime_error("no line of " + path + " holds " + text);
}
