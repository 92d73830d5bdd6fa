#include "scene.h"

#include "atomic_write.h"
#include "control_point_marks.h"
#include "crowded_points.h"
#include "face_look.h"
#include "finite_frames.h"
#include "image_check.h"
#include "program_error.h"
#include "scale_check.h"
#include "stopwatch.h"
#include "vtkDatReader.h"
#include "vtkShapeTransform.h"

#include <vtkActor.h>
#include <vtkActorCollection.h>
#include <vtkBMPWriter.h>
#include <vtkBoundingBox.h>
#include <vtkCamera.h>
#include <vtkCellData.h>
#include <vtkCleanPolyData.h>
#include <vtkDataSetMapper.h>
#include <vtkImageActor.h>
#include <vtkImageMapper3D.h>
#include <vtkMath.h>
#include <vtkMatrix4x4.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkPolyDataNormals.h>
#include <vtkProperty.h>
#include <vtkRemoveDuplicatePolys.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkTexture.h>
#include <vtkTextureMapToCylinder.h>
#include <vtkTransformPolyDataFilter.h>
#include <vtkUnsignedCharArray.h>
#include <vtkWindowToImageFilter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

namespace
{
// The scene file's images are optional: one that cannot be used is left out
// with a message on standard error, and the run goes on.
bool ImageIsUsable(vtkAlgorithm* source, const char* role, const char* instead)
{
  std::string why;
  if (ReadCheckedImage(source, why))
  {
    return true;
  }
  std::cerr << "Cannot use the " << role << ": " << why << "; " << instead << std::endl;
  return false;
}

// Layer of the renderers when a background image is used. The toolkit draws
// higher layers over lower ones, so the image goes below the face.
constexpr int BackgroundLayer = 0;
constexpr int FaceLayer = 1;

vtkRenderer* MakeBackgroundRenderer(vtkDatReader* reader)
{
  vtkRenderer* renderer = vtkRenderer::New();
  renderer->SetInteractive(0);
  renderer->SetLayer(BackgroundLayer);
  const float* colour = reader->GetBackGroundColor();
  renderer->SetBackground(colour[0], colour[1], colour[2]);
  renderer->AddViewProp(reader->GetImageActor());
  // Frame the image, then move 2.5 times closer to it.
  renderer->ResetCamera();
  vtkCamera* camera = renderer->GetActiveCamera();
  camera->Dolly(2.5);
  double distance = camera->GetDistance();
  camera->SetClippingRange(distance - 5, distance + 5);
  return renderer;
}

void SetFaceMaterial(vtkProperty* property)
{
  property->SetInterpolation(1);
  property->SetAmbient(0.1f);
  property->SetDiffuse(0.9f);
  property->SetSpecular(0.28f);
  property->SetSpecularPower(8.4f);
}

void SetHairMaterial(vtkProperty* property)
{
  // SetColor sets the ambient, diffuse and specular colours together; the
  // three calls after it then give each its own.
  property->SetInterpolation(1);
  property->SetColor(0.878431f, 0.732171f, 0.601307f);
  property->SetAmbientColor(0.486275f, 0.407843f, 0.282353f);
  property->SetDiffuseColor(0.882353f, 0.682353f, 0.513726f);
  property->SetSpecularColor(0.980392f, 0.952941f, 0.917647f);
  property->SetAmbient(0.1f);
  property->SetDiffuse(0.9f);
  property->SetSpecular(0.35f);
  property->SetSpecularPower(10.5f);
}

// What a face mesh from another tool needs to render right: smooth normals
// when the file has none, a skin colour when it has no colours.

// Angle between two faces above which an edge is a crease: the normals are
// split there, and smoothed across every gentler edge.
constexpr double CreaseAngle = 60.0;

// A new filter (the caller deletes it) that gives mesh smooth point normals
// for drawing: coincident points merged, normals split only at creases
// sharper than CreaseAngle. Null when the mesh has point normals.
vtkAlgorithm* NewSmoothNormals(vtkPolyData* mesh)
{
  if (mesh->GetPointData()->GetNormals())
  {
    return nullptr;
  }
  // A triangle soup (STL) has a point per corner: merged, its triangles share
  // their corners and the normals can be averaged over them.
  vtkCleanPolyData* merge = vtkCleanPolyData::New();
  merge->SetInputData(mesh);
  merge->PointMergingOn();
  merge->SetTolerance(0.0);
  vtkPolyDataNormals* normals = vtkPolyDataNormals::New();
  normals->SetInputConnection(merge->GetOutputPort());
  normals->ComputePointNormalsOn();
  normals->ComputeCellNormalsOff();
  normals->SplittingOn();
  normals->SetFeatureAngle(CreaseAngle);
  normals->ConsistencyOn();
  const double crowding = PointCrowding(mesh);
  if (crowding > MaximumCrowding)
  {
    // Ordering and splitting would cost the square of the faces around a
    // point; the plain average of the faces' normals costs their number.
    // Copies of one face would only be drawn over each other, every frame.
    vtkRemoveDuplicatePolys* unique = vtkRemoveDuplicatePolys::New();
    unique->SetInputConnection(merge->GetOutputPort());
    normals->SetInputConnection(unique->GetOutputPort());
    unique->Delete();
    normals->ConsistencyOff();
    normals->SplittingOff();
    std::cerr << "The face mesh has points shared by about " << static_cast<long long>(crowding)
              << " faces each: copies of one face are drawn once, and the normals are averaged "
                 "without splitting them at creases"
              << std::endl;
  }
  // The normals filter holds the merge through its input connection.
  merge->Delete();
  return normals;
}

// Gives property the skin colour when face carries no colours (no point or
// cell scalars), whatever its format: the toolkit's white, lit, washes out.
void ColourFaceWithoutColours(vtkPolyData* face, vtkProperty* property)
{
  if (face->GetPointData()->GetScalars() || face->GetCellData()->GetScalars())
  {
    return;
  }
  property->SetColor(SkinColour[0], SkinColour[1], SkinColour[2]);
}

// The camera of the face renderer.
//
// The program's fixed camera looks at the place where its demo head sits,
// from the side and above. It stays for a face placed there (the middle of
// the face near its focal point) that lies in its view at a sensible size,
// so that a scene made for it renders as it always did. Any other face is
// seen from the front along its own up axis, filling most of the window.
// The scene file's camera keywords set the camera explicitly.

// The region the camera must show: the face mesh's bounds (xmin, xmax, ymin,
// ymax, zmin, zmax), widened by how far the face may move (the largest move
// of a control point), and the bounds of every mesh of the scene for the
// clipping range.
struct SceneBounds
{
  double Face[6];
  double All[6];
};

// The fixed camera's clipping range, for the region its position, focal point
// and view-up show.
constexpr double FixedNear = 0.168546;
constexpr double FixedFar = 16.8546;

// A mesh "at a sensible size" spans, across the view, between a tenth of the
// window and three windows.
constexpr double SmallestShare = 0.1;
constexpr double LargestShare = 3.0;

// True when the box lies wholly in front of the camera within its clipping
// range, its middle projects into the window, and its projection spans a
// sensible share of the window.
bool ShowsAtASensibleSize(vtkCamera* camera, const double box[6], double aspect)
{
  vtkMatrix4x4* projection = camera->GetCompositeProjectionTransformMatrix(aspect, -1, 1);
  double low[2] = { VTK_DOUBLE_MAX, VTK_DOUBLE_MAX };
  double high[2] = { -VTK_DOUBLE_MAX, -VTK_DOUBLE_MAX };
  for (int corner = 0; corner < 8; ++corner)
  {
    const double point[4] = {
      box[corner & 1], box[2 + ((corner >> 1) & 1)], box[4 + ((corner >> 2) & 1)], 1.0
    };
    double view[4];
    projection->MultiplyPoint(point, view);
    // Behind the camera, or in front of the near or beyond the far plane.
    if (view[3] <= 0 || view[2] < -view[3] || view[2] > view[3])
    {
      return false;
    }
    for (int axis = 0; axis < 2; ++axis)
    {
      low[axis] = std::min(low[axis], view[axis] / view[3]);
      high[axis] = std::max(high[axis], view[axis] / view[3]);
    }
  }
  // The window spans -1 ... 1 on both axes.
  const double share = std::max(high[0] - low[0], high[1] - low[1]) / 2;
  const bool middleInView = std::abs(low[0] + high[0]) <= 2 && std::abs(low[1] + high[1]) <= 2;
  return middleInView && share >= SmallestShare && share <= LargestShare;
}

// A face placed for the fixed camera, as the demo head is: the middle of
// its box lies within this share of the box's diagonal from the fixed focal
// point.
constexpr double FixedFocalPointReach = 0.2;

bool IsPlacedForTheFixedCamera(const double box[6], const double focalPoint[3])
{
  const vtkBoundingBox bounds(box);
  double middle[3];
  bounds.GetCenter(middle);
  return std::sqrt(vtkMath::Distance2BetweenPoints(middle, focalPoint)) <=
         FixedFocalPointReach * bounds.GetDiagonalLength();
}

// The share of the window's height (or width, when the face is wider than
// the window) that the face's box spans in the view from the front.
constexpr double FrontViewFill = 0.9;

// Looks at the front of the face's box along the meshes' own up axis: for
// Z up from -y with Z up, for Y up from +z with Y up. The focal point is the
// box's middle, and the camera stands back until a section of the box a
// quarter of its depth in front of the middle spans FrontViewFill of the
// window: a face is widest between its middle and its front. The clipping
// range takes every mesh.
void FrameFromTheFront(vtkRenderer* renderer, const SceneBounds& bounds, double aspect, bool yUp)
{
  // Viewing direction, up and the axis across the view, as coordinate
  // indices with the direction's sign.
  const int depthAxis = yUp ? 2 : 1;
  const double towardsFace = yUp ? -1.0 : 1.0;
  const int upAxis = yUp ? 1 : 2;
  const int acrossAxis = 0;
  const double* box = bounds.Face;
  const double height = box[2 * upAxis + 1] - box[2 * upAxis];
  const double width = box[2 * acrossAxis + 1] - box[2 * acrossAxis];
  const double depth = box[2 * depthAxis + 1] - box[2 * depthAxis];

  vtkCamera* camera = renderer->GetActiveCamera();
  const double tangent = std::tan(vtkMath::RadiansFromDegrees(camera->GetViewAngle()) / 2);
  const double distance =
    std::max(height / 2, width / (2 * aspect)) / (FrontViewFill * tangent) + depth / 4;
  double middle[3];
  vtkBoundingBox(box).GetCenter(middle);
  double position[3] = { middle[0], middle[1], middle[2] };
  position[depthAxis] -= towardsFace * distance;
  double up[3] = { 0, 0, 0 };
  up[upAxis] = 1;
  camera->SetFocalPoint(middle);
  camera->SetPosition(position);
  camera->SetViewUp(up);
  renderer->ResetCameraClippingRange(bounds.All);
}

void CheckCameraKeywords(const double position[3],
                         const double focalPoint[3],
                         const double viewUp[3])
{
  double direction[3];
  vtkMath::Subtract(focalPoint, position, direction);
  double side[3];
  vtkMath::Cross(direction, viewUp, side);
  if (vtkMath::Norm(direction) == 0)
  {
    throw program_error("CameraPosition and CameraFocalPoint must be different points");
  }
  if (vtkMath::Norm(side) <= 1e-9 * vtkMath::Norm(direction) * vtkMath::Norm(viewUp))
  {
    throw program_error(
      "CameraViewUp must not be zero or point along the line from CameraPosition to "
      "CameraFocalPoint");
  }
}

SceneBounds MeasureScene(const SceneInput& input)
{
  const double reach = LargestControlPointMove(input.Settings);
  SceneBounds bounds;
  vtkBoundingBox box(input.Face->GetBounds());
  box.Inflate(reach);
  box.GetBounds(bounds.Face);
  if (input.Hair)
  {
    box.AddBounds(input.Hair->GetBounds());
  }
  box.GetBounds(bounds.All);
  return bounds;
}

// Places the active camera of renderer for a window of the given aspect
// (width / height). For meshes with Y up (yUp), the fixed camera and the
// front view are turned with the meshes' axes, Z up to Y up, so that they
// show the same view of a head turned that way; the camera keywords are
// taken as written. Throws program_error when the scene file's camera
// keywords give no usable camera (position on the focal point, or a view-up
// along the viewing direction).
void PlaceCamera(vtkRenderer* renderer,
                 vtkDatReader* reader,
                 const SceneBounds& bounds,
                 double aspect,
                 bool yUp)
{
  vtkCamera* camera = renderer->GetActiveCamera();
  double position[3], focalPoint[3], viewUp[3];
  reader->GetCameraPosition(position);
  reader->GetCameraFocalPoint(focalPoint);
  reader->GetCameraViewUp(viewUp);
  if (reader->GetUseCamera())
  {
    CheckCameraKeywords(position, focalPoint, viewUp);
  }
  else if (yUp)
  {
    // The same vectors in the Y-up frame: x stays, the Z-up z becomes y, and
    // the view along +y of Z up is along -z.
    for (double* vector : { position, focalPoint, viewUp })
    {
      const double y = vector[1];
      vector[1] = vector[2];
      vector[2] = -y;
    }
  }
  camera->SetPosition(position[0], position[1], position[2]);
  camera->SetFocalPoint(focalPoint[0], focalPoint[1], focalPoint[2]);
  camera->SetViewUp(viewUp[0], viewUp[1], viewUp[2]);
  if (reader->GetUseCamera())
  {
    camera->OrthogonalizeViewUp();
    renderer->ResetCameraClippingRange(bounds.All);
    return;
  }
  camera->SetClippingRange(FixedNear, FixedFar);
  if (IsPlacedForTheFixedCamera(bounds.Face, focalPoint) &&
      ShowsAtASensibleSize(camera, bounds.Face, aspect))
  {
    return;
  }
  FrameFromTheFront(renderer, bounds, aspect, yUp);
}

// The steps of BuildScene; every object goes into scene as soon as it is made.
void AssembleScene(Scene& scene,
                   const SceneInput& input,
                   vtkAbstractTransform* transform,
                   SceneRole role)
{
  vtkDatReader* reader = input.Settings;
  const bool run = role == SceneRole::Run;
  const bool useBackground =
    reader->GetUseBackground() != 0 &&
    ImageIsUsable(reader->GetImageActor()->GetMapper()->GetInputAlgorithm(),
                  "background image",
                  "the window shows the background colour instead");
  float* background = reader->GetBackGroundColor();

  scene.FaceRenderer = vtkRenderer::New();
  scene.FaceRenderer->SetBackground(background[0], background[1], background[2]);
  scene.Window = vtkRenderWindow::New();
  // The image's renderer goes first: it clears the window, and the face's
  // renderer draws over what it leaves.
  if (useBackground)
  {
    scene.FaceRenderer->SetLayer(FaceLayer);
    scene.BackgroundRenderer = MakeBackgroundRenderer(reader);
    scene.Window->SetNumberOfLayers(2);
    scene.Window->AddRenderer(scene.BackgroundRenderer);
  }
  scene.Window->AddRenderer(scene.FaceRenderer);
  int* size = reader->GetWindowSize();
  scene.Window->SetSize(size[0], size[1]);

  scene.Interactor = vtkRenderWindowInteractor::New();
  scene.Interactor->SetRenderWindow(scene.Window);

  WarnAboutScale(reader, input.Face);

  // The transform carries the normals; a face without them gets them first.
  vtkPolyData* surface = input.Drawn ? input.Drawn : input.Face;
  scene.FaceNormals = NewSmoothNormals(surface);
  scene.DrawsUserMesh = !scene.FaceNormals && !input.Drawn;
  vtkPolyData* drawn = surface;
  if (scene.FaceNormals)
  {
    scene.FaceNormals->Update();
    drawn = vtkPolyData::SafeDownCast(scene.FaceNormals->GetOutputDataObject(0));
  }
  if (run)
  {
    CheckFramesStayFinite(drawn, transform, reader);
  }

  stopwatch_start();
  scene.TransformFilter = vtkTransformPolyDataFilter::New();
  scene.TransformFilter->SetTransform(transform);
  if (scene.FaceNormals)
  {
    scene.TransformFilter->SetInputConnection(scene.FaceNormals->GetOutputPort());
  }
  else
  {
    scene.TransformFilter->SetInputData(surface);
  }
  std::cout << "Transform time: " << stopwatch_elapsed() << " sec." << std::endl;

  scene.FaceMapper = vtkDataSetMapper::New();
  scene.FaceMapper->SetInputConnection(scene.TransformFilter->GetOutputPort());

  scene.HairMapping = vtkTextureMapToCylinder::New();
  // Without hair, the hair's pipeline holds an empty mesh.
  scene.HairMapping->SetInputData(input.Hair ? input.Hair.Get() : vtkNew<vtkPolyData>().Get());
  scene.HairMapper = vtkDataSetMapper::New();
  scene.HairMapper->SetInputConnection(scene.HairMapping->GetOutputPort());

  scene.FaceActor = vtkActor::New();
  scene.FaceActor->SetMapper(scene.FaceMapper);
  SetFaceMaterial(scene.FaceActor->GetProperty());
  ColourFaceWithoutColours(surface, scene.FaceActor->GetProperty());
  scene.BackFaceProperty = vtkProperty::New();
  scene.BackFaceProperty->SetColor(0.736581f, 0.579412f, 0.573591f);
  scene.FaceActor->SetBackfaceProperty(scene.BackFaceProperty);
  scene.MaterialActors =
    AddMaterialActors(surface, scene.TransformFilter, scene.FaceActor, scene.FaceRenderer);

  scene.HairActor = vtkActor::New();
  scene.HairActor->SetMapper(scene.HairMapper);
  if (reader->GetUseTexture() == 1 && ImageIsUsable(reader->GetTexture()->GetInputAlgorithm(),
                                                    "hair texture",
                                                    "the hair is drawn without it"))
  {
    scene.HairActor->SetTexture(reader->GetTexture());
  }
  SetHairMaterial(scene.HairActor->GetProperty());
  scene.HairActor->SetBackfaceProperty(scene.BackFaceProperty);

  scene.FaceRenderer->AddViewProp(scene.FaceActor);
  if (input.Hair)
  {
    scene.FaceRenderer->AddViewProp(scene.HairActor);
  }
  if (run)
  {
    scene.Marks = NewControlPointMarks(reader,
                                       transform,
                                       MarkRadiusShare * input.Face->GetLength(),
                                       reader->GetShowControlPoints(),
                                       scene.FaceRenderer,
                                       scene.Interactor);
  }
  PlaceCamera(scene.FaceRenderer,
              reader,
              MeasureScene(input),
              static_cast<double>(size[0]) / size[1],
              input.YUp);

  RenderFrame(scene);
  // Frame 0 has evaluated the field at every face point.
  if (vtkShapeTransform* shape = vtkShapeTransform::SafeDownCast(transform))
  {
    WarnAboutMotionBeyondSupports(reader, shape);
    WarnAboutOvershoot(reader, shape);
  }
  scene.FrameWriter = vtkBMPWriter::New();
  if (run && reader->GetSaveImages() == 1)
  {
    CaptureFrame(scene, 0);
  }
}
}

