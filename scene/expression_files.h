// The files an "Expression" line names: control-point pairs, or source and
// target points in two files.
#ifndef expression_files_h
#define expression_files_h

#include <array>
#include <string>
#include <vector>

using PointList = std::vector<std::array<float, 3>>;

// Reads control-point pairs: lines of six numbers (source x y z, target x y z)
// separated by blanks or commas, so a CSV file with those six columns too. A
// first line that is not numbers is a header and skipped; blank lines and
// '#' comments are skipped. Fills sources and targets. Throws
// program_error naming the file and line when a line holds anything
// else, a number is not finite, or the file cannot be read.
void ReadControlPairs(const std::string& path, PointList& sources, PointList& targets);

// Reads points: lines of three numbers (blanks or commas between them, with
// an optional header line), a 3D Slicer markups file (.mrk.json: the
// "position" of every control point) or a 3D Slicer fiducial list (.fcsv:
// columns 2 to 4 of every line that is not a '#' comment). Positions are taken
// as written, in the file's own coordinate system. Throws program_error
// as ReadControlPairs() does.
PointList ReadPointFile(const std::string& path);

#endif
