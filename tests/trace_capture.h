// Test support: collects what the toolkit's output window is given.
#ifndef trace_capture_h
#define trace_capture_h

#include <vtkObject.h>
#include <vtkOutputWindow.h>

#include <string>
#include <vector>

// Installed as the toolkit's output window for its lifetime, with the global
// warning display on; keeps every debug and error text it receives, and
// shows nothing.
class TraceCapture
{
public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  // Every debug text received, in order, and all of them joined.
  const std::vector<std::string>& DebugTexts() const;
  std::string Debug() const;
  const std::string& Errors() const;
  void Clear();

private:
  vtkOutputWindow* Previous;
  int PreviousWarningDisplay;
  class Window;
  Window* Capture;
};

// The number of the first line of a source file that contains text, counted
// from 1 as __LINE__ counts; throws when no line does.
int LineHolding(const std::string& path, const std::string& text);

// The path and line of the first line of a source file that contains text,
// as __FILE__ and __LINE__ name it in a trace: "Debug: In <path>, line <n>".
std::string TraceLocation(const std::string& path, const std::string& text);

#endif
