// The video of the run: every rendered frame, in order, into an Ogg Theora
// file written with the toolkit's vtkOggTheoraWriter.
#ifndef movie_h
#define movie_h

#include "atomic_write.h"

#include <string>

class vtkOggTheoraWriter;
class vtkRenderWindow;
class vtkWindowToImageFilter;

struct MovieRecording
{
  vtkWindowToImageFilter* Capture = nullptr; // null when no video is written
  vtkOggTheoraWriter* Writer = nullptr;
  std::string Path;        // the video's name
  TemporaryFile Temporary; // the file written until it is renamed to Path
};

// Opens the video path at framesPerSecond for what window shows; an empty
// path gives a recording that takes no frames. Throws std::runtime_error
// naming the file when it cannot be opened.
MovieRecording StartMovie(vtkRenderWindow* window, const std::string& path, int framesPerSecond);

// Appends the frame that the window has just rendered. Throws
// std::runtime_error naming the file when the frame cannot be written.
void AddMovieFrame(MovieRecording& movie);

// Ends the stream so that the video plays, renames it from its temporary name
// onto its own and releases the recording. Throws std::runtime_error when
// the rename fails; the temporary file is removed then.
void FinishMovie(MovieRecording& movie);

// The failure path: releases the recording and removes the temporary file.
void DiscardMovie(MovieRecording& movie);

#endif
