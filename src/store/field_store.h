// The field store: every grid, field array, control value and hand-off value of one run.
//
// One object, zero at the start, fixed in size (about 102.5 MB of doubles), created once by
// the driver and handed by reference to each phase. Its capacities are the program's limits
// on grid size. Field arrays are indexed (i, j, k) from 1 along (x, y, z), i fastest. It
// holds what passes from one phase to another (or to the log or the file); what a phase
// uses only while it runs is that phase's own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "store/grid.h"
#include "store/grid_rules.h"

namespace korvane {

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

  // Output grid.
  double Xmin, Xmax, Ymin, Ymax, Zmin, Zmax;

  // Control values. fname is the table's name, blank-padded to 132 characters.
  std::array<char, name_length> fname;
  std::int32_t ifield;
  std::int32_t isym_x, isym_y, isym_z;
  std::int32_t nfile, ifmt;
  std::int32_t ksym_x, ksym_y, ksym_z;
  double d_elm, aper, fscale, cscale;
  std::int32_t Nox, Noy, Noz;

  // Export table reading: the column layout the probe found.
  std::int32_t ireim;
  // Bounds of the regular mesh between the first and the last record the scan found,
  // before any Z shift (table units times cscale): what each record's coordinates are
  // checked against while the field is loaded.
  double mesh_lo[3], mesh_hi[3];

  // Symmetry unfolding. symcode = 100 isym_x + 10 isym_y + isym_z after the codes the output
  // keeps are cleared: which axes were unfolded, for the transfer's same-grid test.
  // z_half_kept is 1 when the table is a z half that the output keeps (isym_z as read, not 0
  // and equal to ksym_z): that half stays where it is, from z = 0, for the z centring.
  std::int32_t symcode;
  std::int32_t z_half_kept;

  // Output: the field file's name as logged, the flag and the end marker its records
  // carry, and the magnetic constant the log starts with.
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

// The grids as the rules of grid_rules.h take them and give them back: the input grid (the
// exported region, or the full grid after unfolding) and the output grid, bounds and
// counts.
GridExtent input_extent(const FieldStore& store);
GridExtent output_extent(const FieldStore& store);
void set_input_extent(FieldStore& store, const GridExtent& grid);
void set_output_extent(FieldStore& store, const GridExtent& grid);

}  // namespace korvane
