// Binary glTF 2.0 (.glb) of an animated scene: triangle meshes, the morph
// targets of the first mesh and one animation of their weights, a camera.
//
// The file is one JSON chunk and one binary chunk. Every array of the meshes,
// the targets, the animation and the images is a buffer view of the binary
// chunk, 4-byte aligned, read through an accessor of 32-bit floats (indices:
// 32-bit unsigned integers). Coordinates are taken as given: the caller
// converts them to glTF's frame (Y up, metres by convention).
#ifndef gltf_writer_h
#define gltf_writer_h

#include <cstdint>
#include <string>
#include <vector>

struct GltfMesh
{
  std::string Name;
  std::vector<float> Positions;         // 3 per vertex
  std::vector<float> Normals;           // 3 per vertex, unit length, or empty
  std::vector<float> Colours;           // RGB in 0..1, 3 per vertex, or empty
  std::vector<float> TexCoords;         // u, v per vertex (v down the image), or empty
  std::vector<std::uint32_t> Triangles; // 3 vertex indices per triangle
  float BaseColour[4] = { 1.0f, 1.0f, 1.0f, 1.0f };
  std::vector<unsigned char> Png; // the base colour texture as a PNG file, or empty

  // Morph targets: position differences (3 per vertex) and, when the mesh
  // has normals, normal differences; one name per target.
  std::vector<std::string> TargetNames;
  std::vector<std::vector<float>> TargetPositions;
  std::vector<std::vector<float>> TargetNormals;
};

struct GltfCamera
{
  double Translation[3];
  double Rotation[4]; // unit quaternion x, y, z, w: the camera looks along its -z, up its +y
  double YFov;        // vertical field of view, radians
  double AspectRatio; // width / height
  double ZNear;
  double ZFar;
};

// The weights of the first mesh's targets over time: Times (seconds,
// increasing) and, for each time, one weight per target.
struct GltfWeights
{
  std::vector<float> Times;
  std::vector<float> Weights;
};

// The bytes of a .glb file with the meshes (one node each, the first one
// animated by weights, linear between the times), the camera's node and one
// scene of them all.
std::string GlbBytes(const std::vector<GltfMesh>& meshes,
                     const GltfCamera& camera,
                     const GltfWeights& animation);

#endif
