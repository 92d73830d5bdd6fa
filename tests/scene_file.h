// Test support: temporary working folders and scene files.
#ifndef scene_file_h
#define scene_file_h

#include <string>
#include <vector>

// A fresh empty folder under the system's temporary folder, removed with its
// contents when the object goes.
class TemporaryFolder
{
public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::string& Path() const { return this->Folder; }
  // Path of a file inside the folder.
  std::string File(const std::string& name) const { return this->Folder + "/" + name; }
  // Writes text, byte for byte, to a file inside the folder; returns its path.
  std::string Write(const std::string& name, const std::string& text) const;
  // Names of the temporary files of outputs ("*.partial") in the folder.
  std::vector<std::string> PartialFiles() const;

private:
  std::string Folder;
};

std::string ReadWholeFile(const std::string& path);

#endif
