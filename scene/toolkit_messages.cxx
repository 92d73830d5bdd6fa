#include "toolkit_messages.h"

#include <vtkObjectFactory.h>
#include <vtkOutputWindow.h>

namespace
{
// Keeps every text to itself and counts the errors and warnings.
class vtkCountingOutputWindow : public vtkOutputWindow
{
public:
  static vtkCountingOutputWindow* New();
  vtkTypeMacro(vtkCountingOutputWindow, vtkOutputWindow);

  void DisplayText(const char*) override {}
  void DisplayErrorText(const char*) override { ++this->Complaints; }
  void DisplayWarningText(const char*) override { ++this->Complaints; }
  void DisplayGenericWarningText(const char*) override { ++this->Complaints; }
  void DisplayDebugText(const char*) override {}

  int Complaints = 0;

protected:
  vtkCountingOutputWindow() = default;
  ~vtkCountingOutputWindow() override = default;
};

vtkStandardNewMacro(vtkCountingOutputWindow);
}

ToolkitMessageCapture::ToolkitMessageCapture()
  : Console(vtkOutputWindow::GetInstance())
  , Counting(vtkCountingOutputWindow::New())
{
  // SetInstance releases the window it replaces: keep the console's alive.
  this->Console->Register(nullptr);
  vtkOutputWindow::SetInstance(this->Counting);
}

ToolkitMessageCapture::~ToolkitMessageCapture()
{
  vtkOutputWindow::SetInstance(this->Console);
  this->Console->UnRegister(nullptr);
  this->Counting->Delete();
}

int ToolkitMessageCapture::Complaints() const
{
  return static_cast<vtkCountingOutputWindow*>(this->Counting)->Complaints;
}
