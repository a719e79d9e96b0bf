// The field store: every grid, field array, control value and hand-off value of one run.
//
// One object, zero at the start, fixed in size (about 102.5 MB of doubles), created once by
// the driver and handed by reference to each phase. Its capacities are the program's limits
// on grid size. Field arrays are indexed (i, j, k) from 1 along (x, y, z), i fastest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "store/grid.h"

namespace korvane {

// The name the converter's messages speak for (TextPlace::program): each phase of a run
// reads and writes the run's files on the store, so the name lives beside it.
inline constexpr std::string_view converter_name = "korvane";

struct FieldStore {
  // Field arrays of the exported region, the full input grid and the output grid.
  InputField ExIn, EyIn, EzIn, HxIn, HyIn, HzIn;
  InputField ExFull, EyFull, EzFull, HxFull, HyFull, HzFull;
  OutputField ExOut, EyOut, EzOut, HxOut, HyOut, HzOut;

  // Node coordinates of the full input grid and of the output grid.
  Axis<Nixmax> Xi;
  Axis<Niymax> Yi;
  Axis<Nizmax> Zi;
  Axis<Noxmax> xmws;
  Axis<Noymax> ymws;
  Axis<Nozmax> zmws;

  // Input grid: first the exported region, then the full grid after unfolding.
  double Ximin, Ximax, Yimin, Yimax, Zimin, Zimax;
  std::int32_t Nix, Niy, Niz;
  double dXi, dYi, dZi;  // steps of the exported region as found; logged only
  std::int32_t iord;

  // Output grid and the steps used to lay out both grids' coordinates.
  double Xmin, Xmax, Ymin, Ymax, Zmin, Zmax;
  double dx, dy, dz;

  // Control values. fname is the table's name, blank-padded to 132 characters.
  std::array<char, name_length> fname;
  std::int32_t ifield;
  std::int32_t isym_x, isym_y, isym_z;
  std::int32_t nfile, ifmt;
  std::int32_t ksym_x, ksym_y, ksym_z;
  double d_elm, aper, fscale, cscale;
  std::int32_t Nox, Noy, Noz;

  // Export table reading.
  std::int32_t ireim;
  std::array<char, name_length> line;
  double xrec, yrec, zrec, xrec1, yrec1, zrec1;
  double vxre, vyre, vzre, vxim, vyim, vzim;
  std::int32_t icount, ios;
  // Bounds of the regular mesh between the first and the last record the scan found,
  // before any Z shift (table units times cscale): what each record's coordinates are
  // checked against while the field is loaded.
  double mesh_lo[3], mesh_hi[3];

  // Symmetry unfolding. z_half_kept is 1 when the table is a z half that the output keeps
  // (isym_z as read, not 0 and equal to ksym_z): that half stays where it is, from z = 0.
  std::int32_t symcode;
  std::int32_t z_half_kept;
  double sgnx, sgny, sgnz;
  std::int32_t isrc, jsrc, ksrc;
  std::int32_t Nfx, Nfy, Nfz;

  // Interpolation hand-off: the point last interpolated and its field, kept as the record
  // of the last node; no phase reads them afterwards.
  double xo, yo, zo;
  double fe[3], fh[3];

  // Output.
  std::array<char, name_length> fname_out;
  std::int32_t k_s_EH;
  std::int32_t iend;
  double mu0;
};

struct StoreDeleter {
  void operator()(FieldStore* store) const;
};
using StorePtr = std::unique_ptr<FieldStore, StoreDeleter>;

// A new store, every byte zero. Zero pages come from the system on demand (large pages where
// it has them), so the parts of the capacity a run never touches cost no memory. Throws
// std::bad_alloc when the memory is not there.
StorePtr make_store();

// The table name as the file system is to see it: the record's bytes less trailing blanks.
std::string table_name(const FieldStore& store);

}  // namespace korvane
