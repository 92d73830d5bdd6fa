#include "mesh_precheck.h"

#include "gltf_uri.h"
#include "named_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace
{
// A read position over the bytes of a file.
struct Cursor
{
  const char* At;
  const char* End;

  std::size_t Left() const { return static_cast<std::size_t>(this->End - this->At); }

  // The next line without its line end; false at the end of the bytes.
  bool Line(std::string_view& line)
  {
    if (this->At == this->End)
    {
      return false;
    }
    const char* start = this->At;
    while (this->At != this->End && *this->At != '\n')
    {
      ++this->At;
    }
    line = std::string_view(start, static_cast<std::size_t>(this->At - start));
    if (this->At != this->End)
    {
      ++this->At;
    }
    if (!line.empty() && line.back() == '\r')
    {
      line.remove_suffix(1);
    }
    return true;
  }

  // The next run of characters that are not white space.
  bool Token(std::string_view& token)
  {
    while (this->At != this->End && std::isspace(static_cast<unsigned char>(*this->At)))
    {
      ++this->At;
    }
    const char* start = this->At;
    while (this->At != this->End && !std::isspace(static_cast<unsigned char>(*this->At)))
    {
      ++this->At;
    }
    token = std::string_view(start, static_cast<std::size_t>(this->At - start));
    return !token.empty();
  }

  // Moves past the end of the current line, where binary data begins.
  void SkipRestOfLine()
  {
    while (this->At != this->End && *this->At++ != '\n')
    {
    }
  }

  bool Skip(std::size_t bytes)
  {
    if (bytes > this->Left())
    {
      return false;
    }
    this->At += bytes;
    return true;
  }
};

// A decimal integer of at most 18 digits, with an optional sign.
bool ParseInteger(std::string_view text, long long& value)
{
  std::size_t digits = text.size();
  if (!text.empty() && (text[0] == '-' || text[0] == '+'))
  {
    --digits;
  }
  if (digits == 0 || digits > 18)
  {
    return false;
  }
  const std::string copy(text);
  char* end = nullptr;
  value = std::strtoll(copy.c_str(), &end, 10);
  return *end == '\0';
}

bool NextInteger(Cursor& cursor, long long& value)
{
  std::string_view token;
  return cursor.Token(token) && ParseInteger(token, value);
}

// An unsigned integer of bytes bytes in the byte order given.
bool ReadBinaryInteger(Cursor& cursor,
                       std::size_t bytes,
                       bool bigEndian,
                       bool isSigned,
                       long long& value)
{
  if (bytes == 0 || bytes > 8 || cursor.Left() < bytes)
  {
    return false;
  }
  std::uint64_t bits = 0;
  for (std::size_t k = 0; k < bytes; ++k)
  {
    const std::size_t index = bigEndian ? k : bytes - 1 - k;
    bits = (bits << 8) | static_cast<unsigned char>(cursor.At[index]);
  }
  cursor.At += bytes;
  if (isSigned && bytes < 8 && (bits >> (8 * bytes - 1)) != 0)
  {
    bits |= ~std::uint64_t(0) << (8 * bytes);
  }
  value = static_cast<long long>(bits);
  return !(bytes == 8 && !isSigned && value < 0);
}

// The next integer: a decimal word of ASCII data, or one of bytes bytes of
// binary data.
bool ReadInteger(Cursor& cursor,
                 bool binary,
                 std::size_t bytes,
                 bool bigEndian,
                 bool isSigned,
                 long long& value)
{
  return binary ? ReadBinaryInteger(cursor, bytes, bigEndian, isSigned, value)
                : NextInteger(cursor, value);
}

bool Refuse(std::string& why, const std::string& reason)
{
  why = reason;
  return false;
}

// --- Legacy VTK ------------------------------------------------------------------------

// Bytes of one binary value of a legacy type name, 0 for a name not known.
std::size_t LegacyValueBytes(std::string_view type)
{
  static const std::map<std::string_view, std::size_t> bytes = {
    { "bit", 1 },           { "char", 1 },           { "unsigned_char", 1 },
    { "short", 2 },         { "unsigned_short", 2 }, { "int", 4 },
    { "unsigned_int", 4 },  { "float", 4 },          { "long", 8 },
    { "unsigned_long", 8 }, { "double", 8 },         { "vtkIdType", 8 },
    { "vtktypeint64", 8 },  { "vtktypeuint64", 8 }
  };
  const auto found = bytes.find(type);
  return found == bytes.end() ? 0 : found->second;
}

struct LegacyReader
{
  Cursor At;
  bool Binary;
  std::string& Why;

  // Bytes that count values of type take at least.
  std::size_t LeastBytes(long long count, std::size_t valueBytes) const
  {
    return static_cast<std::size_t>(count) * (this->Binary ? valueBytes : 2) -
           (this->Binary ? 0 : 1);
  }

  bool Fits(long long count, std::size_t valueBytes, const std::string& what)
  {
    if (count < 0)
    {
      return Refuse(this->Why, "it declares " + std::to_string(count) + " " + what);
    }
    if (count > 0 && (static_cast<unsigned long long>(count) > this->At.Left() ||
                      this->LeastBytes(count, valueBytes) > this->At.Left()))
    {
      return Refuse(this->Why,
                    "it declares " + std::to_string(count) + " " + what + ", more than its " +
                      std::to_string(this->At.Left()) + " remaining bytes can hold");
    }
    return true;
  }

  // The next value, of valueBytes big-endian bytes when binary.
  bool Integer(std::size_t valueBytes, long long& value)
  {
    return ReadInteger(this->At, this->Binary, valueBytes, true, true, value);
  }

  bool SkipValues(long long count, std::size_t valueBytes)
  {
    if (this->Binary)
    {
      return this->At.Skip(static_cast<std::size_t>(count) * valueBytes);
    }
    std::string_view token;
    for (long long k = 0; k < count; ++k)
    {
      if (!this->At.Token(token))
      {
        return false;
      }
    }
    return true;
  }

  // The type word after a section's counts, and the start of its data.
  std::size_t TypeBytes()
  {
    std::string_view type;
    this->At.Token(type);
    if (this->Binary)
    {
      this->At.SkipRestOfLine();
    }
    return LegacyValueBytes(type);
  }

  bool Points()
  {
    long long count = 0;
    if (!NextInteger(this->At, count))
    {
      return Refuse(this->Why, "its POINTS line has no point count");
    }
    const std::size_t bytes = this->TypeBytes();
    if (bytes == 0)
    {
      return true; // a type the reader will name
    }
    if (!this->Fits(count, bytes, "points") || count > (1LL << 40) ||
        !this->Fits(3 * count, bytes, "point coordinates"))
    {
      return false;
    }
    return this->SkipValues(3 * count, bytes) ||
           Refuse(this->Why, "it ends before its " + std::to_string(count) + " points");
  }

  // Cells of the files before version 5: each is its point count followed by
  // that many point ids, size integers in all.
  bool CountedCells(const std::string& section, long long cells, long long size)
  {
    if (!this->Fits(cells, 4, section + " cells") || !this->Fits(size, 4, section + " entries"))
    {
      return false;
    }
    // The cell data follow the counts directly, as 32-bit integers.
    if (this->Binary)
    {
      this->At.SkipRestOfLine();
    }
    const std::string cut =
      "its " + section + " end before their " + std::to_string(cells) + " cells";
    long long used = 0;
    for (long long cell = 0; cell < cells; ++cell)
    {
      long long points = 0;
      if (!this->Integer(4, points))
      {
        return Refuse(this->Why, cut);
      }
      if (points < 0 || points > size - used - 1)
      {
        return Refuse(this->Why,
                      "a cell of its " + section + " claims " + std::to_string(points) +
                        " points, beyond the section's " + std::to_string(size) + " entries");
      }
      used += 1 + points;
      if (!this->SkipValues(points, 4))
      {
        return Refuse(this->Why, cut);
      }
    }
    return used == size || Refuse(this->Why,
                                  "its " + section + " declare " + std::to_string(size) +
                                    " entries but their cells hold " + std::to_string(used));
  }

  // The keyword line of a section's array of count values, name (OFFSETS or
  // CONNECTIVITY), with its type, and the start of its data. bytes is the
  // size of one value, or 0 when the file is not laid out as this walk knows
  // (the reader judges it then).
  bool ArrayStart(const char* name, long long count, const std::string& what, std::size_t& bytes)
  {
    std::string_view keyword;
    bytes = this->At.Token(keyword) && keyword == name ? this->TypeBytes() : 0;
    return bytes == 0 || this->Fits(count, bytes, what);
  }

  // Cells of version 5 files: offsets + 1 offsets into connectivity point ids.
  bool OffsetCells(const std::string& section, long long offsets, long long connectivity)
  {
    std::size_t bytes = 0;
    if (!this->Fits(offsets, 4, section + " offsets") ||
        !this->ArrayStart("OFFSETS", offsets, section + " offsets", bytes))
    {
      return false;
    }
    if (bytes == 0)
    {
      return true;
    }
    long long previous = 0;
    for (long long k = 0; k < offsets; ++k)
    {
      long long offset = 0;
      if (!this->Integer(bytes, offset))
      {
        return Refuse(this->Why, "its " + section + " end before their offsets");
      }
      if ((k == 0 && offset != 0) || offset < previous || offset > connectivity)
      {
        return Refuse(this->Why,
                      "its " + section + " hold an offset " + std::to_string(offset) +
                        " outside 0 to " + std::to_string(connectivity) + " or out of order");
      }
      previous = offset;
    }
    if (offsets > 0 && previous != connectivity)
    {
      return Refuse(this->Why,
                    "its " + section + " offsets end at " + std::to_string(previous) +
                      ", not at the " + std::to_string(connectivity) + " point ids declared");
    }
    if (!this->ArrayStart("CONNECTIVITY", connectivity, section + " point ids", bytes))
    {
      return false;
    }
    return bytes == 0 || this->SkipValues(connectivity, bytes) ||
           Refuse(this->Why, "its " + section + " end before their point ids");
  }

  bool Walk(double version)
  {
    std::string_view keyword;
    while (this->At.Token(keyword))
    {
      if (keyword == "DATASET")
      {
        this->At.Token(keyword);
        continue;
      }
      if (keyword == "POINTS")
      {
        if (!this->Points())
        {
          return false;
        }
        continue;
      }
      if (keyword != "VERTICES" && keyword != "LINES" && keyword != "POLYGONS" &&
          keyword != "TRIANGLE_STRIPS")
      {
        return true; // the attributes follow: their counts are the points' or the cells'
      }
      const std::string section(keyword);
      long long first = 0;
      long long second = 0;
      if (!NextInteger(this->At, first) || !NextInteger(this->At, second))
      {
        return Refuse(this->Why, "its " + section + " line lacks its two counts");
      }
      if (first < 0 || second < 0)
      {
        return Refuse(this->Why,
                      "its " + section + " line declares " + std::to_string(first) + " " +
                        std::to_string(second) + ": counts cannot be negative");
      }
      const bool fits = version >= 5.0 ? this->OffsetCells(section, first, second)
                                       : this->CountedCells(section, first, second);
      if (!fits)
      {
        return false;
      }
    }
    return true;
  }
};

bool LegacyFits(Cursor cursor, std::string& why)
{
  std::string_view line;
  const std::string_view mark = "# vtk DataFile Version";
  if (!cursor.Line(line) || line.substr(0, mark.size()) != mark)
  {
    return true; // not a legacy file: the reader says so
  }
  const double version = std::atof(std::string(line.substr(mark.size())).c_str());
  std::string_view title;
  std::string_view encoding;
  if (!cursor.Line(title) || !cursor.Line(encoding))
  {
    return Refuse(why, "it ends within its header");
  }
  const bool binary = encoding.substr(0, 6) == "BINARY";
  LegacyReader reader{ cursor, binary, why };
  return reader.Walk(version);
}

// --- PLY ------------------------------------------------------------------------------

struct PlyProperty
{
  bool IsList = false;
  std::size_t CountBytes = 0; // of a list's count
  bool CountSigned = false;
  std::size_t ValueBytes = 0;
  bool ValueSigned = false;
  bool IsVertexIndex = false;
};

struct PlyElement
{
  std::string Name;
  long long Count = 0;
  std::vector<PlyProperty> Properties;
};

// Bytes of a PLY scalar type and whether it is a signed integer; 0 when the
// name is not a type.
std::size_t PlyTypeBytes(std::string_view type, bool& isSigned)
{
  // Bytes, and whether the type is a signed integer.
  static const std::map<std::string_view, std::pair<std::size_t, bool>> types = {
    { "char", { 1, true } },    { "int8", { 1, true } },     { "uchar", { 1, false } },
    { "uint8", { 1, false } },  { "short", { 2, true } },    { "int16", { 2, true } },
    { "ushort", { 2, false } }, { "uint16", { 2, false } },  { "int", { 4, true } },
    { "int32", { 4, true } },   { "uint", { 4, false } },    { "uint32", { 4, false } },
    { "float", { 4, false } },  { "float32", { 4, false } }, { "double", { 8, false } },
    { "float64", { 8, false } }
  };
  const auto found = types.find(type);
  isSigned = found != types.end() && found->second.second;
  return found == types.end() ? 0 : found->second.first;
}

bool PlyHeader(Cursor& cursor, std::vector<PlyElement>& elements, int& format, std::string& why)
{
  std::string_view line;
  if (!cursor.Line(line) || line != "ply")
  {
    return Refuse(why, "it does not begin with the line \"ply\"");
  }
  format = -1; // 0 ASCII, 1 binary little-endian, 2 binary big-endian
  while (cursor.Line(line))
  {
    Cursor words{ line.data(), line.data() + line.size() };
    std::string_view word;
    if (!words.Token(word) || word == "comment" || word == "obj_info")
    {
      continue;
    }
    if (word == "end_header")
    {
      return format >= 0 || Refuse(why, "its header names no format");
    }
    if (word == "format" && words.Token(word))
    {
      format = word == "ascii"                  ? 0
               : word == "binary_little_endian" ? 1
               : word == "binary_big_endian"    ? 2
                                                : -1;
      continue;
    }
    if (word == "element")
    {
      PlyElement element;
      std::string_view name;
      if (!words.Token(name) || !NextInteger(words, element.Count) || element.Count < 0)
      {
        return Refuse(why,
                      "its header line \"" + std::string(line.substr(0, 80)) +
                        "\" declares no element count");
      }
      element.Name = std::string(name);
      elements.push_back(element);
      continue;
    }
    if (word == "property" && !elements.empty())
    {
      PlyProperty property;
      std::string_view type;
      words.Token(type);
      if (type == "list")
      {
        std::string_view countType;
        words.Token(countType);
        words.Token(type);
        property.IsList = true;
        property.CountBytes = PlyTypeBytes(countType, property.CountSigned);
      }
      property.ValueBytes = PlyTypeBytes(type, property.ValueSigned);
      std::string_view name;
      words.Token(name);
      property.IsVertexIndex = property.IsList && elements.back().Name == "face" &&
                               (name == "vertex_indices" || name == "vertex_index");
      if (property.ValueBytes == 0 || (property.IsList && property.CountBytes == 0))
      {
        return Refuse(
          why, "its header line \"" + std::string(line.substr(0, 80)) + "\" names no known type");
      }
      elements.back().Properties.push_back(property);
    }
  }
  return Refuse(why, "its header has no end_header line");
}

bool PlyFits(Cursor cursor, std::string& why)
{
  std::vector<PlyElement> elements;
  int format = 0;
  if (!PlyHeader(cursor, elements, format, why))
  {
    return false;
  }
  const bool binary = format != 0;
  const bool bigEndian = format == 2;
  long long vertices = 0;
  for (const PlyElement& element : elements)
  {
    if (element.Name == "vertex")
    {
      vertices = element.Count;
    }
    std::size_t least = 0;
    for (const PlyProperty& property : element.Properties)
    {
      least += binary ? (property.IsList ? property.CountBytes : property.ValueBytes) : 2;
    }
    if (least > 0 && static_cast<unsigned long long>(element.Count) > cursor.Left() / least + 1)
    {
      return Refuse(why,
                    "it declares " + std::to_string(element.Count) + " " + element.Name +
                      " elements, more than its " + std::to_string(cursor.Left()) +
                      " bytes of data can hold");
    }
  }
  for (const PlyElement& element : elements)
  {
    const std::string cut = "it ends within its " + std::to_string(element.Count) + " " +
                            element.Name + " elements (the file is cut short or a line is missing)";
    for (long long instance = 0; instance < element.Count; ++instance)
    {
      for (const PlyProperty& property : element.Properties)
      {
        long long values = 1;
        if (property.IsList)
        {
          if (!ReadInteger(
                cursor, binary, property.CountBytes, bigEndian, property.CountSigned, values))
          {
            return Refuse(why, cut);
          }
          if (values < 0 || static_cast<unsigned long long>(values) > cursor.Left())
          {
            return Refuse(why,
                          "a list of its " + element.Name + " elements claims " +
                            std::to_string(values) +
                            " values, beyond the file's end (the file is cut short or a line "
                            "is missing)");
          }
        }
        for (long long k = 0; k < values; ++k)
        {
          long long index = 0;
          std::string_view token;
          const bool read =
            property.IsVertexIndex
              ? ReadInteger(
                  cursor, binary, property.ValueBytes, bigEndian, property.ValueSigned, index)
            : binary ? cursor.Skip(property.ValueBytes)
                     : cursor.Token(token);
          if (!read)
          {
            return Refuse(why, cut);
          }
          if (property.IsVertexIndex && (index < 0 || index >= vertices))
          {
            return Refuse(why,
                          "face " + std::to_string(instance) + " names vertex " +
                            std::to_string(index) + ", but there are " + std::to_string(vertices) +
                            " vertices");
          }
        }
      }
    }
  }
  return true;
}

// --- STL ------------------------------------------------------------------------------

bool StlFits(const char* data, std::size_t size, std::string& why)
{
  Cursor words{ data, data + size };
  std::string_view first;
  const bool looksAscii = words.Token(first) && first.substr(0, 5) == "solid";
  if (size >= 84)
  {
    long long triangles = 0;
    Cursor count{ data + 80, data + 84 };
    ReadBinaryInteger(count, 4, false, false, triangles);
    if (84 + 50 * static_cast<unsigned long long>(triangles) == size)
    {
      return true;
    }
    if (!looksAscii)
    {
      return Refuse(why,
                    "its header announces " + std::to_string(triangles) +
                      " triangles, which take " + std::to_string(84 + 50 * triangles) +
                      " bytes, but the file has " + std::to_string(size));
    }
  }
  return looksAscii || Refuse(why, "it is neither a binary STL file nor an ASCII one (\"solid\")");
}

// --- OBJ ------------------------------------------------------------------------------

bool ObjFits(Cursor cursor, std::string& why)
{
  // Counts so far and in all of vertices, texture coordinates and normals,
  // and the largest positive index of each with its line.
  long long count[3] = { 0, 0, 0 };
  long long largest[3] = { 0, 0, 0 };
  long long largestLine[3] = { 0, 0, 0 };
  const char* const kinds[3] = { "vertex", "texture coordinate", "normal" };
  std::string_view line;
  for (long long number = 1; cursor.Line(line); ++number)
  {
    Cursor words{ line.data(), line.data() + line.size() };
    std::string_view word;
    if (!words.Token(word))
    {
      continue;
    }
    if (word == "v" || word == "vt" || word == "vn")
    {
      ++count[word == "v" ? 0 : word == "vt" ? 1 : 2];
      continue;
    }
    if (word != "f" && word != "l" && word != "p")
    {
      continue;
    }
    while (words.Token(word))
    {
      for (int kind = 0; kind < 3 && !word.empty(); ++kind)
      {
        const std::size_t slash = word.find('/');
        const std::string_view part = word.substr(0, slash);
        word = slash == std::string_view::npos ? std::string_view() : word.substr(slash + 1);
        if (part.empty())
        {
          continue;
        }
        long long index = 0;
        const std::string where = "line " + std::to_string(number) + " names " + kinds[kind] + " ";
        if (!ParseInteger(part, index) || index == 0)
        {
          return Refuse(why, where + std::string(part.substr(0, 40)) + ", which is no index");
        }
        if (index < 0 && -index > count[kind])
        {
          return Refuse(why,
                        where + std::to_string(index) + ", but only " +
                          std::to_string(count[kind]) + " come before it");
        }
        if (index > largest[kind])
        {
          largest[kind] = index;
          largestLine[kind] = number;
        }
      }
    }
  }
  for (int kind = 0; kind < 3; ++kind)
  {
    if (largest[kind] > count[kind])
    {
      return Refuse(why,
                    "line " + std::to_string(largestLine[kind]) + " names " + kinds[kind] + " " +
                      std::to_string(largest[kind]) + ", but the file has " +
                      std::to_string(count[kind]));
    }
  }
  return true;
}
}

