// The point files an Expression line may name, as 3D Slicer and a
// spreadsheet write them, and the lines they refuse.
#include "expression_files.h"
#include "program_error.h"
#include "scene_file.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
const PointList Expected = { { 1.5f, -2.0f, 3.25f }, { 4.0f, 5.0f, -6.5f } };

TEST(ExpressionFiles, SlicerMarkupsFiducialsAndCsvGiveThePointsAsWritten)
{
  TemporaryFolder folder;
  folder.Write(
    "points.mrk.json",
    R"({"@schema": "https://raw.githubusercontent.com/slicer/slicer/master/Modules/Loadable/Markups/Resources/Schema/markups-schema-v1.0.3.json#",
"markups": [{"type": "Fiducial", "coordinateSystem": "LPS", "controlPoints": [
 {"id": "1", "label": "F-1", "position": [1.5, -2.0, 3.25], "orientation": [-1.0, -0.0, -0.0, -0.0, -1.0, -0.0, 0.0, 0.0, 1.0]},
 {"id": "2", "label": "F-2", "position": [4.0, 5.0, -6.5], "orientation": [-1.0, -0.0, -0.0, -0.0, -1.0, -0.0, 0.0, 0.0, 1.0]}
]}]})");
  folder.Write("points.fcsv",
               "# Markups fiducial file version = 4.11\n"
               "# CoordinateSystem = LPS\n"
               "# columns = id,x,y,z,ow,ox,oy,oz,vis,sel,lock,label,desc,associatedNodeID\n"
               "vtkMRMLMarkupsFiducialNode_0,1.5,-2,3.25,0,0,0,1,1,1,0,F-1,,\n"
               "vtkMRMLMarkupsFiducialNode_1,4,5,-6.5,0,0,0,1,1,1,0,F-2,,\n");
  folder.Write("points.csv", "x,y,z\n1.5,-2,3.25\n4,5,-6.5\n");
  folder.Write("points.txt", "# x y z\n1.5 -2 3.25\n\n4 5 -6.5\n");
  for (const char* name : { "points.mrk.json", "points.fcsv", "points.csv", "points.txt" })
  {
    EXPECT_EQ(ReadPointFile(folder.File(name)), Expected) << name;
  }

  PointList sources, targets;
  folder.Write("pairs.csv", "sx,sy,sz,tx,ty,tz\n1.5,-2,3.25,4,5,-6.5\n");
  ReadControlPairs(folder.File("pairs.csv"), sources, targets);
  EXPECT_EQ(sources, PointList{ Expected[0] });
  EXPECT_EQ(targets, PointList{ Expected[1] });

  // A second line of words is not a header, and a short line is not a pair.
  folder.Write("bad.csv", "x,y,z\nx,y,z\n");
  EXPECT_THROW(ReadPointFile(folder.File("bad.csv")), program_error);
  folder.Write("short.txt", "1 2 3 4 5\n");
  EXPECT_THROW(ReadControlPairs(folder.File("short.txt"), sources, targets), program_error);
  EXPECT_THROW(ReadPointFile(folder.File("missing.txt")), program_error);
}
}
