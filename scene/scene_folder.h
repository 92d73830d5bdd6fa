// The scene's folder: the scene file and the meshes and images it names are
// read there, and the outputs are written there; and the names of its files
// as messages show them.
#ifndef scene_folder_h
#define scene_folder_h

#include <string>

// Makes folder the working folder, so that every file name of the run is
// relative to it. Throws program_error naming the folder when it does not
// exist, is not a folder or cannot be entered.
void EnterSceneFolder(const std::string& folder);

// name as a message shows it: whole up to 100 characters, otherwise its first
// 60 and last 30 characters around the number of those left out, so that a
// name of megabytes does not flood the console.
std::string ShownName(const std::string& name);

#endif
