#include "movie.h"

#include "program_error.h"

#include <vtkImageData.h>
#include <vtkRenderWindow.h>
#include <vtkWindowToImageFilter.h>

#include <cstring>
#include <stdexcept>

namespace
{
// Releases the encoder and the capture; the file stays.
void Close(MovieRecording& movie)
{
  movie.Encoder.reset();
  if (movie.Capture)
  {
    movie.Capture->Delete();
    movie.Capture = nullptr;
  }
}

[[noreturn]] void Fail(MovieRecording& movie, const std::string& what, const std::string& reason)
{
  const std::string path = movie.Path;
  DiscardMovie(movie);
  throw program_error("Cannot " + what + " the video " + path + ": " + reason);
}
}

MovieRecording StartMovie(vtkRenderWindow* window, const std::string& path, int framesPerSecond)
{
  MovieRecording movie;
  if (path.empty())
  {
    return movie;
  }
  const VideoFormat* format = FindVideoFormat(path);
  if (!format)
  {
    throw program_error("The video " + path + " must end in " + VideoFormatChoices());
  }
  movie.Path = path;
  // The temporary file is made now, so that a folder that takes no file is
  // named before any frame is made.
  movie.Temporary = CreateTemporaryFile(path);
  const int* size = window->GetSize();
  try
  {
    movie.Encoder =
      OpenVideoEncoder(movie.Temporary.Descriptor, *format, size[0], size[1], framesPerSecond);
  }
  catch (const std::runtime_error& failure)
  {
    Fail(movie, "write", failure.what());
  }
  movie.Capture = vtkWindowToImageFilter::New();
  movie.Capture->SetInput(window);
  movie.Capture->ShouldRerenderOff();
  return movie;
}

void AddMovieFrame(MovieRecording& movie)
{
  if (!movie.Encoder)
  {
    return;
  }
  movie.Capture->Modified();
  movie.Capture->Update();
  vtkImageData* image = movie.Capture->GetOutput();
  const int* size = image->GetDimensions();
  if (size[0] != movie.Encoder->GetWidth() || size[1] != movie.Encoder->GetHeight() ||
      image->GetNumberOfScalarComponents() != 3)
  {
    Fail(movie, "write a frame into", "the window's picture changed its size");
  }
  try
  {
    movie.Encoder->AddFrame(static_cast<const unsigned char*>(image->GetScalarPointer()));
  }
  catch (const std::runtime_error& failure)
  {
    Fail(movie, "write a frame into", failure.what());
  }
}

void FinishMovie(MovieRecording& movie)
{
  if (!movie.Encoder)
  {
    return;
  }
  try
  {
    movie.Encoder->Finish();
  }
  catch (const std::runtime_error& failure)
  {
    Fail(movie, "complete", failure.what());
  }
  Close(movie);
  if (const int error = CommitTemporaryFile(movie.Temporary, movie.Path))
  {
    Fail(movie, "complete", std::strerror(error));
  }
  movie.Path.clear();
}

void DiscardMovie(MovieRecording& movie)
{
  if (movie.Path.empty())
  {
    return;
  }
  Close(movie);
  DiscardTemporaryFile(movie.Temporary);
}
