/**
 * @class   vtkPLYFaceReader
 * @brief   reads a PLY file as vtkPLYReader does, texture coordinates named s and t included
 *
 * vtkPLYReader takes a vertex's texture coordinates from the properties u and v (or texture_u
 * and texture_v). Other tools write them as s and t (or texture_s and texture_t). When a file's
 * vertices have those and not the former, this reader gives vtkPLYReader the file with the
 * two names changed in its header, so that the output has its texture coordinates; any other
 * file is read as it is.
 *
 * @sa
 * vtkPLYReader
 */
#ifndef vtkPLYFaceReader_h
#define vtkPLYFaceReader_h

#include <vtkAbstractPolyDataReader.h>

class vtkPLYFaceReader : public vtkAbstractPolyDataReader
{
public:
  static vtkPLYFaceReader* New();
  vtkTypeMacro(vtkPLYFaceReader, vtkAbstractPolyDataReader);

protected:
  vtkPLYFaceReader() = default;
  ~vtkPLYFaceReader() override = default;

  int RequestData(vtkInformation* request,
                  vtkInformationVector** inputVector,
                  vtkInformationVector* outputVector) override;

private:
  vtkPLYFaceReader(const vtkPLYFaceReader&) = delete;
  void operator=(const vtkPLYFaceReader&) = delete;
};

#endif
