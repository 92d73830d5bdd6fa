// scene_files - images, meshes and scene description of the demo folder.
//
// The images are built from value noise: random values at integer lattice
// points, drawn from an integer hash of the lattice index (so that any point
// can be evaluated on its own, in any order), joined by smoothstep
// interpolation. Summing a few octaves gives the irregular but smooth
// variation of the hair strands.

#include "scene_files.h"

#include "expression.h"
#include "head_mesh.h"

#include <vtkBMPWriter.h>
#include <vtkNew.h>
#include <vtkPolyDataWriter.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>

namespace demo
{

const int kDemoPoints = 40000;

namespace
{

const int kTextureSize = 256;
const int kBackdropSize = 512;
// Part of the backdrop's width and height that the program's window shows.
const double kBackdropVisible = 1.0 / 2.5;
// One sweep of the expression, and three sweeps: rise, fall and rise again,
// so the run ends near the full expression.
const int kFramesNumber = 40;
const int kLoopCount = 3;
const double kBackgroundColour[3] = { 0.16, 0.18, 0.24 };
const double kPi = 3.14159265358979323846;

// Hash of an integer to [0, 1), the lattice values of the noise.
double lattice(std::uint32_t i, std::uint32_t seed)
{
  std::uint32_t h = i * 0x9E3779B1u ^ seed * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return (h & 0xFFFFFFu) / 16777216.0;
}

// One-dimensional value noise in [0, 1), smooth between lattice points.
double noise(double x, std::uint32_t seed)
{
  double cell = std::floor(x);
  double t = x - cell;
  t = t * t * (3.0 - 2.0 * t);
  std::uint32_t i = static_cast<std::uint32_t>(static_cast<std::int64_t>(cell) & 0xFFFFFFFF);
  return lattice(i, seed) + t * (lattice(i + 1u, seed) - lattice(i, seed));
}

vtkSmartPointer<vtkImageData> rgb_image(int width, int height)
{
  vtkNew<vtkImageData> image;
  image->SetDimensions(width, height, 1);
  image->AllocateScalars(VTK_UNSIGNED_CHAR, 3);
  return image;
}

void put(vtkImageData* image, int x, int y, const double rgb[3])
{
  unsigned char* pixel = static_cast<unsigned char*>(image->GetScalarPointer(x, y, 0));
  for (int c = 0; c < 3; ++c)
  {
    pixel[c] = static_cast<unsigned char>(std::floor(255.0 * std::min(1.0, std::max(0.0, rgb[c]))));
  }
}

bool write_image(vtkImageData* image, const std::string& path)
{
  vtkNew<vtkBMPWriter> writer;
  writer->SetInputData(image);
  writer->SetFileName(path.c_str());
  writer->Write();
  return writer->GetErrorCode() == 0;
}

bool write_mesh(vtkPolyData* mesh, const std::string& path, const char* header)
{
  vtkNew<vtkPolyDataWriter> writer;
  writer->SetInputData(mesh);
  writer->SetFileName(path.c_str());
  writer->SetHeader(header);
  writer->SetFileTypeToBinary();
  writer->SetFileVersion(vtkPolyDataWriter::VTK_LEGACY_READER_VERSION_4_2);
  return writer->Write() == 1;
}

void write_pair(std::FILE* file, const ControlPair& pair)
{
  std::fprintf(file,
               "%.6f %.6f %.6f %.6f %.6f %.6f\n",
               pair.Source[0],
               pair.Source[1],
               pair.Source[2],
               pair.Target[0],
               pair.Target[1],
               pair.Target[2]);
}

bool write_scene_file(const std::string& path,
                      const SceneOptions& options,
                      const std::vector<ControlPair>& pairs,
                      double spacing)
{
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file)
  {
    return false;
  }
  size_t moving = 0;
  for (const ControlPair& pair : pairs)
  {
    moving += pair.Part != FacePart::Anchor;
  }
  std::fprintf(file,
               "# woman.ptt - scene description of the demo animation.\n"
               "# Written by make_demo_scene; run the animation program in this folder.\n"
               "#\n"
               "# A line is a setting when it starts with a keyword, a control point\n"
               "# when it holds six numbers; every other line is a comment.\n");
  if (options.Timeline)
  {
    std::fprintf(file,
                 "#\n"
                 "# Two expressions: default, the smile of the control points below,\n"
                 "# and frown, whose pairs frown.txt holds on the same sources. Each Key\n"
                 "# line sets weights at a frame; between keys they change linearly.\n"
                 "# The face smiles, turns to the frown, and comes back to rest.\n"
                 "Expression frown frown.txt\n"
                 "Key 0 default 0 frown 0\n"
                 "Key 30 default 1\n"
                 "Key 45 default 1 frown 0\n"
                 "Key 75 default 0 frown 1\n"
                 "Key 90 frown 0\n");
  }
  else
  {
    std::fprintf(file,
                 "#\n"
                 "# The face moves from its own shape towards the expression and back,\n"
                 "# FramesNumber frames a sweep, over FramesNumber * LoopCount frames.\n"
                 "FramesNumber %d\n"
                 "LoopCount %d\n",
                 kFramesNumber,
                 kLoopCount);
  }
  std::fprintf(file,
               "#\n"
               "# Images (BMP): the hair texture and the backdrop behind the head.\n"
               "Texture hair.bmp\n"
               "BackgroundImage background.bmp\n"
               "#\n"
               "# Window size in pixels and the window colour (red green blue, 0 to 1).\n"
               "WindowSize 300 300\n"
               "BackgroundColor %.6f %.6f %.6f\n",
               kBackgroundColour[0],
               kBackgroundColour[1],
               kBackgroundColour[2]);
  if (options.SaveImages)
  {
    std::fprintf(file,
                 "#\n"
                 "# Save every frame as imageNNNN.bmp.\n"
                 "SaveImages yes\n");
  }
  std::fprintf(file,
               "#\n"
               "# Control points: source x y z, then target x y z (scene units). The\n"
               "# sources are vertices of woman.vtk; each target is where that vertex\n"
               "# goes at the full expression. The deformation reaches 0.5 units from\n"
               "# each source. Anchors have the target equal to the source: they hold\n"
               "# the rest of the head still and let the movement fade out smoothly.\n"
               "# %d moving pairs, %d anchors, at least %.3f units apart.\n",
               static_cast<int>(moving),
               static_cast<int>(pairs.size() - moving),
               std::floor(spacing * 1000.0) / 1000.0);
  FacePart part = FacePart::Anchor;
  for (size_t i = 0; i < pairs.size(); ++i)
  {
    if (i == 0 || pairs[i].Part != part)
    {
      part = pairs[i].Part;
      std::fprintf(file, "#\n# Control points: %s.\n", face_part_name(part));
    }
    write_pair(file, pairs[i]);
  }
  return std::fclose(file) == 0;
}

// The frown: the smile's brows, cheeks and mouth moved half as far the other
// way, on the same sources, so that both expressions share one factorisation; the jaw
// and the anchors stay.
bool write_frown(const std::string& path, const std::vector<ControlPair>& pairs)
{
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file)
  {
    return false;
  }
  std::fprintf(file,
               "# frown.txt - the demo's second expression, written by make_demo_scene:\n"
               "# source x y z, then target x y z, on the sources of woman.ptt.\n");
  for (ControlPair pair : pairs)
  {
    // Reversed in full the lips would press into each other: half of the
    // smile, the other way.
    const double reversed =
      pair.Part == FacePart::Brows || pair.Part == FacePart::Cheeks || pair.Part == FacePart::Mouth
        ? -0.5
        : 0.0;
    for (int a = 0; a < 3; ++a)
    {
      pair.Target[a] = pair.Source[a] + reversed * (pair.Target[a] - pair.Source[a]);
    }
    write_pair(file, pair);
  }
  return std::fclose(file) == 0;
}

} // namespace

