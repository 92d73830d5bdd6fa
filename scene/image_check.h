// The texture and background images that the scene file names, checked
// before the toolkit reads them. The toolkit's BMP reader goes on after it
// finds that a file is not a BMP image, and then crashes; it also believes a
// header that announces more pixels than the file holds.
#ifndef image_check_h
#define image_check_h

#include <string>

class vtkAlgorithm;

// Largest texture or background image width or height accepted, in pixels.
constexpr int MaximumImageSide = 16384;

// Reads the image of source, a vtkBMPReader with its file name set, when the
// file is a whole 8- or 24-bit BMP image of 1 to MaximumImageSide pixels a
// side, and returns true when the toolkit then read it without error.
// Otherwise returns false with the reason, which names the file, in why.
bool ReadCheckedImage(vtkAlgorithm* source, std::string& why);

#endif
