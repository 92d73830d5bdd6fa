// The files that the control-point editor reads and rewrites: woman.ptt,
// whose own pairs are the expression "default", and the pair file of each
// "Expression NAME FILE" line. What each file holds is remembered by the Ids
// of the edited points (edit_history.h), so that saving rewrites only the
// lines of the pairs that changed (control_point_lines.h).
#ifndef editor_files_h
#define editor_files_h

#include "control_point_lines.h"
#include "edit_history.h"
#include "scene_input.h"

#include <map>
#include <string>
#include <vector>

// A file of control-point lines that the editor rewrites when it saves.
struct PairFile
{
  std::string Path;
  PairSeparators Separators;
  std::string Text;                 // as read or last saved
  std::map<int, EditedPair> InFile; // by Id: the pairs that the file holds, on their Line
};

// An expression of the scene: "default" (woman.ptt's own lines), then those
// of the Expression lines, in the scene's order.
struct SceneExpression
{
  std::string Name;
  int File; // its index in EditedFiles::Files; -1 (not saved) for two point files or a shared file
};

struct EditedFiles
{
  std::vector<PairFile> Files; // woman.ptt first
  double Radius = 0;           // the support radius that woman.ptt gives
  std::vector<SceneExpression> Expressions;
};

// The scene file of the working folder.
constexpr const char* SceneFileName = "woman.ptt";

// Reads the expressions of input (from the working folder) into the first
// state of an edit, numbering the points from 0, and what their files hold
// into files. A scene without control points has an empty "default".
// Throws program_error naming the file or the expression that cannot be
// read, or a file that changed while it was read.
EditState ReadEditedFiles(const SceneInput& input, EditedFiles& files);

// Saves state: rewrites each file whose pairs differ from what it holds, and
// woman.ptt when the radius changed, each whole or not at all
// (ReplaceSceneFile); prints "Saved FILE: N control points" for each. Returns
// an empty text, or the reasons why files were not written (the others are
// written all the same).
std::string SaveEditedFiles(EditedFiles& files, const EditState& state);

#endif
