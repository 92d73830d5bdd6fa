/**
 * @class   vtkGLTFFaceReader
 * @brief   reads every mesh of a glTF file (.glb or .gltf) as one polydata, at rest
 *
 * vtkGLTFFaceReader gives a pipeline that wants one mesh the whole of a glTF file's default
 * scene: every primitive of every mesh that a node of the scene places, with the node
 * transforms applied and every morph target at its default weight, and no animation. The
 * primitives follow one another in the output in the order of the scene's nodes (depth first)
 * and of the meshes' primitives, each with points of its own, so that the file can be written
 * back part by part.
 *
 * The output's normals are the glTF NORMAL attribute (smooth normals for a primitive without it,
 * when another has it), its texture coordinates TEXCOORD_0 (with t = 1 - v: the toolkit's images
 * start at the bottom row, glTF's at the top), its colours COLOR_0 as RGB bytes. The parts, their
 * materials (base colour, double-sided) and the base colour textures (PNG files) are in the arrays
 * face_parts.h describes. Coordinates are taken as the file holds them: glTF's Y is up.
 *
 * @warning
 * Skins are not applied, and only base colour textures read through TEXCOORD_0 are kept.
 *
 * @warning
 * The file is read only when every buffer and image uri it holds is a data: uri or names a regular
 * file inside the file's own folder (see gltf_uri.h); otherwise the read fails with an error that
 * quotes the uri, before any file it names is opened.
 *
 * @sa
 * vtkGLTFDocumentLoader vtkGLTFReader
 */
#ifndef vtkGLTFFaceReader_h
#define vtkGLTFFaceReader_h

#include <vtkAbstractPolyDataReader.h>

class vtkGLTFFaceReader : public vtkAbstractPolyDataReader
{
public:
  static vtkGLTFFaceReader* New();
  vtkTypeMacro(vtkGLTFFaceReader, vtkAbstractPolyDataReader);

protected:
  vtkGLTFFaceReader() = default;
  ~vtkGLTFFaceReader() override = default;

  int RequestData(vtkInformation* request,
                  vtkInformationVector** inputVector,
                  vtkInformationVector* outputVector) override;

private:
  vtkGLTFFaceReader(const vtkGLTFFaceReader&) = delete;
  void operator=(const vtkGLTFFaceReader&) = delete;
};

#endif
