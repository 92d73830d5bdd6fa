// The frames of a run hold finite points only. A weight or a polynomial part
// that is finite in itself can still carry face points beyond the
// single-precision range of the deformed mesh; the run is then refused once,
// before the frames, instead of rendering and writing infinities.
#ifndef finite_frames_h
#define finite_frames_h

struct Scene;
struct SplineFit;

// Bounds every coordinate of every frame, with frame 0 rendered (the
// transform's cache filled): a face point x reaches at most
// |x| + sum over the expressions k of W_k |d_k(x)|, where d_k(x) is the move
// of expression k at weight 1 and W_k the largest magnitude its weight takes
// in the run (at least 1, the weight the glTF file's morph targets and the
// exported shapes hold). Throws program_error naming the first face point
// whose bound is not finite in single precision, and the expression that
// moves it most, with its weight.
void CheckFramesStayFinite(Scene& scene, SplineFit& fit);

#endif
