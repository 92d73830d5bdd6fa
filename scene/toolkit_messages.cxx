#include "toolkit_messages.h"

#include <vtkObjectFactory.h>
#include <vtkOutputWindow.h>

#include <cstring>
#include <utility>

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

// The console's output window, with the toolkit's errors and warnings
// translated.
class vtkTranslatingOutputWindow : public vtkOutputWindow
{
public:
  static vtkTranslatingOutputWindow* New();
  vtkTypeMacro(vtkTranslatingOutputWindow, vtkOutputWindow);

  void DisplayErrorText(const char* text) override
  {
    this->Superclass::DisplayErrorText(ToolkitMessageInOwnWords(text).c_str());
  }
  void DisplayWarningText(const char* text) override
  {
    this->Superclass::DisplayWarningText(ToolkitMessageInOwnWords(text).c_str());
  }
  void DisplayGenericWarningText(const char* text) override
  {
    this->Superclass::DisplayGenericWarningText(ToolkitMessageInOwnWords(text).c_str());
  }

protected:
  vtkTranslatingOutputWindow() = default;
  ~vtkTranslatingOutputWindow() override = default;
};

vtkStandardNewMacro(vtkTranslatingOutputWindow);
}

std::string ToolkitMessageInOwnWords(const std::string& text)
{
  // "<kind>: In ./<path>, line <n>\n<class> (<address>): <message>\n\n"
  const std::pair<const char*, const char*> kinds[] = {
    { "ERROR: In ./", " failed: " },
    { "Warning: In ./", " warns: " },
  };
  for (const auto& [prefix, verb] : kinds)
  {
    const std::size_t lineEnd = text.find('\n');
    if (text.compare(0, std::strlen(prefix), prefix) != 0 || lineEnd == std::string::npos)
    {
      continue;
    }
    const std::size_t address = text.find(" (", lineEnd);
    const std::size_t message = text.find("): ", lineEnd);
    if (address == std::string::npos || message == std::string::npos || address > message)
    {
      return text;
    }
    std::string said = text.substr(message + 3);
    while (!said.empty() && said.back() == '\n')
    {
      said.pop_back();
    }
    return "The toolkit's " + text.substr(lineEnd + 1, address - lineEnd - 1) + verb + said + "\n";
  }
  return text;
}

void SayToolkitMessagesInOwnWords()
{
  vtkTranslatingOutputWindow* window = vtkTranslatingOutputWindow::New();
  window->SetDisplayMode(vtkOutputWindow::GetInstance()->GetDisplayMode());
  vtkOutputWindow::SetInstance(window);
  window->Delete();
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
