// vtkDatReader: defaults, the scene-file rules and their order, the traces of
// the accessors, and the control-point preparation.
#include "vtkDatReader.h"

#include "scene_file.h"
#include "trace_capture.h"

#include <vtkBMPReader.h>
#include <vtkImageActor.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkTexture.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <sys/stat.h>

namespace
{
const std::string ReaderHeader = ANIMATION_SOURCE_DIR "/fixed/vtkDatReader.h";

std::string Address(const void* pointer)
{
  std::ostringstream text;
  text << pointer;
  return text.str();
}

class DatReaderTest : public ::testing::Test
{
protected:
  void SetUp() override { this->Reader = vtkDatReader::New(); }
  void TearDown() override { this->Reader->Delete(); }

  // Reads a scene file holding text; returns ReadFile's result. The console
  // lines of the preparation are kept in Console.
  int Read(const std::string& text)
  {
    this->Path = this->Folder.Write("scene.ptt", text);
    this->Reader->FileName = this->Path.c_str();
    ::testing::internal::CaptureStdout();
    int result = this->Reader->ReadFile();
    this->Console = ::testing::internal::GetCapturedStdout();
    return result;
  }

  double Coordinate(vtkPoints* points, vtkIdType id, int axis)
  {
    return points->GetPoint(id)[axis];
  }

  TemporaryFolder Folder;
  std::string Path;
  std::string Console;
  vtkDatReader* Reader = nullptr;
};
}

TEST_F(DatReaderTest, FreshReaderHoldsTheDefaults)
{
  EXPECT_EQ(this->Reader->GetFramesNumber(), 10);
  EXPECT_EQ(this->Reader->GetLoopCount(), 1);
  EXPECT_EQ(this->Reader->GetSaveImages(), 0);
  EXPECT_EQ(this->Reader->GetUseTexture(), 0);
  EXPECT_EQ(this->Reader->GetUseBackground(), 0);
  EXPECT_FLOAT_EQ(this->Reader->GetRadius(), 0.1f);
  EXPECT_EQ(this->Reader->GetWindowSize()[0], 300);
  EXPECT_EQ(this->Reader->GetWindowSize()[1], 300);
  EXPECT_EQ(this->Reader->GetMax(), 0);
  float colour[3];
  this->Reader->GetBackGroundColor(colour);
  EXPECT_FLOAT_EQ(colour[0], 0.24f);
  EXPECT_FLOAT_EQ(colour[1], 0.35f);
  EXPECT_FLOAT_EQ(colour[2], 0.67f);
  this->Reader->GetDiffuseColor(colour);
  EXPECT_FLOAT_EQ(colour[0], 1.0f);
  EXPECT_FLOAT_EQ(colour[1], 0.9608f);
  EXPECT_FLOAT_EQ(colour[2], 0.9333f);
  this->Reader->GetSpecularColor(colour);
  EXPECT_FLOAT_EQ(colour[0], 0.7529f);
  EXPECT_FLOAT_EQ(colour[1], 0.7529f);
  EXPECT_FLOAT_EQ(colour[2], 0.7529f);
  EXPECT_EQ(this->Reader->GetTX(), 0.0f);
  EXPECT_EQ(this->Reader->GetTY(), 0.0f);
  EXPECT_EQ(this->Reader->GetTZ(), 0.0f);
  EXPECT_EQ(this->Reader->GetTexture(), nullptr);
  EXPECT_EQ(this->Reader->GetImageActor(), nullptr);
  EXPECT_EQ(this->Reader->GetList(), nullptr);
  EXPECT_EQ(this->Reader->GetUnList(), nullptr);
  EXPECT_EQ(this->Reader->GetBX(), nullptr);
  EXPECT_EQ(this->Reader->GetPointArray()->GetNumberOfPoints(), 0);
  EXPECT_EQ(this->Reader->GetPointArrayN()->GetNumberOfPoints(), 0);
}

