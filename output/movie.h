// The video of the run: every rendered frame, in order, encoded through
// FFmpeg's libraries in the format that the file's extension names (see
// video_format.h): H.264 in MP4, VP9 in WebM or Theora in Ogg.
#ifndef movie_h
#define movie_h

#include "atomic_write.h"
#include "video_encoder.h"

#include <memory>
#include <string>

class vtkRenderWindow;
class vtkWindowToImageFilter;

struct MovieRecording
{
  vtkWindowToImageFilter* Capture = nullptr; // null when no video is written
  std::unique_ptr<VideoEncoder> Encoder;
  std::string Path;        // the video's name
  TemporaryFile Temporary; // the file written until it is renamed to Path
};

// Opens the video path at framesPerSecond for what window shows; an empty
// path gives a recording that takes no frames. Throws program_error
// naming the file when it cannot be opened or its extension names no format.
MovieRecording StartMovie(vtkRenderWindow* window, const std::string& path, int framesPerSecond);

// Appends the frame that the window has just rendered. Throws
// program_error naming the file when the frame cannot be written; the
// temporary file is removed then.
void AddMovieFrame(MovieRecording& movie);

// Ends the stream so that the video plays, renames it from its temporary name
// onto its own and releases the recording. Throws program_error when
// the stream cannot be ended or the rename fails; the temporary file is
// removed then.
void FinishMovie(MovieRecording& movie);

// The failure path: releases the recording and removes the temporary file.
void DiscardMovie(MovieRecording& movie);

#endif
