// The control-point lines of a scene file, rewritten in place.
//
// A control-point line is one that the scene file's reader takes as a pair:
// neither blank nor a comment, and six numbers at its start (no keyword
// begins the way a number does, so the test needs no keyword list). In an
// expression file of pairs, commas or semicolons may separate the numbers as
// blanks do (a CSV file). An edited scene is saved by rewriting only those lines, and the
// "SupportRadius" line when the radius changed: every other line, blank line
// and comment stays where it was, byte for byte, and so does a pair that was
// not edited. The file is replaced whole or not at all (atomic_write.h).
#ifndef control_point_lines_h
#define control_point_lines_h

#include <string>
#include <vector>

// A control-point pair of an editor, and where it stands in the file.
struct EditedPair
{
  double Source[3];
  double Target[3];
  int Line = 0;         // the file's line (from 1) that holds the pair; 0 for a new pair
  bool Changed = false; // whether the pair differs from what its line says
};

// How the numbers of a pair are separated: blanks (woman.ptt), or blanks,
// commas or semicolons (an expression file).
enum class PairSeparators
{
  Blanks,
  BlanksOrCommas
};

// Line numbers (from 1) of the control-point lines of text, in their order,
// which is the order in which the reader lists the pairs.
std::vector<int> ControlPointLineNumbers(const std::string& text, PairSeparators separators);

// text with its control-point lines replaced by pairs:
//   text    input, the whole file; lines end with '\n' (a '\r' before it is
//           kept as part of the line)
//   separators  input, those of the file; a rewritten line of a file
//           whose first pair has commas (semicolons) has them too
//   pairs   input, every pair of the edited scene, in order; a pair's Line is
//           a control-point line of text, or 0
//   radius  input, the support radius to write on the last "SupportRadius"
//           line (or on a new one before the first control-point line);
//           0 leaves those lines alone
//   lines   output, lines[k] is the line (from 1) of pairs[k] in the result
// A pair keeps its line: unchanged, the line is kept byte for byte; changed,
// its six numbers are replaced and what followed them (a label column, a
// comment) is kept. New lines end as the file's lines do ("\r\n" or "\n"). The
// control-point lines that no pair names are left out (deleted pairs). New
// pairs follow the last control-point line, or end the file when it has none.
std::string RewriteControlPointLines(const std::string& text,
                                     PairSeparators separators,
                                     const std::vector<EditedPair>& pairs,
                                     double radius,
                                     std::vector<int>& lines);

// Replaces the scene file path by text, whole or not at all. The file must be
// a regular file (not a link, a folder, a FIFO or a device) that still holds
// read, the text the editor started from (a file changed meanwhile by
// another program is not overwritten) and that the user may write; the new
// file keeps its permissions. Throws program_error saying why
// nothing was written.
void ReplaceSceneFile(const std::string& path, const std::string& read, const std::string& text);

#endif