TEST_F(DatReaderTest, IsAKnowsTheClassAndItsBase)
{
  EXPECT_STREQ(this->Reader->GetClassName(), "vtkDatReader");
  EXPECT_EQ(this->Reader->IsA("vtkDatReader"), 1);
  EXPECT_EQ(this->Reader->IsA("vtkObject"), 1);
  EXPECT_EQ(this->Reader->IsA("vtkObjectBase"), 1);
  EXPECT_EQ(this->Reader->IsA("vtkMatrixSolver"), 0);
  EXPECT_EQ(this->Reader->IsA("vtkDatReaderX"), 0);
}

TEST_F(DatReaderTest, SetRadiusModifiesOnlyOnAChange)
{
  vtkMTimeType before = this->Reader->GetMTime();
  this->Reader->SetRadius(0.5f);
  vtkMTimeType afterChange = this->Reader->GetMTime();
  EXPECT_GT(afterChange, before);
  this->Reader->SetRadius(0.5f);
  EXPECT_EQ(this->Reader->GetMTime(), afterChange);
  EXPECT_FLOAT_EQ(this->Reader->GetRadius(), 0.5f);
}

// --- The rules of the scene file -------------------------------------------

TEST_F(DatReaderTest, KeywordsSetTheirSettings)
{
  ASSERT_EQ(this->Read("FramesNumber 24\n"
                       "LoopCount 3\n"
                       "SaveImages yes\n"
                       "WindowSize 640 480\n"
                       "RotateX 1.5\n"
                       "RotateY -2\n"
                       "RotateZ 3e1\n"
                       "BackgroundColor 0.1 0.2 0.3\n"
                       "DiffuseColor 0.4 0.5 0.6\n"
                       "SpecularColor 0.7 0.8 0.9\n"),
            0);
  EXPECT_EQ(this->Reader->GetFramesNumber(), 24);
  EXPECT_EQ(this->Reader->GetLoopCount(), 3);
  EXPECT_EQ(this->Reader->GetSaveImages(), 1);
  EXPECT_EQ(this->Reader->GetWindowSize()[0], 640);
  EXPECT_EQ(this->Reader->GetWindowSize()[1], 480);
  EXPECT_FLOAT_EQ(this->Reader->GetTX(), 1.5f);
  EXPECT_FLOAT_EQ(this->Reader->GetTY(), -2.0f);
  EXPECT_FLOAT_EQ(this->Reader->GetTZ(), 30.0f);
  EXPECT_FLOAT_EQ(this->Reader->GetBackGroundColor()[2], 0.3f);
  EXPECT_FLOAT_EQ(this->Reader->GetDiffuseColor()[0], 0.4f);
  EXPECT_FLOAT_EQ(this->Reader->GetSpecularColor()[1], 0.8f);
  EXPECT_EQ(this->Reader->GetPointArray()->GetNumberOfPoints(), 0);
}

TEST_F(DatReaderTest, LaterOccurrenceWins)
{
  ASSERT_EQ(this->Read("FramesNumber 24\nLoopCount 2\nFramesNumber 48\n"), 0);
  EXPECT_EQ(this->Reader->GetFramesNumber(), 48);
}

TEST_F(DatReaderTest, OnlyExactYesSavesImages)
{
  ASSERT_EQ(this->Read("SaveImages Yes\nSaveImages no\nSaveImages YES\n"), 0);
  EXPECT_EQ(this->Reader->GetSaveImages(), 0);
}

TEST_F(DatReaderTest, LaterNoDoesNotUndoYes)
{
  ASSERT_EQ(this->Read("SaveImages yes\nSaveImages no\n"), 0);
  EXPECT_EQ(this->Reader->GetSaveImages(), 1);
}

TEST_F(DatReaderTest, IncompleteKeywordLinesChangeNothing)
{
  ASSERT_EQ(this->Read("WindowSize 640\nBackgroundColor 1 1\nFramesNumber\nLoopCount x\n"), 0);
  EXPECT_EQ(this->Reader->GetWindowSize()[0], 300);
  EXPECT_EQ(this->Reader->GetWindowSize()[1], 300);
  EXPECT_FLOAT_EQ(this->Reader->GetBackGroundColor()[0], 0.24f);
  EXPECT_EQ(this->Reader->GetFramesNumber(), 10);
  EXPECT_EQ(this->Reader->GetLoopCount(), 1);
  EXPECT_EQ(this->Reader->GetPointArray()->GetNumberOfPoints(), 0);
}

