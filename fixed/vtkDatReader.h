// vtkDatReader - reads a scene description file and prepares its control points
//
// vtkDatReader holds everything a scene description file defines: the
// animation and display settings, the optional hair texture and background
// image objects, and the two point sets of the control-point pairs (source
// positions in PointArray, target positions in PointArrayN, with the same ids
// in file order). After parsing, ReadFile prepares the data the spline solver
// and the shape transform need: a point locator over the source points
// (Tree), the breadth-first well-ordered list (List, its inverse UnList and
// its half-bandwidth Max) and the source-minus-target differences BX, BY, BZ
// in list order.
//
// Typical use:
//   vtkDatReader* reader = vtkDatReader::New();
//   reader->FileName = "woman.ptt";
//   reader->SetRadius(0.5);
//   if (reader->ReadFile() != 0) { ...fail... }
//
// The file is plain text, read line by line, each line whole whatever its
// length. Each line is matched, like sscanf, against the keyword patterns
// "FramesNumber %d", "LoopCount %d", "Texture %s", "BackgroundImage %s",
// "SaveImages %s", "WindowSize %d %d", "RotateX %f", "RotateY %f",
// "RotateZ %f", "BackgroundColor %f %f %f", "DiffuseColor %f %f %f",
// "SpecularColor %f %f %f", "SupportRadius %f", "Face %s", "Hair %s",
// "CameraPosition %f %f %f", "CameraFocalPoint %f %f %f",
// "CameraViewUp %f %f %f", "Polynomial %s", "Kernel %s", "Smoothing %f",
// "UpAxis %s", "ShowControlPoints %s", "Expression ..." and "Key ..." (kept
// as text for the driver) and finally the control-point pattern
// "%f %f %f %f %f %f"; the first that accepts a line is applied.
//
// A line that no pattern accepts, unless blank or a '#' comment, is skipped
// with a warning on standard error that names the file and the line number.
// So is a line whose value is read differently from how it is written: text
// after the last value (other than a '#' comment), a "SaveImages" word other
// than "yes", a colour component outside 0..1. Such values are applied as read.
// A "Polynomial" or "ShowControlPoints" word other than "yes" or "no", a
// "Kernel" other than "quadratic" or "wendland", an "UpAxis" other than "y"
// or "z" and a "Smoothing" that is negative or not finite are warned about
// the same way and change nothing.
//
// .SECTION Warnings
// ReadFile is meant to be called once per reader. The reader is not a
// pipeline source: nothing updates on demand. The radius must be set before
// ReadFile, because the ordering uses the radius held at read time. Pointers
// handed out are borrowed and stay valid until the reader is deleted.
// Before the ordering, ReadFile estimates the interpolation matrix of the
// control points and throws program_error when it cannot fit in the
// memory available (envelope_estimate.h).
#ifndef vtkDatReader_h
#define vtkDatReader_h

#include "fit_options.h" // For the fit's options
#include "vtkAnimationMacros.h"

#include <vtkObject.h>

#include <string>
#include <vector>

class vtkBMPReader;
class vtkImageActor;
class vtkPointLocator;
class vtkPoints;
class vtkPolyData;
class vtkTexture;

class vtkDatReader : public vtkObject
{
public:
  static vtkDatReader* New();
  vtkTypeMacro(vtkDatReader, vtkObject);

  // Parses FileName and prepares the control points. Returns 0 on success and
  // -1 when the file cannot be opened, holds a number that is not finite or a
  // SupportRadius that is not positive, or an array cannot be allocated; the
  // reason goes to the error trace.
  int ReadFile();

  // The point locator over the source points, built by ReadFile.
  animGetObjectMacro(Tree, vtkPointLocator);

  // Source and target positions of the control points; id = order in the file.
  animGetObjectMacro(PointArray, vtkPoints);
  animGetObjectMacro(PointArrayN, vtkPoints);

