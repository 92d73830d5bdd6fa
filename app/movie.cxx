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
std::string PartialName(const MovieRecording& movie)
{
  return movie.Path + ".partial";
}

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
  // The writer opens its file at the first frame; a folder that takes no
  // file is named now, before any frame is made.
  std::FILE* probe = std::fopen(PartialName(movie).c_str(), "wb");
  if (!probe)
  {
    throw std::runtime_error("Cannot write the video " + path + ": " + std::strerror(errno));
  }
  std::fclose(probe);
  movie.Capture = vtkWindowToImageFilter::New();
  movie.Capture->SetInput(window);
  movie.Capture->ShouldRerenderOff();
  movie.Writer = vtkOggTheoraWriter::New();
  movie.Writer->SetInputConnection(movie.Capture->GetOutputPort());
  movie.Writer->SetFileName(PartialName(movie).c_str());
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
  if (std::rename(PartialName(movie).c_str(), movie.Path.c_str()) != 0)
  {
    Fail(movie, "complete");
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
