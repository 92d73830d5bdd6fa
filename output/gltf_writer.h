// Binary glTF 2.0 (.glb) of an animated scene: triangle meshes of one or more
// primitives, each with a material, the morph targets of the meshes that
// have them and one animation of their weights, and a camera.
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

struct GltfMaterial
{
  std::string Name;
  float BaseColour[4] = { 1.0f, 1.0f, 1.0f, 1.0f };
  std::vector<unsigned char> Png; // the base colour texture as a PNG file, or empty
  bool DoubleSided = true;
};

// One draw of a mesh: vertices of its own, their triangles and a material.
struct GltfPrimitive
{
  std::vector<float> Positions;         // 3 per vertex
  std::vector<float> Normals;           // 3 per vertex, unit length, or empty
  std::vector<float> Colours;           // RGB in 0..1, 3 per vertex, or empty
  std::vector<float> TexCoords;         // u, v per vertex (v down the image), or empty
  std::vector<std::uint32_t> Triangles; // 3 vertex indices per triangle
  int Material = 0;                     // index into the materials

  // Morph targets, one per name of the mesh's TargetNames: position
  // differences (3 per vertex) and, when the primitive has normals, normal
  // differences.
  std::vector<std::vector<float>> TargetPositions;
  std::vector<std::vector<float>> TargetNormals;
};

struct GltfMesh
{
  std::string Name;
  std::vector<GltfPrimitive> Primitives;
  std::vector<std::string> TargetNames; // empty for a mesh without morph targets
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

// The weights of the meshes' targets over time: Times (seconds, increasing)
// and, for each time, one weight per target. Every mesh with targets has the
// same ones and follows these weights.
struct GltfWeights
{
  std::vector<float> Times;
  std::vector<float> Weights;
};

// The bytes of a .glb file with the meshes (one node each; those with
// targets animated by weights, linear between the times, when there are
// times), their materials, the camera's node when camera is not null, and
// one scene of them all.
std::string GlbBytes(const std::vector<GltfMesh>& meshes,
                     const std::vector<GltfMaterial>& materials,
                     const GltfCamera* camera,
                     const GltfWeights& animation);

#endif
