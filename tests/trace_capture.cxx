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
  void DisplayDebugText(const char* text) override { this->Debug.emplace_back(text); }
  void DisplayErrorText(const char* text) override { this->Errors += text; }
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
