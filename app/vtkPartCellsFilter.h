/**
 * @class   vtkPartCellsFilter
 * @brief   keeps the polygons and strips of chosen parts of a mesh, with all its points
 *
 * vtkPartCellsFilter passes its input's points and point data on unchanged (the same
 * objects, so that a deforming input costs no copy) and keeps those of its polygons and
 * triangle strips whose part, in the cell data array "PartIds" (face_parts.h), is one of
 * the chosen ones. A renderer draws a mesh of several materials with one of these per
 * material. Vertices and lines are left out; without "PartIds" every cell is of part 0.
 */
#ifndef vtkPartCellsFilter_h
#define vtkPartCellsFilter_h

#include <vtkPolyDataAlgorithm.h>

#include <vector>

class vtkPartCellsFilter : public vtkPolyDataAlgorithm
{
public:
  static vtkPartCellsFilter* New();
  vtkTypeMacro(vtkPartCellsFilter, vtkPolyDataAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * The parts to keep: part p is kept when p < Parts.size() and Parts[p]. None by default.
   */
  void SetParts(const std::vector<bool>& parts);

protected:
  vtkPartCellsFilter() = default;
  ~vtkPartCellsFilter() override = default;

  int RequestData(vtkInformation* request,
                  vtkInformationVector** inputVector,
                  vtkInformationVector* outputVector) override;

  std::vector<bool> Parts;

private:
  vtkPartCellsFilter(const vtkPartCellsFilter&) = delete;
  void operator=(const vtkPartCellsFilter&) = delete;
};

#endif