TEST_F(DatReaderTest, KeywordMustStartTheLine)
{
  ASSERT_EQ(this->Read(" FramesNumber 5\n"), 0);
  EXPECT_EQ(this->Reader->GetFramesNumber(), 10);
}

TEST_F(DatReaderTest, BlankBetweenKeywordAndValueIsOptional)
{
  ASSERT_EQ(this->Read("FramesNumber5\n"), 0);
  EXPECT_EQ(this->Reader->GetFramesNumber(), 5);
}

TEST_F(DatReaderTest, IntegerFieldStopsAtTheFraction)
{
  ASSERT_EQ(this->Read("FramesNumber 12.9\n"), 0);
  EXPECT_EQ(this->Reader->GetFramesNumber(), 12);
}

TEST_F(DatReaderTest, TextAfterTheLastFieldIsIgnored)
{
  ASSERT_EQ(this->Read("BackgroundColor 0 0 0 extra\n"), 0);
  EXPECT_EQ(this->Reader->GetBackGroundColor()[0], 0.0f);
  EXPECT_EQ(this->Reader->GetBackGroundColor()[1], 0.0f);
  EXPECT_EQ(this->Reader->GetBackGroundColor()[2], 0.0f);
}

TEST_F(DatReaderTest, ValuesAreStoredWithoutRangeChecks)
{
  ASSERT_EQ(this->Read("FramesNumber -4\nBackgroundColor 2 -1 7\n"), 0);
  EXPECT_EQ(this->Reader->GetFramesNumber(), -4);
  EXPECT_FLOAT_EQ(this->Reader->GetBackGroundColor()[0], 2.0f);
  EXPECT_FLOAT_EQ(this->Reader->GetBackGroundColor()[1], -1.0f);
}

TEST_F(DatReaderTest, ControlPointLineGivesSourceAndTarget)
{
  ASSERT_EQ(this->Read("1 2 3 4 5 6\n"), 0);
  vtkPoints* source = this->Reader->GetPointArray();
  vtkPoints* target = this->Reader->GetPointArrayN();
  ASSERT_EQ(source->GetNumberOfPoints(), 1);
  ASSERT_EQ(target->GetNumberOfPoints(), 1);
  EXPECT_EQ(this->Coordinate(source, 0, 0), 1.0);
  EXPECT_EQ(this->Coordinate(source, 0, 2), 3.0);
  EXPECT_EQ(this->Coordinate(target, 0, 0), 4.0);
  EXPECT_EQ(this->Coordinate(target, 0, 2), 6.0);
  EXPECT_EQ(this->Reader->GetBX()[0], -3.0f);
  EXPECT_EQ(this->Reader->GetBY()[0], -3.0f);
  EXPECT_EQ(this->Reader->GetBZ()[0], -3.0f);
}

TEST_F(DatReaderTest, ControlPointsKeepFileOrderAndSkipOtherLines)
{
  ASSERT_EQ(this->Read("# a comment\n"
                       "  0.5 0 0 0.5 0 0.25\n"
                       "FramesNumber 3\n"
                       "1 1 1 1 1 1 99 98\n"
                       "1 2 3 4 5\n"
                       "\n"
                       "-2 0 0 -2 0 0"),
            0);
  vtkPoints* source = this->Reader->GetPointArray();
  ASSERT_EQ(source->GetNumberOfPoints(), 3);
  EXPECT_EQ(this->Reader->GetPointArrayN()->GetNumberOfPoints(), 3);
  EXPECT_EQ(this->Coordinate(source, 0, 0), 0.5);
  EXPECT_EQ(this->Coordinate(source, 1, 0), 1.0);
  // The last line has no line end and is read all the same.
  EXPECT_EQ(this->Coordinate(source, 2, 0), -2.0);
  EXPECT_EQ(this->Reader->GetFramesNumber(), 3);
}

TEST_F(DatReaderTest, WindowsLineEndsAreAccepted)
{
  ASSERT_EQ(this->Read("FramesNumber 7\r\nSaveImages yes\r\n1 2 3 1 2 3\r\n"), 0);
  EXPECT_EQ(this->Reader->GetFramesNumber(), 7);
  EXPECT_EQ(this->Reader->GetSaveImages(), 1);
  EXPECT_EQ(this->Reader->GetPointArray()->GetNumberOfPoints(), 1);
}