bool DeclaredSizesFit(const char* data,
                      std::size_t size,
                      const std::string& extension,
                      std::string& why)
{
  Cursor cursor{ data, data + size };
  if (extension == ".vtk")
  {
    return LegacyFits(cursor, why);
  }
  if (extension == ".ply")
  {
    return PlyFits(cursor, why);
  }
  if (extension == ".stl")
  {
    return StlFits(data, size, why);
  }
  if (extension == ".obj")
  {
    return ObjFits(cursor, why);
  }
  return true;
}

bool DeclaredSizesFit(const std::string& fileName, const std::string& extension, std::string& why)
{
  if (extension == ".glb" || extension == ".gltf")
  {
    return GltfUrisResolve(fileName, why);
  }
  // Opened by the rule of every file a scene names: a FIFO or a device put in
  // the file's place since it was first checked is refused, not waited for.
  std::string problem;
  const int descriptor = OpenNamedFile(fileName, MaximumDataFileBytes, "a mesh", problem);
  if (descriptor < 0)
  {
    return Refuse(why, "the file " + problem);
  }
  struct stat status;
  const std::size_t size = fstat(descriptor, &status) == 0 ? status.st_size : 0;
  if (size == 0)
  {
    close(descriptor);
    return Refuse(why, "the file is empty");
  }
  void* bytes = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
  close(descriptor);
  if (bytes == MAP_FAILED)
  {
    return Refuse(why, "the file cannot be read");
  }
  const bool fits = DeclaredSizesFit(static_cast<const char*>(bytes), size, extension, why);
  munmap(bytes, size);
  return fits;
}