  // Hair texture and background image actor, or null when the file names none.
  animGetObjectMacro(Texture, vtkTexture);
  animGetObjectMacro(ImageActor, vtkImageActor);

  // 1 when the file named a texture, a background image, or asked
  // ("SaveImages yes") for every frame to be saved; 0 by default.
  animGetMacro(UseTexture, int);
  animGetMacro(UseBackground, int);
  animGetMacro(SaveImages, int);

  // The well-ordered list (list position -> control point id) and its inverse
  // (id -> position); as many entries as control points. Null before ReadFile.
  animGetMacro(List, int*);
  animGetMacro(UnList, int*);

  // Source minus target in list order, x, y and z. Null before ReadFile.
  animGetMacro(BX, float*);
  animGetMacro(BY, float*);
  animGetMacro(BZ, float*);

  // The "RotateX", "RotateY" and "RotateZ" values; 0 by default.
  animGetMacro(TX, float);
  animGetMacro(TY, float);
  animGetMacro(TZ, float);

  // Colours, RGB in 0..1. Defaults: background 0.24, 0.35, 0.67; diffuse
  // 1.0, 0.9608, 0.9333; specular 0.7529, 0.7529, 0.7529.
  animGetVectorMacro(BackGroundColor, float, 3);
  animGetVectorMacro(DiffuseColor, float, 3);
  animGetVectorMacro(SpecularColor, float, 3);

  // Render window width and height in pixels; 300 x 300 by default.
  animGetVectorMacro(WindowSize, int, 2);

  // Neighbourhood radius of the ordering, passed on to the solver and the
  // transform; 0.1 by default. A "SupportRadius" line of the file replaces
  // it, before the ordering uses it.
  animSetMacro(Radius, float);
  animGetMacro(Radius, float);

  // Largest distance in list positions between two control points that lie
  // within Radius of each other.
  animGetMacro(Max, int);

  // Animation length: FramesNumber frames per sweep (10 by default), repeated
  // LoopCount times (1 by default).
  animGetMacro(FramesNumber, int);
  animGetMacro(LoopCount, int);

  // Face and hair mesh files, relative to the scene's folder: the "Face" and
  // "Hair" words; "woman.vtk" and "hair.vtk" by default.
  virtual const char* GetFaceFileName()
  {
    animDebugMacro(<< "): returning FaceFileName of " << this->FaceFileName);
    return this->FaceFileName.c_str();
  }
  virtual const char* GetHairFileName()
  {
    animDebugMacro(<< "): returning HairFileName of " << this->HairFileName);
    return this->HairFileName.c_str();
  }

  // The camera of the face renderer. UseCamera is 1 when the file set any of
  // "CameraPosition", "CameraFocalPoint" or "CameraViewUp"; the others keep
  // their defaults, the program's fixed camera: position 2.11247, -5.16695,
  // 7.36478, focal point 0.145534, 0.631591, 7.68539, view-up 0.00928477,
  // -0.0520647, 0.998601.
  animGetMacro(UseCamera, int);
  animGetVectorMacro(CameraPosition, double, 3);
  animGetVectorMacro(CameraFocalPoint, double, 3);
  animGetVectorMacro(CameraViewUp, double, 3);

  // The "Expression" and "Key" lines, each as the text after its keyword
  // with its line number, in file order; the driver reads their fields. And
  // the line number of the last "FramesNumber" or "LoopCount" line, 0 when
  // there is none.
  struct KeywordLine
  {
    int Line;
    std::string Text;
  };
  const std::vector<KeywordLine>& GetExpressionLines() const { return this->ExpressionLines; }
  const std::vector<KeywordLine>& GetKeyLines() const { return this->KeyLines; }
  int GetFramesLine() const { return this->FramesLine; }