Scene BuildScene(const SceneInput& input, vtkAbstractTransform* transform, SceneRole role)
{
  Scene scene{};
  try
  {
    AssembleScene(scene, input, transform, role);
  }
  catch (...)
  {
    ReleaseScene(scene);
    throw;
  }
  return scene;
}

void ReleaseScene(Scene& scene)
{
  Release(scene.FaceRenderer);
  Release(scene.Window);
  Release(scene.Interactor);
  ReleaseControlPointMarks(scene.Marks);
  Release(scene.FaceMapper);
  Release(scene.FaceActor);
  Release(scene.MaterialActors);
  Release(scene.TransformFilter);
  Release(scene.BackgroundRenderer);
  Release(scene.FrameWriter);
  Release(scene.FaceNormals);
  Release(scene.HairMapping);
  Release(scene.HairMapper);
  Release(scene.HairActor);
  Release(scene.BackFaceProperty);
}

void RenderFrame(Scene& scene)
{
  FollowTheFace(scene.Marks);
  scene.Window->Render();
}

void CaptureFrame(Scene& scene, int index)
{
  char name[32];
  std::snprintf(name, sizeof(name), "image%.4d.bmp", index);
  vtkWindowToImageFilter* capture = vtkWindowToImageFilter::New();
  capture->SetInput(scene.Window);
  scene.FrameWriter->SetInputConnection(capture->GetOutputPort());
  scene.FrameWriter->WriteToMemoryOn();
  scene.FrameWriter->Write();
  vtkUnsignedCharArray* image = scene.FrameWriter->GetResult();
  const bool rendered = scene.FrameWriter->GetErrorCode() == 0 && image;
  capture->Delete();
  // The user asked for every frame: a run that loses some is not complete.
  WriteAtomically(name,
                  [image, rendered](int descriptor)
                  {
                    return rendered ? WriteAll(descriptor,
                                               image->GetPointer(0),
                                               static_cast<std::size_t>(image->GetNumberOfValues()))
                                    : EIO;
                  });
}
