// The scene's folder: the scene file and the meshes and images it names are
// read there, and the outputs are written there.
#ifndef scene_folder_h
#define scene_folder_h

#include <string>

// Makes folder the working folder, so that every file name of the run is
// relative to it. Throws a text message naming the folder when it does not
// exist, is not a folder or cannot be entered.
void EnterSceneFolder(const std::string& folder);

#endif