vtkSmartPointer<vtkImageData> make_hair_texture()
{
  vtkSmartPointer<vtkImageData> image = rgb_image(kTextureSize, kTextureSize);
  const double dark[3] = { 0.2, 0.12, 0.07 };
  const double light[3] = { 0.58, 0.4, 0.25 };
  for (int y = 0; y < kTextureSize; ++y)
  {
    double v = static_cast<double>(y) / kTextureSize;
    for (int x = 0; x < kTextureSize; ++x)
    {
      // Strands run along y; they wave gently and thin out and join as they
      // go, through the slow noise in the position across them.
      double u = x + 2.5 * std::sin(2.0 * kPi * (2.0 * v + noise(x / 40.0, 7u))) +
                 6.0 * (noise(v * 3.0 + x / 90.0, 11u) - 0.5);
      double strand =
        0.45 * noise(u / 1.5, 1u) + 0.3 * noise(u / 5.0, 2u) + 0.25 * noise(u / 17.0, 3u);
      // Short breaks along each strand, and a band of sheen.
      strand *= 0.85 + 0.15 * noise(v * 40.0 + 13.0 * noise(u / 2.0, 4u), 5u);
      double sheen = std::exp(-std::pow((v - 0.68) / 0.08, 2.0));
      double t = std::min(1.0, strand * (0.9 + 0.5 * sheen));
      double rgb[3];
      for (int c = 0; c < 3; ++c)
      {
        rgb[c] = dark[c] + t * (light[c] - dark[c]);
      }
      put(image, x, y, rgb);
    }
  }
  return image;
}

