// The toolkit's own messages reach the console in the program's words; the
// program's traces keep their fixed format.
#include "toolkit_messages.h"

#include <gtest/gtest.h>

TEST(ToolkitMessages, ToolkitErrorsAndWarningsLoseTheirPathAndAddress)
{
  EXPECT_EQ(ToolkitMessageInOwnWords("ERROR: In ./IO/PLY/vtkPLYWriter.cxx, line 144\n"
                                     "vtkPLYWriter (0x56228f148350): Error opening PLY file\n\n"),
            "The toolkit's vtkPLYWriter failed: Error opening PLY file\n");
  EXPECT_EQ(ToolkitMessageInOwnWords("Warning: In ./IO/PLY/vtkPLYReader.cxx, line 195\n"
                                     "vtkPLYReader (0x55e5b47ca440): Could not open PLY file\n\n"),
            "The toolkit's vtkPLYReader warns: Could not open PLY file\n");
}

TEST(ToolkitMessages, ProgramTracesAndOtherTextsStayAsTheyAre)
{
  const std::string trace = "ERROR: In /home/me/animation/fixed/vtkDatReader.cxx, line 80\n"
                            "vtkDatReader (0x1234): Not correct FileName\n\n";
  EXPECT_EQ(ToolkitMessageInOwnWords(trace), trace);
  EXPECT_EQ(ToolkitMessageInOwnWords("ERROR: In ./no line end"), "ERROR: In ./no line end");
  EXPECT_EQ(ToolkitMessageInOwnWords("plain text\n"), "plain text\n");
}