  // The fit's options: the "Kernel" (quadratic or wendland), "Polynomial"
  // (yes or no) and "Smoothing" (0 or more) lines; by default the quadratic
  // function, with the polynomial part, no smoothing. Its Radius is left at
  // the default: GetRadius() is the support radius.
  const animation::core::fit_options& GetFitOptions() const { return this->FitOptions; }

  // The up axis of the meshes, the "UpAxis" word: "y" or "z", or empty when
  // the file names none (the face file's convention then decides).
  const std::string& GetUpAxis() const { return this->UpAxis; }

  // Whether the window draws the control points, the "ShowControlPoints"
  // word (yes or no); no by default.
  bool GetShowControlPoints() const { return this->ShowControlPoints; }

  // The scene description file; set directly, not copied.
  const char* FileName = nullptr;

protected:
  vtkDatReader();
  ~vtkDatReader() override;

  // Applies the first rule that accepts one line of the file. lineNumber
  // counts from 1, for messages. Returns 0, or -1 when a colour, a camera
  // vector or a control point holds a number that is not finite, or the
  // SupportRadius is not positive.
  int ParseLine(const std::string& line, int lineNumber);
  // Stores value, read from line by format (its keyword's pattern), as the
  // colour or (colour null) the camera vector, after checking it. Returns -1
  // when a number is not finite, 0 otherwise.
  int StoreVector(const char* format,
                  const float value[3],
                  float colour[3],
                  double camera[3],
                  const char* line,
                  int end,
                  int lineNumber);
  // Warns when line holds more than white space or a comment after its
  // character end, the end of the last value read.
  void WarnAboutTrailingText(const char* line, int end, int lineNumber);
  // One warning line on standard error about a line of the file, for the
  // first ShownWarnings warnings; the others are only counted in Warnings.
  void Warn(int lineNumber, const std::string& text);
  void SetUpTexture(const char* fileName);
  void SetUpBackground(const char* fileName);

  // Builds Tree, List, UnList, Max and BX, BY, BZ from the parsed points.
  int PrepareControlPoints();

  vtkPoints* PointArray;
  vtkPoints* PointArrayN;
  vtkPolyData* PolyData; // data set of Tree; its points are PointArray
  vtkPointLocator* Tree;
  vtkTexture* Texture = nullptr;
  vtkBMPReader* TextureReader = nullptr;
  vtkImageActor* ImageActor = nullptr;
  vtkBMPReader* BackgroundReader = nullptr;
  int* List = nullptr;
  int* UnList = nullptr;
  float TX = 0;
  float TY = 0;
  float TZ = 0;
  float* BX = nullptr;
  float* BY = nullptr;
  float* BZ = nullptr;
  float Radius = 0.1f;
  int WindowSize[2] = { 300, 300 };
  int Max = 0;
  int FramesNumber = 10;
  int LoopCount = 1;
  int SaveImages = 0;
  int UseTexture = 0;
  int UseBackground = 0;
  float BackGroundColor[3] = { 0.24f, 0.35f, 0.67f };
  float DiffuseColor[3] = { 1.0f, 0.9608f, 0.9333f };
  float SpecularColor[3] = { 0.7529f, 0.7529f, 0.7529f };
  std::string FaceFileName = "woman.vtk";
  std::string HairFileName = "hair.vtk";
  int UseCamera = 0;
  double CameraPosition[3] = { 2.11247, -5.16695, 7.36478 };
  double CameraFocalPoint[3] = { 0.145534, 0.631591, 7.68539 };
  double CameraViewUp[3] = { 0.00928477, -0.0520647, 0.998601 };
  std::vector<KeywordLine> ExpressionLines;
  std::vector<KeywordLine> KeyLines;
  int FramesLine = 0;
  int Warnings = 0; // warnings about lines of the file, shown or not
  animation::core::fit_options FitOptions;
  std::string UpAxis;
  bool ShowControlPoints = false;

private:
  vtkDatReader(const vtkDatReader&) = delete;
  void operator=(const vtkDatReader&) = delete;
};

#endif
