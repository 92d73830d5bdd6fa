// Outputs hold finite numbers only. An infinity or a NaN makes a mesh file
// that its own readers refuse, and a glTF file that no JSON parser accepts;
// the output that would hold one is refused whole instead.
#ifndef finite_output_h
#define finite_output_h

#include <string>
#include <vector>

struct GltfCamera;
struct GltfMaterial;
struct GltfMesh;
struct GltfWeights;
class vtkPolyData;

// The first part of mesh that holds a number that is not finite: "its
// points", "its point array NAME" or "its cell array NAME" (floating-point
// arrays); empty when every number is finite.
std::string NonFinitePartOf(vtkPolyData* mesh);

// The first part of a glTF scene that holds a number that is not finite:
// "the positions of mesh NAME" (or its normals, colours, texture coordinates,
// target NAME's positions or normals), "the base colour of material NAME",
// "the camera" (when camera is not null) or "the animation"; empty when every
// number is finite.
std::string NonFinitePartOf(const std::vector<GltfMesh>& meshes,
                            const std::vector<GltfMaterial>& materials,
                            const GltfCamera* camera,
                            const GltfWeights& animation);

// Throws program_error "Cannot write ROLE: a number in PART is not finite
// (an infinity or a NaN); nothing was written" when part is not empty.
void RefuseNonFinite(const std::string& role, const std::string& part);

#endif
