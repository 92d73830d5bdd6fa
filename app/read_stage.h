// Reading stage: the scene description file into a vtkDatReader.
#ifndef read_stage_h
#define read_stage_h

class vtkDatReader;

// Reads "woman.ptt" from the working directory with the support radius 0.5.
// Throws "Very-very bad!" when the reader fails; the reader has already told
// why through its error trace.
vtkDatReader* ReadScene();

#endif
