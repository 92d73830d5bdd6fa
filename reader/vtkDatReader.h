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
// The file is plain text, read line by line through an 80-character buffer.
// Each line is matched, like sscanf, against the keyword patterns
// "FramesNumber %d", "LoopCount %d", "Texture %s", "BackgroundImage %s",
// "SaveImages %s", "WindowSize %d %d", "RotateX %f", "RotateY %f",
// "RotateZ %f", "BackgroundColor %f %f %f", "DiffuseColor %f %f %f",
// "SpecularColor %f %f %f" and finally the control-point pattern
// "%f %f %f %f %f %f"; the first that accepts a line is applied and lines
// that none accepts are skipped.
//
// .SECTION Warnings
// ReadFile is meant to be called once per reader. The reader is not a
// pipeline source: nothing updates on demand. The radius must be set before
// ReadFile, because the ordering uses the radius held at read time. Pointers
// handed out are borrowed and stay valid until the reader is deleted.
// Before the ordering, ReadFile estimates the interpolation matrix of the
// control points and throws std::runtime_error when it cannot fit in the
// memory available (envelope_estimate.h).
#ifndef vtkDatReader_h
#define vtkDatReader_h

#include "vtkAnimationMacros.h"

#include <vtkObject.h>

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
  // -1 when the file cannot be opened, holds a number that is not finite, or
  // an array cannot be allocated; the reason goes to the error trace.
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
  // transform; 0.1 by default.
  animSetMacro(Radius, float);
  animGetMacro(Radius, float);

  // Largest distance in list positions between two control points that lie
  // within Radius of each other.
  animGetMacro(Max, int);

  // Animation length: FramesNumber frames per sweep (10 by default), repeated
  // LoopCount times (1 by default).
  animGetMacro(FramesNumber, int);
  animGetMacro(LoopCount, int);

  // The scene description file; set directly, not copied.
  const char* FileName;

protected:
  vtkDatReader();
  ~vtkDatReader() override;

  // Applies the first rule that accepts one piece of the file. lineNumber is
  // the piece's line in the file, for messages. Returns 0, or -1 when a
  // colour or a control point holds a number that is not finite.
  int ParseLine(const char* line, int lineNumber);
  void SetUpTexture(const char* fileName);
  void SetUpBackground(const char* fileName);

  // Builds Tree, List, UnList, Max and BX, BY, BZ from the parsed points.
  int PrepareControlPoints();

  vtkPoints* PointArray;
  vtkPoints* PointArrayN;
  vtkPolyData* PolyData; // data set of Tree; its points are PointArray
  vtkPointLocator* Tree;
  vtkTexture* Texture;
  vtkBMPReader* TextureReader;
  vtkImageActor* ImageActor;
  vtkBMPReader* BackgroundReader;
  int* List;
  int* UnList;
  float TX;
  float TY;
  float TZ;
  float* BX;
  float* BY;
  float* BZ;
  float Radius;
  int WindowSize[2];
  int Max;
  int FramesNumber;
  int LoopCount;
  int SaveImages;
  int UseTexture;
  int UseBackground;
  float BackGroundColor[3];
  float DiffuseColor[3];
  float SpecularColor[3];

private:
  vtkDatReader(const vtkDatReader&) = delete;
  void operator=(const vtkDatReader&) = delete;
};

#endif
