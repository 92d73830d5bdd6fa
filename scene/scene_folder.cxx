#include "scene_folder.h"

#include "program_error.h"

#include <filesystem>
#include <system_error>

void EnterSceneFolder(const std::string& folder)
{
  std::error_code error;
  const auto status = std::filesystem::status(folder, error);
  if (!std::filesystem::exists(status))
  {
    throw program_error("The scene folder '" + folder + "' does not exist");
  }
  if (!std::filesystem::is_directory(status))
  {
    throw program_error("The scene folder '" + folder + "' is not a folder");
  }
  std::filesystem::current_path(folder, error);
  if (error)
  {
    throw program_error("Cannot enter the scene folder '" + folder + "': " + error.message());
  }
}

std::string ShownName(const std::string& name)
{
  if (name.size() <= 100)
  {
    return name;
  }
  return name.substr(0, 60) + "[... " + std::to_string(name.size() - 90) + " characters ...]" +
         name.substr(name.size() - 30);
}
