#include "scene_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <stdlib.h>

TemporaryFolder::TemporaryFolder()
{
  std::string pattern = (std::filesystem::temp_directory_path() / "animation-test-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
  {
    throw std::runtime_error("cannot make a temporary folder");
  }
  this->Folder = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
  std::error_code ignored;
  std::filesystem::remove_all(this->Folder, ignored);
}

std::string TemporaryFolder::Write(const std::string& name, const std::string& text) const
{
  std::string path = this->File(name);
  std::ofstream out(path, std::ios::binary);
  out << text;
  return path;
}

std::vector<std::string> TemporaryFolder::PartialFiles() const
{
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(this->Folder))
  {
    if (entry.path().extension() == ".partial")
    {
      names.push_back(entry.path().filename().string());
    }
  }
  return names;
}

std::string ReadWholeFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
