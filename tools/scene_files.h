// scene_files - writes the demo scene folder.
//
// A scene folder holds everything the animation program reads from its
// working directory:
//
//   woman.vtk       face mesh (legacy polydata, binary): triangles, point
//                   normals and skin colours;
//   hair.vtk        hair mesh (legacy polydata, binary): triangles and point
//                   normals; the program maps the texture onto it with a
//                   cylinder;
//   hair.bmp        256 x 256 texture of fine vertical strands in browns;
//   background.bmp  512 x 512 studio backdrop: a soft vertical gradient with a
//                   light patch behind the head and darker corners;
//   woman.ptt       scene description: animation settings, the two images
//                   and the control-point pairs, with comments for the user;
//   frown.txt       with the timeline only: the second expression's pairs.
//
// Every file is computed here from fixed parameters and a fixed seed, so two
// runs with the same options write the same bytes.

#ifndef scene_files_h
#define scene_files_h

#include <vtkImageData.h>
#include <vtkSmartPointer.h>

#include <string>

namespace demo
{

// Face mesh points of the demo scene.
extern const int kDemoPoints;

struct SceneOptions
{
  // Folder to write into; created when missing.
  std::string Folder = "demo";
  // Target number of points of the face mesh.
  int FacePoints = kDemoPoints;
  // 0 for the demo expression; otherwise exactly this many control points
  // spread over the head (benchmark scenes).
  int Controls = 0;
  // Adds "SaveImages yes" to the scene file.
  bool SaveImages = false;
  // Adds a second expression, a frown (frown.txt: the smile's brows, cheeks
  // and mouth moved half as far the other way, on the same sources), and Key
  // lines that play smile, frown and back to rest instead of the triangle
  // wave.
  bool Timeline = false;
};

// Writes the five files of the scene. On failure prints the reason on
// standard error and returns false.
bool write_demo_scene(const SceneOptions& options);

// The two images, as 8-bit RGB image data.
vtkSmartPointer<vtkImageData> make_hair_texture();
vtkSmartPointer<vtkImageData> make_backdrop();

} // namespace demo

#endif
