// Test support: a rendered frame against a reference image, within a
// tolerance. The rasteriser may draw an edge pixel or a shade a little
// differently from one Mesa release to the next; what the tests pin is the
// picture: how many pixels differ by more than a few levels of colour.
#ifndef image_compare_h
#define image_compare_h

#include "test_scene.h"

#include <string>

struct ImageDifference
{
  bool SameSize = false;
  int Largest = 0;        // largest difference of one colour channel, 0 to 255
  double Differing = 1.0; // fraction of the pixels that differ by more than the tolerance
};

// Compares two images pixel by pixel: a pixel differs when one of its
// channels differs by more than tolerance levels.
ImageDifference CompareImages(const RgbImage& image, const RgbImage& reference, int tolerance);

// A PNG file as the toolkit reads it; empty when it cannot be read.
RgbImage ReadPng(const std::string& path);

// Writes image as a PNG file, for a new reference image to be inspected.
void WritePng(const RgbImage& image, const std::string& path);

#endif
