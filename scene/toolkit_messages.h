// The toolkit's own error and warning texts, held back while a file is read.
// Its readers report a missing or broken file with their source path and the
// object's address; the program counts those reports and says in its own
// words what went wrong.
#ifndef toolkit_messages_h
#define toolkit_messages_h

#include <string>

class vtkOutputWindow;

// While an instance lives, the toolkit's messages go to it instead of the
// console; it counts the errors and warnings among them. Instances do not nest.
class ToolkitMessageCapture
{
public:
  ToolkitMessageCapture();
  ~ToolkitMessageCapture();
  ToolkitMessageCapture(const ToolkitMessageCapture&) = delete;
  ToolkitMessageCapture& operator=(const ToolkitMessageCapture&) = delete;

  // Errors and warnings received so far.
  int Complaints() const;

private:
  vtkOutputWindow* Console;  // the output window in use before, restored after
  vtkOutputWindow* Counting; // the one in use meanwhile
};

// A message of the toolkit's own ("ERROR: In ./IO/PLY/vtkPLYWriter.cxx, line
// 144\nvtkPLYWriter (0x5562...): Error opening PLY file\n\n") in the
// program's words, without the toolkit's source path and the object's
// address: "The toolkit's vtkPLYWriter failed: Error opening PLY file\n" (or
// "... warns: ..." for a warning). The toolkit's sources name themselves by
// a path relative to its build ("./"); the program's own traces, which name
// their sources otherwise and keep their fixed format, are returned as they
// are, and so is any other text.
std::string ToolkitMessageInOwnWords(const std::string& text);

// From now on, the toolkit's own errors and warnings reach the console in
// the program's words (ToolkitMessageInOwnWords); the program's traces and
// every other text as they are.
void SayToolkitMessagesInOwnWords();

#endif
