#include "regrid/regrid.h"

namespace korvane {

void setup_output_grid(FieldStore& s, ListWriter& log) {
  lay_out_axis(s.Xi, s.Ximin, s.Ximax, s.Nix);
  lay_out_axis(s.Yi, s.Yimin, s.Yimax, s.Niy);
  lay_out_axis(s.Zi, s.Zimin, s.Zimax, s.Niz);

  log.record(" Full input grid ");
  log.record(" Ximin, Ximax, Nix = ", s.Ximin, s.Ximax, s.Nix);
  log.record(" Yimin, Yimax, Niy = ", s.Yimin, s.Yimax, s.Niy);
  log.record(" Zimin, Zimax, Niz = ", s.Zimin, s.Zimax, s.Niz);
  log.record(" ------------------------------ ");

  // The output region comes from the control values alone; an axis the output keeps
  // symmetric starts at its plane.
  const std::int32_t ksym[3] = {s.ksym_x, s.ksym_y, s.ksym_z};
  GridExtent region = output_extent(s);
  region_bounds(s.aper, s.d_elm, ksym, region);
  set_output_extent(s, region);

  lay_out_axis(s.xmws, s.Xmin, s.Xmax, s.Nox);
  lay_out_axis(s.ymws, s.Ymin, s.Ymax, s.Noy);
  lay_out_axis(s.zmws, s.Zmin, s.Zmax, s.Noz);

  log.record(" Output grid parameters ");
  log.record(" Xmin, Xmax, Nox = ", s.Xmin, s.Xmax, s.Nox);
  log.record(" Ymin, Ymax, Noy = ", s.Ymin, s.Ymax, s.Noy);
  log.record(" Zmin, Zmax, Noz = ", s.Zmin, s.Zmax, s.Noz);
  log.record(" ------------------------------ ");
}

bool same_grid(const FieldStore& s) {
  return same_grid(input_extent(s), output_extent(s), s.symcode);
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

void transfer_field(FieldStore& s, ListWriter& log, TaskPool* team) {
  if (same_grid(s)) {
    log.record(" Same symmetry and grid, No need for interpolation",
               ", Simply write the field ...");
    transfer_direct(s);
    return;
  }
  log.record(" Symmetry or grid are different, Interpolate ...");
  check_interpolation_grid(s);
  interpolate_field(s, team);
}

}  // namespace korvane
