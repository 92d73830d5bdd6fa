#include "gltf_uri.h"

#include "named_file.h"
#include "scene_folder.h"

#include <vtk_jsoncpp.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <memory>

#include <unistd.h>

namespace
{
// A uri as a message quotes it.
std::string Quoted(const std::string& uri)
{
  return "\"" + ShownName(uri) + "\"";
}

// True when uri starts with a scheme: a letter, then letters, digits, '+',
// '-' or '.', then ':'.
bool HasScheme(const std::string& uri)
{
  const auto isSchemeCharacter = [](unsigned char c)
  { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; };
  const std::size_t colon = uri.find(':');
  return colon != std::string::npos && colon > 0 &&
         std::isalpha(static_cast<unsigned char>(uri[0])) &&
         std::all_of(uri.begin(), uri.begin() + colon, isSchemeCharacter);
}

// True when path lies inside folder; both are canonical.
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder)
{
  const auto [inFolder, inPath] =
    std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return inFolder == folder.end() && inPath != path.end();
}

// Reads count bytes at offset of the file open at descriptor.
bool ReadAt(int descriptor, std::int64_t offset, std::size_t count, std::string& bytes)
{
  bytes.resize(count);
  std::size_t done = 0;
  while (done < count)
  {
    const ssize_t got = pread(descriptor, &bytes[done], count - done, offset + done);
    if (got <= 0)
    {
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

std::uint32_t LittleEndian32(const std::string& bytes, std::size_t at)
{
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

// The JSON text of gltfFile: the whole file, or the first chunk of a binary
// glTF (a 12-byte header "glTF", version, length; then the chunk's length,
// its type "JSON" and its bytes). False with why when it cannot be had.
bool JsonText(const std::string& gltfFile, std::string& json, std::string& why)
{
  std::string problem;
  const int descriptor = OpenNamedFile(gltfFile, MaximumDataFileBytes, "a mesh", problem);
  if (descriptor < 0)
  {
    why = "the file " + problem;
    return false;
  }
  const std::unique_ptr<int, void (*)(int*)> closer(new int(descriptor),
                                                    [](int* d)
                                                    {
                                                      close(*d);
                                                      delete d;
                                                    });
  const std::int64_t size = lseek(descriptor, 0, SEEK_END);
  std::string header;
  if (size >= 20 && ReadAt(descriptor, 0, 20, header) && header.compare(0, 4, "glTF") == 0)
  {
    const std::int64_t length = LittleEndian32(header, 12);
    if (header.compare(16, 4, "JSON") != 0 || length > size - 20 ||
        !ReadAt(descriptor, 20, static_cast<std::size_t>(length), json))
    {
      why = "its binary glTF header announces no JSON chunk within the file";
      return false;
    }
    return true;
  }
  if (!ReadAt(descriptor, 0, static_cast<std::size_t>(size), json))
  {
    why = "the file cannot be read";
    return false;
  }
  return true;
}

// Checks the "uri" of every object of the array named kind ("buffers",
// "images") in document, adding the files they name to files when it is not
// null; role names one of them in a reason.
bool UrisResolve(const std::string& gltfFile,
                 const Json::Value& document,
                 const char* kind,
                 const char* role,
                 std::vector<std::string>* files,
                 std::string& why)
{
  const Json::Value& list = document[kind];
  if (!list.isArray())
  {
    return true;
  }
  for (const Json::Value& item : list)
  {
    if (!item.isObject() || !item.isMember("uri"))
    {
      continue;
    }
    std::string path;
    if (!item["uri"].isString())
    {
      why = std::string("its ") + role + " uri is not a string";
      return false;
    }
    if (!ResolveGltfUri(gltfFile, item["uri"].asString(), path, why))
    {
      why = std::string("its ") + role + " uri " + why;
      return false;
    }
    if (files && !path.empty())
    {
      files->push_back(path);
    }
  }
  return true;
}
}

bool ResolveGltfUri(const std::string& gltfFile,
                    const std::string& uri,
                    std::string& path,
                    std::string& why)
{
  namespace fs = std::filesystem;
  path.clear();
  if (uri.compare(0, 5, "data:") == 0)
  {
    return true;
  }
  if (HasScheme(uri))
  {
    why = Quoted(uri) + " names a scheme; only data: uris and paths inside the folder of " +
          ShownName(gltfFile) + " are read";
    return false;
  }
  if (uri.empty() || uri[0] == '/' || uri.find('\0') != std::string::npos)
  {
    why = Quoted(uri) + " is " + (uri.empty() ? "empty" : "an absolute path") +
          "; only paths inside the folder of " + ShownName(gltfFile) + " are read";
    return false;
  }
  // A ".." that climbs out is refused before the file system is asked; a
  // link inside the folder is followed, and refused when it leads out.
  const fs::path relative = fs::path(uri).lexically_normal();
  std::error_code error;
  const fs::path folder = fs::canonical(fs::absolute(gltfFile, error).parent_path(), error);
  const fs::path resolved = fs::weakly_canonical(folder / relative, error);
  if (*relative.begin() == ".." || error || !IsInside(resolved, folder))
  {
    why = Quoted(uri) + " leaves the folder of " + ShownName(gltfFile);
    return false;
  }
  std::string problem;
  if (!IsAcceptableNamedFile(
        resolved.string(), MaximumDataFileBytes, "a glTF buffer or image", problem))
  {
    why = Quoted(uri) + " " + problem;
    return false;
  }
  path = resolved.string();
  return true;
}

bool GltfUrisResolve(const std::string& gltfFile, std::string& why, std::vector<std::string>* files)
{
  std::string json;
  if (!JsonText(gltfFile, json, why))
  {
    return false;
  }
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value document;
  std::string errors;
  if (!reader->parse(json.data(), json.data() + json.size(), &document, &errors) ||
      !document.isObject())
  {
    why = "its JSON cannot be read";
    return false;
  }
  return UrisResolve(gltfFile, document, "buffers", "buffer", files, why) &&
         UrisResolve(gltfFile, document, "images", "image", files, why);
}