vtkSmartPointer<vtkImageData> make_backdrop()
{
  vtkSmartPointer<vtkImageData> image = rgb_image(kBackdropSize, kBackdropSize);
  const double top[3] = { 0.5, 0.56, 0.64 };
  const double bottom[3] = { 0.12, 0.14, 0.19 };
  const double glow[3] = { 0.72, 0.74, 0.76 };
  // 4 x 4 ordered dither, below one grey level, against banding.
  const int bayer[4][4] = { { 0, 8, 2, 10 }, { 12, 4, 14, 6 }, { 3, 11, 1, 9 }, { 15, 7, 13, 5 } };
  for (int y = 0; y < kBackdropSize; ++y)
  {
    // The program shows the middle of the image (its backdrop camera is
    // moved 2.5 times closer), so the layout is measured in units of that
    // visible part: v runs from -1 at its bottom edge to 1 at its top.
    double v = ((y + 0.5) / kBackdropSize - 0.5) / kBackdropVisible;
    double fall = std::min(1.0, std::max(0.0, 0.5 + 0.5 * v));
    fall = fall * fall * (3.0 - 2.0 * fall);
    for (int x = 0; x < kBackdropSize; ++x)
    {
      double u = ((x + 0.5) / kBackdropSize - 0.5) / kBackdropVisible;
      double rgb[3];
      // A soft light on the backdrop behind the head, darker corners.
      double light = 0.4 * std::exp(-(u * u / 0.5 + (v - 0.25) * (v - 0.25) / 0.6));
      double corner = 0.12 * std::pow(0.5 * (u * u + v * v), 1.5);
      double dither = (bayer[y & 3][x & 3] + 0.5) / 16.0 / 255.0;
      for (int c = 0; c < 3; ++c)
      {
        rgb[c] = bottom[c] + fall * (top[c] - bottom[c]);
        rgb[c] = (rgb[c] + light * (glow[c] - rgb[c])) * std::max(0.0, 1.0 - corner) + dither;
      }
      put(image, x, y, rgb);
    }
  }
  return image;
}

bool write_demo_scene(const SceneOptions& options)
{
  std::error_code error;
  std::filesystem::create_directories(options.Folder, error);
  if (error)
  {
    std::cerr << "Cannot create the folder " << options.Folder << ": " << error.message() << "\n";
    return false;
  }
  const std::string folder = options.Folder + "/";

  vtkSmartPointer<vtkPolyData> face = make_face_mesh(options.FacePoints);
  std::vector<ControlPair> pairs;
  double spacing = 0.0;
  if (options.Controls > 0)
  {
    pairs = place_spread_controls(face, options.Controls, &spacing);
    if (pairs.empty())
    {
      std::cerr << "The face mesh of " << face->GetNumberOfPoints() << " points cannot hold "
                << options.Controls << " control points.\n";
      return false;
    }
  }
  else
  {
    pairs = place_expression_controls(face, &spacing);
  }

  bool written =
    write_mesh(face, folder + "woman.vtk", "Demo face made by make_demo_scene") &&
    write_mesh(make_hair_mesh(), folder + "hair.vtk", "Demo hair made by make_demo_scene") &&
    write_image(make_hair_texture(), folder + "hair.bmp") &&
    write_image(make_backdrop(), folder + "background.bmp") &&
    write_scene_file(folder + "woman.ptt", options, pairs, spacing) &&
    (!options.Timeline || write_frown(folder + "frown.txt", pairs));
  if (!written)
  {
    std::cerr << "Cannot write the scene files into " << options.Folder << "\n";
  }
  return written;
}

} // namespace demo
