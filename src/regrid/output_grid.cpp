#include <cmath>

#include "regrid/regrid.h"

namespace korvane {

void setup_output_grid(FieldStore& s, ListWriter& log) {
  s.dx = lay_out_axis(s.Xi, s.Ximin, s.Ximax, s.Nix);
  s.dy = lay_out_axis(s.Yi, s.Yimin, s.Yimax, s.Niy);
  s.dz = lay_out_axis(s.Zi, s.Zimin, s.Zimax, s.Niz);

  log.record(" Full input grid ");
  log.record(" Ximin, Ximax, Nix = ", s.Ximin, s.Ximax, s.Nix);
  log.record(" Yimin, Yimax, Niy = ", s.Yimin, s.Yimax, s.Niy);
  log.record(" Zimin, Zimax, Niz = ", s.Zimin, s.Zimax, s.Niz);
  log.record(" ------------------------------ ");

  // The output region comes from the control values alone; an axis the output keeps
  // symmetric starts at its plane.
  s.Xmin = -s.aper;
  s.Xmax = s.aper;
  if (s.ksym_x != 0) s.Xmin = 0.0;
  s.Ymin = -s.aper;
  s.Ymax = s.aper;
  if (s.ksym_y != 0) s.Ymin = 0.0;
  s.Zmin = -(s.d_elm / 2.0);
  s.Zmax = s.d_elm / 2.0;
  if (s.ksym_z != 0) s.Zmin = 0.0;

  s.dx = lay_out_axis(s.xmws, s.Xmin, s.Xmax, s.Nox);
  s.dy = lay_out_axis(s.ymws, s.Ymin, s.Ymax, s.Noy);
  s.dz = lay_out_axis(s.zmws, s.Zmin, s.Zmax, s.Noz);

  log.record(" Output grid parameters ");
  log.record(" Xmin, Xmax, Nox = ", s.Xmin, s.Xmax, s.Nox);
  log.record(" Ymin, Ymax, Noy = ", s.Ymin, s.Ymax, s.Noy);
  log.record(" Zmin, Zmax, Noz = ", s.Zmin, s.Zmax, s.Noz);
  log.record(" ------------------------------ ");
}

bool same_grid(const FieldStore& s) {
  auto close = [](double a, double b) { return std::fabs(a - b) < 1e-6; };
  return close(s.Zimax, s.Zmax) && close(s.Yimax, s.Ymax) && close(s.Ximax, s.Xmax) &&
         close(s.Zimin, s.Zmin) && close(s.Yimin, s.Ymin) && close(s.Ximin, s.Xmin) &&
         s.Noz == s.Niz && s.Noy == s.Niy && s.symcode == 0 && s.Nox == s.Nix;
}

void transfer_direct(FieldStore& s) {
  for (int i = 1; i <= s.Nox; ++i) {
    for (int j = 1; j <= s.Noy; ++j) {
      for (int k = 1; k <= s.Noz; ++k) {
        s.ExOut(i, j, k) = s.ExFull(i, j, k);
        s.EyOut(i, j, k) = s.EyFull(i, j, k);
        s.EzOut(i, j, k) = s.EzFull(i, j, k);
        s.HxOut(i, j, k) = s.HxFull(i, j, k);
        s.HyOut(i, j, k) = s.HyFull(i, j, k);
        s.HzOut(i, j, k) = s.HzFull(i, j, k);
      }
    }
  }
}

void transfer_field(FieldStore& s, ListWriter& log, TaskPool* pool) {
  if (same_grid(s)) {
    log.record(" Same symmetry and grid, No need for interpolation",
               ", Simply write the field ...");
    transfer_direct(s);
    return;
  }
  log.record(" Symmetry or grid are different, Interpolate ...");
  check_interpolation_grid(s);
  interpolate_field(s, pool);
}

}  // namespace korvane
