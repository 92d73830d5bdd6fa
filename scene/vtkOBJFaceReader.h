/**
 * @class   vtkOBJFaceReader
 * @brief   reads a Wavefront OBJ file as vtkOBJReader does, with its materials and textures
 *
 * vtkOBJReader gives an OBJ file's polygons with the material of each ("MaterialIds") and the
 * names of the materials and of the material libraries (.mtl files) it uses, but does not read
 * those libraries. This reader does: for every material the file uses it takes the diffuse
 * colour (Kd), the opacity (d, or 1 - Tr) and the diffuse texture (map_Kd, read by the
 * toolkit's image reader of its extension and kept as a PNG file), and stores them with one
 * part per material in the arrays face_parts.h describes. The texture coordinates, which
 * vtkOBJReader gives one array per material, become one: each point takes those of the first
 * material that uses it. Libraries and images are looked for in the OBJ file's folder (relative
 * names without "..", regular files only).
 *
 * A file without material libraries, or whose libraries cannot be read, is read as
 * vtkOBJReader reads it.
 *
 * @sa
 * vtkOBJReader
 */
#ifndef vtkOBJFaceReader_h
#define vtkOBJFaceReader_h

#include <vtkAbstractPolyDataReader.h>

class vtkOBJFaceReader : public vtkAbstractPolyDataReader
{
public:
  static vtkOBJFaceReader* New();
  vtkTypeMacro(vtkOBJFaceReader, vtkAbstractPolyDataReader);

protected:
  vtkOBJFaceReader() = default;
  ~vtkOBJFaceReader() override = default;

  int RequestData(vtkInformation* request,
                  vtkInformationVector** inputVector,
                  vtkInformationVector* outputVector) override;

private:
  vtkOBJFaceReader(const vtkOBJFaceReader&) = delete;
  void operator=(const vtkOBJFaceReader&) = delete;
};

#endif
