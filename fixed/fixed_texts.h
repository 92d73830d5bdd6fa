// The program's fixed names and texts, in one place.
//
// fixed: keep the spelling. Every name and text below is part of the
// program's interface exactly as it is written, misspellings included: the
// console, the error messages that scripts and users match, and the names
// that other code calls. Do not correct them. All of them live in this
// folder, fixed/, or in the program above it; the numerics and the toolkit
// module below know none of them.
//
// Fixed names (declared where they live, listed here so nobody renames them):
//   GetWellOderredList                 well_ordered_list.h
//   vtkDatReader, vtkMatrixSolver, vtkShapeTransform and their accessors
//     (BackGroundColor, UnList, PointArrayN, SplineCoeffX ...)
//                                      vtkDatReader.h, vtkMatrixSolver.h,
//                                      vtkShapeTransform.h
//   envelope, envelope_solve (modes 0, 1, 2), envelope_solve_many,
//     envelope_factor, envelope_lower_solve, envelope_upper_solve, Diag,
//     Xenv, Env, Iflag                 envelope.h
//   qr_matrix, qr_rhs, qr_solve, qr_factor, qr_forward_solve, qr_apply_q,
//     vector_norm, vector_dot, vector_scale, vector_axpy
//                                      qr.h
//   allocate_matrix, free_matrix       allocate_matrix.h
//
// Fixed texts below, and where the others are printed:
//   "Animation", "Information:", "Version 0.2 ",
//   "Time precission on this computer is ", "Thank you for using our application"
//                                       app/main.cxx, the banner and the farewell
//   "Very-very bad!"                    scene/read_stage.cxx, when ReadFile fails
//   "Not correct FileName", "Not enough memory"
//                                       vtkDatReader.cxx, error traces of ReadFile
//   "Tree build time: ", "Sorting time: "
//                                       vtkDatReader.cxx
//   "Constructing time: ", "Size of matrix A is (", "Solving time: "
//                                       vtkMatrixSolver.cxx
//   "Solving time: " (with a blank after "sec.")
//                                       app/solve_stage.cxx, scene/expressions.cxx
//   "Transform time: "                  app/scene.cxx
//   " frames generated in ", "Average speed: "
//                                       app/animation_loop.cxx, the frame report
#ifndef animation_fixed_texts_h
#define animation_fixed_texts_h

namespace animation
{
namespace fixed
{
// printf format of the failed factorisation, two blanks before "Iflag".
constexpr const char* matrix_not_positive = "Matrix is not positive  Iflag =%d\n";

// Thrown texts of the solve and its helpers.
constexpr const char* no_memory_diag = "Not enough memory to allocate Diag";
constexpr const char* no_memory_xenv = "Not enough memory to allocate Xenv";
constexpr const char* no_memory_env = "Not enough memory to allocate Env";
constexpr const char* no_memory_env_growth = "Not enogh memory to floatlocate Env";
constexpr const char* no_memory_fff = "allocation faliture for the FFF";
constexpr const char* no_memory_coeff = "allocation faliture for the SplineCoeff";
constexpr const char* no_memory_matrix_rows_pointer =
  "allocation faliture for the matrix in allocate_matrix";
constexpr const char* no_memory_matrix_rows =
  "allocation faliture for the rows of matrix in allocate_matrix";
constexpr const char* no_memory_ordering = "GetWellOderredList: Can not allocate result array!";

}
}

#endif
