/**
 * @class   vtkGLTFFaceReader
 * @brief   reads the first mesh of a glTF file (.glb or .gltf) as polydata, at rest
 *
 * vtkGLTFFaceReader wraps vtkGLTFReader for a pipeline that wants one mesh: its output is the
 * first mesh of the file's default scene, with the node transforms applied and every morph target
 * at its default weight, and no animation. The mesh's normals (the glTF NORMAL attribute) are the
 * output's normals and its first texture coordinates its texture coordinates. Coordinates are
 * taken as the file holds them: glTF's Y is up.
 *
 * @warning
 * The file is read only when every buffer and image uri it holds is a data: uri or names a regular
 * file inside the file's own folder (see gltf_uri.h); otherwise the read fails with an error that
 * quotes the uri, before any file it names is opened.
 *
 * @sa
 * vtkGLTFReader
 */
#ifndef vtkGLTFFaceReader_h
#define vtkGLTFFaceReader_h

#include <vtkPolyDataAlgorithm.h>

class vtkGLTFFaceReader : public vtkPolyDataAlgorithm
{
public:
  static vtkGLTFFaceReader* New();
  vtkTypeMacro(vtkGLTFFaceReader, vtkPolyDataAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * The glTF file to read. None by default.
   */
  vtkSetStringMacro(FileName);
  vtkGetStringMacro(FileName);

protected:
  vtkGLTFFaceReader();
  ~vtkGLTFFaceReader() override;

  int RequestData(vtkInformation* request,
                  vtkInformationVector** inputVector,
                  vtkInformationVector* outputVector) override;

  char* FileName;

private:
  vtkGLTFFaceReader(const vtkGLTFFaceReader&) = delete;
  void operator=(const vtkGLTFFaceReader&) = delete;
};

#endif
