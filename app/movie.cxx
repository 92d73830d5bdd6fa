#include "movie.h"

#include <vtkImageData.h>
#include <vtkRenderWindow.h>
#include <vtkWindowToImageFilter.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace
{
std::string PartialName(const MovieRecording& movie)
{
  return movie.Path + ".partial";
}

// Releases the encoder, the capture and the file descriptor; the file
// stays. Returns the errno of a failed close, or 0.
int Close(MovieRecording& movie)
{
  movie.Encoder.reset();
  if (movie.Capture)
  {
    movie.Capture->Delete();
    movie.Capture = nullptr;
  }
  int error = 0;
  if (movie.Descriptor >= 0 && close(movie.Descriptor) != 0)
  {
    error = errno;
  }
  movie.Descriptor = -1;
  return error;
}

[[noreturn]] void Fail(MovieRecording& movie, const std::string& what, const std::string& reason)
{
  const std::string path = movie.Path;
  DiscardMovie(movie);
  throw std::runtime_error("Cannot " + what + " the video " + path + ": " + reason);
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
    throw std::runtime_error("The video " + path + " must end in " + VideoFormatChoices());
  }
  movie.Path = path;
  // Open for reading too: the MP4 muxer reads back what it wrote to move its
  // index to the front.
  movie.Descriptor = open(PartialName(movie).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (movie.Descriptor < 0)
  {
    throw std::runtime_error("Cannot write the video " + path + ": " + std::strerror(errno));
  }
  const int* size = window->GetSize();
  try
  {
    movie.Encoder = OpenVideoEncoder(movie.Descriptor, *format, size[0], size[1], framesPerSecond);
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
  // Writes that the file system accepted but could not store yet fail here.
  if (fsync(movie.Descriptor) != 0)
  {
    Fail(movie, "complete", std::strerror(errno));
  }
  if (const int error = Close(movie))
  {
    Fail(movie, "complete", std::strerror(error));
  }
  if (std::rename(PartialName(movie).c_str(), movie.Path.c_str()) != 0)
  {
    Fail(movie, "complete", std::strerror(errno));
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
  std::remove(PartialName(movie).c_str());
}
