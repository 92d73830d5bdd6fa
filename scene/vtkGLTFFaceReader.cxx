#include "vtkGLTFFaceReader.h"

#include "gltf_uri.h"

#include <vtkDataObjectTreeIterator.h>
#include <vtkGLTFReader.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkMultiBlockDataSet.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

vtkStandardNewMacro(vtkGLTFFaceReader);

vtkGLTFFaceReader::vtkGLTFFaceReader()
  : FileName(nullptr)
{
  this->SetNumberOfInputPorts(0);
}

vtkGLTFFaceReader::~vtkGLTFFaceReader()
{
  this->SetFileName(nullptr);
}

int vtkGLTFFaceReader::RequestData(vtkInformation*,
                                   vtkInformationVector**,
                                   vtkInformationVector* outputVector)
{
  vtkPolyData* output = vtkPolyData::GetData(outputVector);
  std::string why = "no file name is set";
  if (!this->FileName || !GltfUrisResolve(this->FileName, why))
  {
    vtkErrorMacro(<< why);
    return 0;
  }
  vtkNew<vtkGLTFReader> reader;
  reader->SetFileName(this->FileName);
  reader->Update();
  auto iterator =
    vtkSmartPointer<vtkDataObjectTreeIterator>::Take(reader->GetOutput()->NewTreeIterator());
  for (iterator->InitTraversal(); !iterator->IsDoneWithTraversal(); iterator->GoToNextItem())
  {
    vtkPolyData* mesh = vtkPolyData::SafeDownCast(iterator->GetCurrentDataObject());
    if (mesh && mesh->GetNumberOfPoints() > 0)
    {
      output->CopyStructure(mesh);
      vtkPointData* data = output->GetPointData();
      data->PassData(mesh->GetPointData());
      if (vtkDataArray* normals = data->GetArray("NORMAL"))
      {
        data->SetNormals(normals);
      }
      if (vtkDataArray* tcoords = data->GetArray("TEXCOORD_0"))
      {
        data->SetTCoords(tcoords);
      }
      return 1;
    }
  }
  vtkErrorMacro(<< "No mesh in " << (this->FileName ? this->FileName : "(no file name)"));
  return 0;
}

void vtkGLTFFaceReader::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "FileName: " << (this->FileName ? this->FileName : "(none)") << "\n";
}
