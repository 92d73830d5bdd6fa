// Test support: a small scene folder that the tests write themselves.
//
// The face is a sphere of radius 1 around the fixed camera's focal point, the
// hair a cap over its top, with a striped texture and a plain background
// image. Control points sit on face vertices: a ring of anchors (source equal
// to target) and a few moving points on the side that faces the camera.
#ifndef test_scene_h
#define test_scene_h

#include <array>
#include <string>
#include <vector>

class vtkImageData;

struct ControlPair
{
  std::array<double, 3> Source;
  std::array<double, 3> Target;
};

struct TestScene
{
  std::vector<ControlPair> Controls;
  std::array<unsigned char, 3> BackgroundImageColour; // RGB of every background pixel
};

// Writes woman.vtk, hair.vtk, hair.bmp, studio.bmp and woman.ptt into folder.
// settings are extra scene-file lines, written before the control points.
TestScene WriteTestScene(const std::string& folder, const std::string& settings);

// One control-point line of a scene file, six decimals per number as a user
// would write them.
std::string ControlLine(const std::array<double, 3>& source, const std::array<double, 3>& target);

struct RgbImage
{
  int Width = 0;
  int Height = 0;
  std::vector<unsigned char> Pixels; // RGB rows, bottom row first

  std::array<int, 3> At(int x, int y) const;
};

// The first three channels of an image of unsigned chars; empty for any
// other image.
RgbImage ImageFromToolkit(vtkImageData* image);

// A BMP file as the toolkit reads it; empty when it cannot be read.
RgbImage ReadBmp(const std::string& path);

// The points of a legacy polydata file, as read by the toolkit.
std::vector<std::array<double, 3>> ReadMeshPoints(const std::string& path);

#endif
