// The toolkit's own error and warning texts, held back while a file is read.
// Its readers report a missing or broken file with their source path and the
// object's address; the program counts those reports and says in its own
// words what went wrong.
#ifndef toolkit_messages_h
#define toolkit_messages_h

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

#endif
