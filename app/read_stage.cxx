#include "read_stage.h"

#include "vtkDatReader.h"

vtkDatReader* ReadScene()
{
  vtkDatReader* reader = vtkDatReader::New();
  reader->FileName = "woman.ptt";
  // The ordering uses the radius held at read time, so it is set first.
  reader->SetRadius(0.5);
  if (reader->ReadFile() != 0)
  {
    throw "Very-very bad!";
  }
  return reader;
}