TEST_F(DatReaderTest, LongLineIsReadWhole)
{
  // Full double precision: 113 characters, every number read to its end.
  const std::string line = "0.14553400000000001 0.63159100000000001 7.6853899999999999 "
                           "0.14553400000000001 0.58159099999999997 7.6853899999999999";
  ASSERT_GT(line.size(), 100u);
  ASSERT_EQ(this->Read(line + "\n" + std::string(300, ' ') + "FramesNumber 4\n"), 0);
  vtkPoints* target = this->Reader->GetPointArrayN();
  ASSERT_EQ(target->GetNumberOfPoints(), 1);
  EXPECT_EQ(this->Coordinate(target, 0, 1), static_cast<double>(0.581591f));
  EXPECT_EQ(this->Coordinate(target, 0, 2), static_cast<double>(7.68539f));
  // A long blank run is not split into a line of its own.
  EXPECT_EQ(this->Reader->GetFramesNumber(), 10);
}

TEST_F(DatReaderTest, ZeroByteEndsTheLineTextButNotTheLine)
{
  ASSERT_EQ(this->Read(std::string("FramesNumber 7\0junk\nLoopCount 3\n", 32)), 0);
  EXPECT_EQ(this->Reader->GetFramesNumber(), 7);
  EXPECT_EQ(this->Reader->GetLoopCount(), 3);
}

TEST_F(DatReaderTest, NewKeywordsSetRadiusMeshesAndCamera)
{
  this->Reader->SetRadius(0.5);
  ASSERT_EQ(this->Read("SupportRadius 50\n"
                       "Face head.ply\n"
                       "Hair scalp.obj\n"
                       "CameraPosition 1 2 3\n"
                       "CameraViewUp 0 0 -1\n"),
            0);
  EXPECT_EQ(this->Reader->GetRadius(), 50.0f);
  EXPECT_STREQ(this->Reader->GetFaceFileName(), "head.ply");
  EXPECT_STREQ(this->Reader->GetHairFileName(), "scalp.obj");
  EXPECT_EQ(this->Reader->GetUseCamera(), 1);
  EXPECT_EQ(this->Reader->GetCameraPosition()[2], 3.0);
  EXPECT_EQ(this->Reader->GetCameraViewUp()[2], -1.0);
  // Not given: the fixed camera's focal point stays.
  EXPECT_EQ(this->Reader->GetCameraFocalPoint()[2], 7.68539);
}

TEST_F(DatReaderTest, SupportRadiusMustBePositiveAndFinite)
{
  for (const char* value : { "0", "-1", "inf", "nan" })
  {
    vtkDatReader* reader = vtkDatReader::New();
    const std::string path =
      this->Folder.Write("radius.ptt", std::string("SupportRadius ") + value);
    reader->FileName = path.c_str();
    TraceCapture traces;
    EXPECT_EQ(reader->ReadFile(), -1) << value;
    EXPECT_NE(traces.Errors().find("SupportRadius on line 1 must be a positive finite number"),
              std::string::npos)
      << traces.Errors();
    reader->Delete();
  }
}

