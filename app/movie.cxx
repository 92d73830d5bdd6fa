#include "movie.h"

#include <vtkOggTheoraWriter.h>
#include <vtkRenderWindow.h>
#include <vtkWindowToImageFilter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace
{
// Ends the stream and releases the toolkit's objects; the file stays.
void Close(MovieRecording& movie)
{
  if (movie.Writer)
  {
    movie.Writer->End();
    movie.Writer->Delete();
    movie.Capture->Delete();
    movie.Writer = nullptr;
    movie.Capture = nullptr;
  }
}

[[noreturn]] void Fail(MovieRecording& movie, const std::string& what)
{
  const std::string path = movie.Path;
  DiscardMovie(movie);
  throw std::runtime_error("Cannot " + what + " the video " + path);
}
}

MovieRecording StartMovie(vtkRenderWindow* window, const std::string& path, int framesPerSecond)
{
  MovieRecording movie;
  if (path.empty())
  {
    return movie;
  }
  movie.Path = path;
  // The temporary file is made now, so that a folder that takes no file is
  // named before any frame is made. The writer opens it through the
  // process's own descriptor, never through a name that could be swapped.
  movie.Temporary = CreateTemporaryFile(path);
  const std::string written = "/proc/self/fd/" + std::to_string(movie.Temporary.Descriptor);
  movie.Capture = vtkWindowToImageFilter::New();
  movie.Capture->SetInput(window);
  movie.Capture->ShouldRerenderOff();
  movie.Writer = vtkOggTheoraWriter::New();
  movie.Writer->SetInputConnection(movie.Capture->GetOutputPort());
  movie.Writer->SetFileName(written.c_str());
  movie.Writer->SetRate(framesPerSecond);
  movie.Writer->Start();
  return movie;
}

void AddMovieFrame(MovieRecording& movie)
{
  if (!movie.Writer)
  {
    return;
  }
  movie.Capture->Modified();
  movie.Writer->Write();
  if (movie.Writer->GetError())
  {
    Fail(movie, "write a frame into");
  }
}

void FinishMovie(MovieRecording& movie)
{
  if (!movie.Writer)
  {
    return;
  }
  Close(movie);
  if (const int error = CommitTemporaryFile(movie.Temporary, movie.Path))
  {
    const std::string path = movie.Path;
    DiscardMovie(movie);
    throw std::runtime_error("Cannot complete the video " + path + ": " + std::strerror(error));
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
