#include "envelope.h"

#include "fixed_texts.h"
#include "progress.h"

#include <cstdio>
#include <new>

envelope_matrix envelope = { 0, nullptr, nullptr, nullptr, 0 };

namespace
{
animation::core::envelope_view view_of(const envelope_matrix& a)
{
  return { a.n, a.Xenv, a.Env, a.Diag };
}
}

int envelope_solve(int mode, float* rhs)
{
  envelope_matrix& a = envelope;
  if (mode == 0 || mode == 1)
  {
    envelope_factor(a.n, a.Xenv, a.Env, a.Diag, &a.Iflag);
    if (a.Iflag == 1)
    {
      std::printf(animation::fixed::matrix_not_positive, a.Iflag);
      std::fflush(stdout);
    }
  }
  if (mode == 0 || mode == 2)
  {
    animation::core::envelope_solve(view_of(a), rhs);
  }
  return a.Iflag;
}

void envelope_solve_many(int count, float* const* rhs)
{
  animation::core::envelope_solve_many(view_of(envelope), count, rhs);
}

void envelope_factor(int n, const int* Xenv, float* Env, float* Diag, int* Iflag)
{
  envelope_factor_tiled(n, Xenv, Env, Diag, Iflag, animation::core::envelope_tile_select());
}

void envelope_factor_tiled(int n,
                           const int* Xenv,
                           float* Env,
                           float* Diag,
                           int* Iflag,
                           const animation::core::envelope_tile_kernel& kernel)
{
  animation::fixed::progress_line_sink line;
  const int failed = animation::core::envelope_factor_tiled({ n, Xenv, Env, Diag }, kernel, &line);
  if (failed == animation::core::envelope_no_memory)
  {
    throw std::bad_alloc();
  }
  if (failed >= 0)
  {
    *Iflag = 1;
  }
}