TEST_F(DatReaderTest, WarningsNameTheLineAndWhatWasIgnored)
{
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(this->Read("# a comment\n"
                       "FrameNumber 4\n"
                       "FramesNumber: 4\n"
                       "FramesNumber 4.5\n"
                       "SaveImages Yes\n"
                       "WindowSize 600x600\n"
                       "BackgroundColor 255 128 0\n"
                       "\n"
                       "LoopCount 2 # two loops\n"
                       "1 2 3 4 5 6 7\n"
                       "Texture " +
                       std::string(100, 'x') + "\n"),
            0);
  const std::string warnings = ::testing::internal::GetCapturedStderr();
  const std::string at = "Warning: " + this->Path + " line ";
  EXPECT_EQ(
    warnings,
    at + "2: ignored, it is neither a setting nor a control point: \"FrameNumber 4\"\n" + at +
      "3: ignored, it is neither a setting nor a control point: \"FramesNumber: 4\"\n" + at +
      "4: the text \".5\" after the last value is ignored: \"FramesNumber 4.5\"\n" + at +
      "5: SaveImages takes only \"yes\"; \"Yes\" changes nothing\n" + at +
      "6: ignored, it is neither a setting nor a control point: \"WindowSize 600x600\"\n" + at +
      "7: BackgroundColor has a component outside 0 to 1: \"BackgroundColor 255 128 0\"\n" + at +
      "10: the text \"7\" after the last value is ignored: \"1 2 3 4 5 6 7\"\n");
  // The values are applied as read.
  EXPECT_EQ(this->Reader->GetFramesNumber(), 4);
  EXPECT_EQ(this->Reader->GetLoopCount(), 2);
  EXPECT_EQ(this->Reader->GetBackGroundColor()[0], 255.0f);
  EXPECT_EQ(this->Reader->GetPointArray()->GetNumberOfPoints(), 1);
}

TEST_F(DatReaderTest, EmptyFileReadsWithoutControlPoints)
{
  ASSERT_EQ(this->Read(""), 0);
  EXPECT_EQ(this->Reader->GetPointArray()->GetNumberOfPoints(), 0);
  EXPECT_EQ(this->Reader->GetMax(), 0);
  EXPECT_NE(this->Console.find("Tree build time: "), std::string::npos);
  EXPECT_NE(this->Console.find("Sorting time: "), std::string::npos);
}

TEST_F(DatReaderTest, TextureAndBackgroundLinesBuildTheirObjects)
{
  ASSERT_EQ(this->Read("Texture hair.bmp\nBackgroundImage studio.bmp\n"), 0);
  EXPECT_EQ(this->Reader->GetUseTexture(), 1);
  EXPECT_EQ(this->Reader->GetUseBackground(), 1);
  ASSERT_NE(this->Reader->GetTexture(), nullptr);
  ASSERT_NE(this->Reader->GetImageActor(), nullptr);
  EXPECT_EQ(this->Reader->GetTexture()->GetInterpolate(), 1);
  auto* source = vtkBMPReader::SafeDownCast(this->Reader->GetTexture()->GetInputAlgorithm());
  ASSERT_NE(source, nullptr);
  EXPECT_STREQ(source->GetFileName(), "hair.bmp");
}

TEST_F(DatReaderTest, SecondTextureLineReplacesTheFirst)
{
  ASSERT_EQ(this->Read("Texture first.bmp\nTexture second.bmp\n"), 0);
  auto* source = vtkBMPReader::SafeDownCast(this->Reader->GetTexture()->GetInputAlgorithm());
  ASSERT_NE(source, nullptr);
  EXPECT_STREQ(source->GetFileName(), "second.bmp");
}

// --- Failures ----------------------------------------------------------------

TEST_F(DatReaderTest, MissingFileIsReportedAndChangesNothing)
{
  TraceCapture traces;
  std::string missing = this->Folder.File("none.ptt");
  this->Reader->FileName = missing.c_str();
  EXPECT_EQ(this->Reader->ReadFile(), -1);
  std::string expected = "ERROR: In " ANIMATION_SOURCE_DIR "/fixed/vtkDatReader.cxx, line ";
  ASSERT_EQ(traces.Errors().rfind(expected, 0), 0u) << traces.Errors();
  std::string tail = "\nvtkDatReader (" + Address(this->Reader) + "): Not correct FileName\n\n";
  EXPECT_EQ(traces.Errors().substr(traces.Errors().size() - tail.size()), tail);
  EXPECT_EQ(this->Reader->GetList(), nullptr);
}

TEST_F(DatReaderTest, MissingFileNameIsReported)
{
  TraceCapture traces;
  EXPECT_EQ(this->Reader->ReadFile(), -1);
  EXPECT_NE(traces.Errors().find("Not correct FileName"), std::string::npos);
}

TEST_F(DatReaderTest, ErrorTraceNeedsTheGlobalWarningDisplay)
{
  TraceCapture traces;
  vtkObject::GlobalWarningDisplayOff();
  EXPECT_EQ(this->Reader->ReadFile(), -1);
  vtkObject::GlobalWarningDisplayOn();
  EXPECT_EQ(traces.Errors(), "");
}

