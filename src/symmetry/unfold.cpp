#include "symmetry/unfold.h"

namespace korvane {
namespace {

bool valid_case(int symcode) {
  if (symcode < 0 || symcode > 222) return false;
  return symcode / 100 <= 2 && symcode / 10 % 10 <= 2 && symcode % 10 <= 2;
}

}  // namespace

void unfold_symmetry(FieldStore& s, TaskPool* pool) {
  // Judged on the codes as read: a kept plane's code is cleared just below.
  s.z_half_kept = s.isym_z != 0 && s.isym_z == s.ksym_z ? 1 : 0;
  if (s.isym_x == s.ksym_x) s.isym_x = 0;
  if (s.isym_y == s.ksym_y) s.isym_y = 0;
  if (s.isym_z == s.ksym_z) s.isym_z = 0;
  s.symcode = 100 * s.isym_x + 10 * s.isym_y + s.isym_z;
  if (!valid_case(s.symcode)) return;

  // The weighted sum selects the case: its digits are the codes that are unfolded.
  const int code[3] = {s.symcode / 100, s.symcode / 10 % 10, s.symcode % 10};
  const std::int32_t exported[3] = {s.Nix, s.Niy, s.Niz};
  std::int32_t full[3];
  for (int a = 0; a < 3; ++a) full[a] = code[a] != 0 ? 2 * exported[a] - 1 : exported[a];
  s.Nfx = full[0];
  s.Nfy = full[1];
  s.Nfz = full[2];

  const InputField* sources[6] = {&s.ExIn, &s.EyIn, &s.EzIn, &s.HxIn, &s.HyIn, &s.HzIn};
  InputField* targets[6] = {&s.ExFull, &s.EyFull, &s.EzFull,
                            &s.HxFull, &s.HyFull, &s.HzFull};

  // Source index and parity factor of full node n along axis a.
  auto source = [&](int a, int n, int& m, double& sign) {
    if (code[a] == 0) {
      m = n;
      sign = 1.0;
    } else {
      const int N = exported[a];
      m = (n >= N ? n - N : N - n) + 1;
      sign = n >= N ? 1.0 : -1.0;
    }
  };

  // The source indices and signs are the store's record of the node last unfolded, which
  // nothing reads; a range of planes works on its own copy of them, and the range that
  // holds the last plane hands its copy back, so the store ends as after one thread.
  struct Source {
    std::int32_t isrc, jsrc, ksrc;
    double sgnx, sgny, sgnz;
  };
  auto unfold_planes = [&](int first, int last, Source& at) {
    for (int nz = first; nz <= last; ++nz) {
      source(2, nz, at.ksrc, at.sgnz);
      for (int ny = 1; ny <= full[1]; ++ny) {
        source(1, ny, at.jsrc, at.sgny);
        for (int nx = 1; nx <= full[0]; ++nx) {
          source(0, nx, at.isrc, at.sgnx);
          const double sign[3] = {at.sgnx, at.sgny, at.sgnz};
          for (int component = 0; component < 3; ++component) {
            double factor = 1.0;
            for (int a = 0; a < 3; ++a) {
              if (is_odd(code[a], a, component)) factor *= sign[a];
            }
            const double e = (*sources[component])(at.isrc, at.jsrc, at.ksrc);
            const double h = (*sources[component + 3])(at.isrc, at.jsrc, at.ksrc);
            (*targets[component])(nx, ny, nz) = factor * e;
            (*targets[component + 3])(nx, ny, nz) = factor * h;
          }
        }
      }
    }
  };
  const Source before = {s.isrc, s.jsrc, s.ksrc, s.sgnx, s.sgny, s.sgnz};
  Source after = before;
  run_spans(pool, 1, full[2], [&](int first, int last) {
    Source at = before;
    unfold_planes(first, last, at);
    if (last == full[2]) after = at;
  });
  s.isrc = after.isrc, s.jsrc = after.jsrc, s.ksrc = after.ksrc;
  s.sgnx = after.sgnx, s.sgny = after.sgny, s.sgnz = after.sgnz;

  if (code[0] != 0) s.Nix = full[0], s.Ximin = -s.Ximax;
  if (code[1] != 0) s.Niy = full[1], s.Yimin = -s.Yimax;
  if (code[2] != 0) s.Niz = full[2], s.Zimin = -s.Zimax;
}

}  // namespace korvane
