// Animation: animates a smooth, local deformation of a face mesh.
//
// The run is one fixed sequence of stages. Every fatal condition is thrown
// as a text message and caught here, the only handler: the message goes to
// standard error and the program ends with status 1.
#include "console.h"
#include "read_stage.h"

#include "vtkDatReader.h"

#include <vtkLogger.h>
#include <vtkOutputWindow.h>

#include <cstring>
#include <exception>
#include <iostream>

int main(int argc, char* argv[])
{
  if (argc > 2 || (argc == 2 && std::strcmp(argv[1], "--help") != 0 &&
                    std::strcmp(argv[1], "--batch") != 0))
  {
    PrintUsage(std::cerr);
    return 2;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0)
  {
    PrintUsage(std::cout);
    return 0;
  }

  // Traces go to the console as plain text, without the logger's decoration.
  vtkLogger::SetStderrVerbosity(vtkLogger::VERBOSITY_OFF);
  vtkOutputWindow::GetInstance()->SetDisplayModeToAlways();

  try
  {
    PrintBanner();
    vtkDatReader* reader = ReadScene();
    reader->Delete();
    PrintFarewell();
  }
  catch (const char* message)
  {
    std::cerr << message << std::endl;
    return 1;
  }
  catch (const std::exception& failure)
  {
    std::cerr << failure.what() << std::endl;
    return 1;
  }
  return 0;
}