TEST_F(DatReaderTest, NumbersThatAreNotFiniteFailTheRead)
{
  const char* scenes[] = {
    "0 0 0 0 0 0\n1 1 1 nan 1 1\n",
    "0 0 0 0 0 0\n1 1 1 1 1 inf\n",
    "0 0 0 0 0 0\n-infinity 1 1 1 1 1\n",
    "0 0 0 0 0 0\n1e39 0 0 0 0 0\n",
  };
  for (const char* scene : scenes)
  {
    TraceCapture traces;
    vtkDatReader* reader = vtkDatReader::New();
    std::string path = this->Folder.Write("bad.ptt", scene);
    reader->FileName = path.c_str();
    EXPECT_EQ(reader->ReadFile(), -1) << scene;
    EXPECT_NE(traces.Errors().find("Control point on line 2 holds a number that is not finite"),
              std::string::npos)
      << traces.Errors();
    reader->Delete();
  }
}

TEST_F(DatReaderTest, ColourThatIsNotFiniteFailsTheRead)
{
  TraceCapture traces;
  EXPECT_EQ(this->Read("FramesNumber 3\nBackgroundColor 0 nan 0\n"), -1);
  EXPECT_NE(traces.Errors().find("BackgroundColor on line 2 is not a finite colour"),
            std::string::npos);
}

// --- Debug traces ------------------------------------------------------------

TEST_F(DatReaderTest, AccessorTracesNameHeaderLinePropertyAndValue)
{
  TraceCapture traces;
  this->Reader->DebugOn();
  // The class name and the address stand twice; the accessor's text follows.
  const std::string object = "vtkDatReader (" + Address(this->Reader) + "): ";
  const std::string twice = object + object.substr(0, object.size() - 3);
  const std::string prefix = "Debug: In ";

  this->Reader->GetFramesNumber();
  EXPECT_EQ(traces.Debug(),
            prefix + TraceLocation(ReaderHeader, "animGetMacro(FramesNumber") + "\n" + twice +
              "): returning FramesNumber of 10\n\n");

  traces.Clear();
  this->Reader->SetRadius(0.5f);
  EXPECT_EQ(traces.Debug(),
            prefix + TraceLocation(ReaderHeader, "animSetMacro(Radius") + "\n" + twice +
              "): setting Radius to 0.5\n\n");

  traces.Clear();
  vtkPoints* points = this->Reader->GetPointArray();
  EXPECT_EQ(traces.Debug(),
            prefix + TraceLocation(ReaderHeader, "animGetObjectMacro(PointArray,") + "\n" + twice +
              "): returning PointArray address " + Address(points) + "\n\n");

  traces.Clear();
  float* colour = this->Reader->GetBackGroundColor();
  EXPECT_EQ(traces.Debug(),
            prefix + TraceLocation(ReaderHeader, "animGetVectorMacro(BackGroundColor") + "\n" +
              twice + "): returning BackGroundColor pointer " + Address(colour) + "\n\n");

  traces.Clear();
  this->Reader->GetList();
  EXPECT_EQ(traces.Debug(),
            prefix + TraceLocation(ReaderHeader, "animGetMacro(List,") + "\n" + twice +
              "): returning List of 0\n\n");
  this->Reader->DebugOff();
}

TEST_F(DatReaderTest, AccessorsAreSilentWithDebuggingOff)
{
  TraceCapture traces;
  this->Reader->GetFramesNumber();
  this->Reader->SetRadius(0.3f);
  this->Reader->GetBackGroundColor();
  float colour[3];
  this->Reader->DebugOn();
  this->Reader->GetBackGroundColor(colour);
  this->Reader->DebugOff();
  EXPECT_EQ(traces.Debug(), "");
}

TEST_F(DatReaderTest, DebugTraceNeedsTheGlobalWarningDisplay)
{
  TraceCapture traces;
  this->Reader->DebugOn();
  vtkObject::GlobalWarningDisplayOff();
  this->Reader->GetLoopCount();
  vtkObject::GlobalWarningDisplayOn();
  this->Reader->DebugOff();
  EXPECT_EQ(traces.Debug(), "");
}

