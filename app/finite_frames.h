// The frames of a run hold finite points only. A weight or a polynomial part
// that is finite in itself can still carry face points beyond the
// single-precision range of the deformed mesh; the run is then refused once,
// before any frame is rendered, instead of rendering and writing infinities.
#ifndef finite_frames_h
#define finite_frames_h

class vtkAbstractTransform;
class vtkDatReader;
class vtkPolyData;

// Bounds every coordinate of every frame of the face under transform (the
// shape transform, or the expressions' transform of the scene's
// expressions): a point x reaches at most |x| + sum over the expressions k
// of W_k |d_k(x)|, where d_k(x) is the move of expression k at weight 1 and
// W_k the largest magnitude the scene's Key lines give its weight, at least
// 1 (the triangle wave stays below 1; the glTF file's morph targets and the
// exported shapes hold weight 1). face is the mesh the transform deforms in
// the frames, whose points its cache then belongs to. Throws program_error
// naming the first face point whose bound is beyond single precision, the
// expression that moves it most and its weight.
void CheckFramesStayFinite(vtkPolyData* face,
                           vtkAbstractTransform* transform,
                           vtkDatReader* reader);

#endif
