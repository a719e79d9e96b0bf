#include "symmetry/unfold.h"

namespace korvane {

void unfold_symmetry(FieldStore& s, TaskPool* team) {
  const std::int32_t isym[3] = {s.isym_x, s.isym_y, s.isym_z};
  const std::int32_t ksym[3] = {s.ksym_x, s.ksym_y, s.ksym_z};
  const UnfoldedGrid unfolded = unfold_grid(input_extent(s), isym, ksym);
  s.z_half_kept = unfolded.z_half_kept ? 1 : 0;
  s.isym_x = unfolded.isym[0], s.isym_y = unfolded.isym[1], s.isym_z = unfolded.isym[2];
  s.symcode = unfolded.symcode;
  if (!unfolded.valid) return;

  // The weighted sum selects the case: its digits are the codes that are unfolded.
  const int code[3] = {s.symcode / 100, s.symcode / 10 % 10, s.symcode % 10};
  const std::int32_t exported[3] = {s.Nix, s.Niy, s.Niz};
  const std::int32_t* full = unfolded.grid.count;

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

  // Every full node is fed from its own source node, so z planes may go to different threads.
  run_spans(team, 1, full[2], [&](int first, int last) {
    for (int nz = first; nz <= last; ++nz) {
      int ksrc;
      double sgnz;
      source(2, nz, ksrc, sgnz);
      for (int ny = 1; ny <= full[1]; ++ny) {
        int jsrc;
        double sgny;
        source(1, ny, jsrc, sgny);
        for (int nx = 1; nx <= full[0]; ++nx) {
          int isrc;
          double sgnx;
          source(0, nx, isrc, sgnx);
          const double sign[3] = {sgnx, sgny, sgnz};
          for (int component = 0; component < 3; ++component) {
            double factor = 1.0;
            for (int a = 0; a < 3; ++a) {
              if (is_odd(code[a], a, component)) factor *= sign[a];
            }
            const double e = (*sources[component])(isrc, jsrc, ksrc);
            const double h = (*sources[component + 3])(isrc, jsrc, ksrc);
            (*targets[component])(nx, ny, nz) = factor * e;
            (*targets[component + 3])(nx, ny, nz) = factor * h;
          }
        }
      }
    }
  });

  set_input_extent(s, unfolded.grid);
}

}  // namespace korvane
