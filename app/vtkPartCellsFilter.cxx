#include "vtkPartCellsFilter.h"

#include "face_parts.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>

vtkStandardNewMacro(vtkPartCellsFilter);

void vtkPartCellsFilter::SetParts(const std::vector<bool>& parts)
{
  if (parts != this->Parts)
  {
    this->Parts = parts;
    this->Modified();
  }
}

int vtkPartCellsFilter::RequestData(vtkInformation*,
                                    vtkInformationVector** inputVector,
                                    vtkInformationVector* outputVector)
{
  vtkPolyData* input = vtkPolyData::GetData(inputVector[0]);
  vtkPolyData* output = vtkPolyData::GetData(outputVector);
  output->SetPoints(input->GetPoints());
  output->GetPointData()->PassData(input->GetPointData());
  // Cell ids run through the vertices and lines first, then the polygons,
  // then the strips.
  vtkIdType cellId = input->GetNumberOfVerts() + input->GetNumberOfLines();
  vtkDataArray* partIds = input->GetCellData()->GetArray(PartIdsName);
  vtkCellArray* kinds[2] = { input->GetPolys(), input->GetStrips() };
  vtkNew<vtkCellArray> kept[2];
  for (int kind = 0; kind < 2; ++kind)
  {
    vtkIdType size;
    const vtkIdType* ids;
    for (kinds[kind]->InitTraversal(); kinds[kind]->GetNextCell(size, ids); ++cellId)
    {
      const double part = partIds ? partIds->GetComponent(cellId, 0) : 0.0;
      if (part >= 0 && part < static_cast<double>(this->Parts.size()) &&
          this->Parts[static_cast<size_t>(part)])
      {
        kept[kind]->InsertNextCell(size, ids);
      }
    }
  }
  output->SetPolys(kept[0]);
  output->SetStrips(kept[1]);
  return 1;
}

void vtkPartCellsFilter::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "Parts:";
  for (size_t p = 0; p < this->Parts.size(); ++p)
  {
    if (this->Parts[p])
    {
      os << " " << p;
    }
  }
  os << "\n";
}