// --- Control-point preparation -------------------------------------------------

TEST_F(DatReaderTest, PreparationPrintsItsTimingLines)
{
  ASSERT_EQ(this->Read("0 0 0 0 0 0\n"), 0);
  std::istringstream lines(this->Console);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line.rfind("Tree build time: ", 0), 0u);
  EXPECT_EQ(line.substr(line.size() - 5), " sec.");
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line.rfind("Sorting time: ", 0), 0u);
  EXPECT_EQ(line.substr(line.size() - 5), " sec.");
  EXPECT_FALSE(std::getline(lines, line));
}

TEST_F(DatReaderTest, DifferencesFollowTheListOrder)
{
  // Ids 0 and 2 are neighbours, id 1 is far: the list is 0, 2, 1.
  this->Reader->SetRadius(0.5f);
  ASSERT_EQ(this->Read("0 0 0 0 0 1\n"
                       "5 0 0 5 0 2\n"
                       "0.25 0 0 0.25 0 3\n"),
            0);
  const int* list = this->Reader->GetList();
  const int* unlist = this->Reader->GetUnList();
  EXPECT_EQ(list[0], 0);
  EXPECT_EQ(list[1], 2);
  EXPECT_EQ(list[2], 1);
  for (int k = 0; k < 3; ++k)
  {
    EXPECT_EQ(unlist[list[k]], k);
  }
  EXPECT_EQ(this->Reader->GetMax(), 1);
  EXPECT_EQ(this->Reader->GetBZ()[0], -1.0f);
  EXPECT_EQ(this->Reader->GetBZ()[1], -3.0f);
  EXPECT_EQ(this->Reader->GetBZ()[2], -2.0f);
  EXPECT_EQ(this->Reader->GetBX()[1], 0.0f);
}

TEST_F(DatReaderTest, LocatorIsBuiltOverTheSourcePoints)
{
  this->Reader->SetRadius(0.5f);
  ASSERT_EQ(this->Read("0 0 0 9 9 9\n3 0 0 9 9 9\n"), 0);
  double near[3] = { 2.9, 0, 0 };
  EXPECT_EQ(this->Reader->GetTree()->FindClosestPoint(near), 1);
}

TEST_F(DatReaderTest, FilesThatAreNoPlainSceneTextAreRefusedWithoutWaiting)
{
  struct Refused
  {
    std::string Name;
    std::string Error;
  };
  const std::string fifo = this->Folder.File("fifo.ptt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string zero = this->Folder.File("zero.ptt");
  std::filesystem::create_symlink("/dev/zero", zero);
  const std::string wide = this->Folder.Write("wide.ptt",
                                              std::string("\xff\xfe"
                                                          "F\0r\0a\0m\0e\0s\0",
                                                          14));
  const std::string big = this->Folder.Write("big.ptt", "FramesNumber 2\n");
  std::filesystem::resize_file(big, (256 << 20) + 1);
  const Refused cases[] = {
    { fifo, "Not correct FileName: " + fifo + " is a FIFO, not a regular file" },
    { zero, "Not correct FileName: " + zero + " is a character device, not a regular file" },
    { wide, "is UTF-16 text" },
    { big, "holds 268435457 bytes, more than a scene file may" },
    { this->Folder.Write("frames.ptt", "FramesNumber 4294967298\n"),
      "The number on line 1 is out of range (-2147483648 to 2147483647): \"FramesNumber "
      "4294967298\"" },
    { this->Folder.Write("size.ptt", "# window\nWindowSize 4294967596 300\n"),
      "The number on line 2 is out of range" },
    { this->Folder.Write("loops.ptt", "LoopCount -99999999999999999999999\n"),
      "The number on line 1 is out of range" },
  };
  for (const Refused& refused : cases)
  {
    vtkDatReader* reader = vtkDatReader::New();
    reader->FileName = refused.Name.c_str();
    TraceCapture traces;
    EXPECT_EQ(reader->ReadFile(), -1) << refused.Name;
    EXPECT_NE(traces.Errors().find(refused.Error), std::string::npos) << traces.Errors();
    reader->Delete();
  }
}
