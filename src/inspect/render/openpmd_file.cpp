#include "inspect/render/openpmd_file.h"

#include <hdf5.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "textio/errors.h"

namespace korvane::inspect {
namespace {

// An HDF5 identifier and the function that closes it. A negative id is a failed call: the
// constructor throws with the step named. Every identifier is closed by close(), which
// checks the result: closing a dataset or the file is where data goes out, so a failure
// there is a failure to write. The destructor closes, unchecked, only what an exception
// left open.
class Id {
 public:
  using Close = herr_t (*)(hid_t);
  Id(hid_t id, Close close, const char* step, const std::string& file) : id_(id), close_(close) {
    if (id_ < 0) fail(step, file);
  }
  ~Id() {
    if (id_ >= 0) close_(id_);
  }
  Id(Id&& other) noexcept : id_(std::exchange(other.id_, -1)), close_(other.close_) {}
  Id(const Id&) = delete;
  Id& operator=(const Id&) = delete;
  operator hid_t() const { return id_; }
  void close(const std::string& file) {
    const hid_t id = std::exchange(id_, -1);
    if (close_(id) < 0) fail(closing(), file);
  }

  [[noreturn]] static void fail(const char* step, const std::string& file) {
    throw std::runtime_error("cannot write '" + printable(file) + "': the HDF5 library failed to " +
                             step);
  }

 private:
  const char* closing() const {
    if (close_ == H5Fclose) return "close the file";
    if (close_ == H5Gclose) return "close a group";
    if (close_ == H5Dclose) return "close a dataset";
    if (close_ == H5Aclose) return "close an attribute";
    if (close_ == H5Sclose) return "close a dataspace";
    if (close_ == H5Tclose) return "close a type";
    return "close a property list";
  }

  hid_t id_;
  Close close_;
};

// The values lie x fastest: dimensions (z, y, x) as HDF5 states them, (x, y, z) in Fortran's
// reading. The group's axisLabels name that order, z y x, as Bmad labels its own maps:
// FieldMesh transposes a dataset so labelled to x, y, z, and Bmad's reader takes labels
// that are its x y z reversed as Fortran order. gridSize and the other per-axis attributes
// are in x, y, z order. No gridDataOrder, on the group or on a component: the current
// FieldMesh warns of it on each component as a legacy of axisLabels, and a reader of Bmad
// that finds neither reads Fortran order, the same.
constexpr const char* axis_labels[3] = {"z", "y", "x"};

class Writer {
 public:
  explicit Writer(const std::string& shown) : shown_(shown) {}

  // A fixed-length string, null-terminated, as the HDF5 high-level library writes them.
  Id string_type(std::size_t length) const {
    Id type(H5Tcopy(H5T_C_S1), H5Tclose, "make a string type", shown_);
    check(H5Tset_size(type, length + 1), "make a string type");
    check(H5Tset_strpad(type, H5T_STR_NULLTERM), "make a string type");
    return type;
  }

  void string(hid_t object, const char* name, const std::string& value) const {
    Id type = string_type(value.size());
    Id space(H5Screate(H5S_SCALAR), H5Sclose, "make a dataspace", shown_);
    write_attribute(object, name, type, type, space, value.c_str());
    space.close(shown_);
    type.close(shown_);
  }

  void strings(hid_t object, const char* name, const std::vector<std::string>& values) const {
    std::size_t longest = 0;
    for (const std::string& v : values) longest = std::max(longest, v.size());
    Id type = string_type(longest);
    std::vector<char> bytes(values.size() * (longest + 1), '\0');
    for (std::size_t n = 0; n < values.size(); ++n) {
      values[n].copy(bytes.data() + n * (longest + 1), longest);
    }
    const hsize_t count = values.size();
    Id space(H5Screate_simple(1, &count, nullptr), H5Sclose, "make a dataspace", shown_);
    write_attribute(object, name, type, type, space, bytes.data());
    space.close(shown_);
    type.close(shown_);
  }

  void real(hid_t object, const char* name, double value) const {
    Id space(H5Screate(H5S_SCALAR), H5Sclose, "make a dataspace", shown_);
    write_attribute(object, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, space, &value);
    space.close(shown_);
  }

  template <std::size_t N>
  void reals(hid_t object, const char* name, const std::array<double, N>& values) const {
    const hsize_t count = N;
    Id space(H5Screate_simple(1, &count, nullptr), H5Sclose, "make a dataspace", shown_);
    write_attribute(object, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, space, values.data());
    space.close(shown_);
  }

  void integer(hid_t object, const char* name, int value) const {
    Id space(H5Screate(H5S_SCALAR), H5Sclose, "make a dataspace", shown_);
    write_attribute(object, name, H5T_STD_I32LE, H5T_NATIVE_INT, space, &value);
    space.close(shown_);
  }

  void integers(hid_t object, const char* name, const std::array<int, 3>& values) const {
    const hsize_t count = 3;
    Id space(H5Screate_simple(1, &count, nullptr), H5Sclose, "make a dataspace", shown_);
    write_attribute(object, name, H5T_STD_I32LE, H5T_NATIVE_INT, space, values.data());
    space.close(shown_);
  }

  Id group(hid_t parent, const char* name) const {
    return Id(H5Gcreate2(parent, name, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose,
              "create a group", shown_);
  }

  void dataset(hid_t parent, const MeshComponent& c, const std::array<int, 3>& size,
               bool complex_values) const {
    // Stored as the values lie in memory: z slowest, x fastest.
    const hsize_t dims[3] = {static_cast<hsize_t>(size[2]), static_cast<hsize_t>(size[1]),
                             static_cast<hsize_t>(size[0])};
    Id space(H5Screate_simple(3, dims, nullptr), H5Sclose, "make a dataspace", shown_);
    Id file_type = complex_values ? complex_type(H5T_IEEE_F64LE) : copy(H5T_IEEE_F64LE);
    Id memory_type = complex_values ? complex_type(H5T_NATIVE_DOUBLE) : copy(H5T_NATIVE_DOUBLE);
    std::vector<double> pairs;
    if (complex_values) {
      pairs.assign(2 * c.values.size(), 0.0);
      for (std::size_t n = 0; n < c.values.size(); ++n) pairs[2 * n] = c.values[n];
    }
    Id data(
        H5Dcreate2(parent, c.axis.c_str(), file_type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
        H5Dclose, "create a dataset", shown_);
    check(H5Dwrite(data, memory_type, H5S_ALL, H5S_ALL, H5P_DEFAULT,
                   complex_values ? pairs.data() : c.values.data()),
          "write a dataset");
    real(data, "unitSI", c.unit_si);
    reals(data, "unitDimension", c.unit_dimension);
    data.close(shown_);
    memory_type.close(shown_);
    file_type.close(shown_);
    space.close(shown_);
  }

 private:
  // The real part "r" and the imaginary part "i", one double each, in that order.
  Id complex_type(hid_t part) const {
    Id type(H5Tcreate(H5T_COMPOUND, 2 * sizeof(double)), H5Tclose, "make a complex type", shown_);
    check(H5Tinsert(type, "r", 0, part), "make a complex type");
    check(H5Tinsert(type, "i", sizeof(double), part), "make a complex type");
    return type;
  }
  Id copy(hid_t type) const { return Id(H5Tcopy(type), H5Tclose, "copy a type", shown_); }

  void check(herr_t status, const char* step) const {
    if (status < 0) Id::fail(step, shown_);
  }
  void write_attribute(hid_t object, const char* name, hid_t file_type, hid_t memory_type,
                       hid_t space, const void* data) const {
    Id attribute(H5Acreate2(object, name, file_type, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose,
                 "create an attribute", shown_);
    check(H5Awrite(attribute, memory_type, data), "write an attribute");
    attribute.close(shown_);
  }

  const std::string& shown_;
};

}  // namespace

void write_field_mesh(const FieldMesh& mesh, const std::string& file_name,
                      const std::string& shown_name) {
  // A file whose close failed stays in the library's tables, and the library's own clean-up
  // at exit (HDF5 1.10) crashes on it: the tool would end in a segmentation fault, not with
  // its message and status 2. Nothing is left to flush at exit, so that clean-up is not
  // registered; this must come before the library's first call in the process.
  H5dont_atexit();
  // Failures are reported once, by the exception; the library's own trace on standard
  // error would only repeat them in its terms.
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  const Writer w(shown_name);
  // The file's close fails while any of its objects is open, rather than leaving the real
  // close, and the last writes, to whichever object is closed last.
  Id access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose, "make a file access list", shown_name);
  if (H5Pset_fclose_degree(access, H5F_CLOSE_SEMI) < 0)
    Id::fail("make a file access list", shown_name);
  Id file(H5Fcreate(file_name.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access), H5Fclose,
          "create the file", shown_name);
  access.close(shown_name);

  w.string(file, "dataType", "openPMD");
  w.string(file, "openPMD", "2.0.0");
  w.string(file, "openPMDextension", "BeamPhysics");
  w.string(file, "externalFieldPath", external_field_path);
  w.string(file, "software", "korvane-inspect");
  w.string(file, "softwareVersion", KORVANE_VERSION);
  w.string(file, "comment", mesh.comment);

  Id parent = w.group(file, field_parent);
  Id group = w.group(file, field_group);
  w.string(group, "gridGeometry", "rectangular");
  w.strings(group, "axisLabels", {axis_labels[0], axis_labels[1], axis_labels[2]});
  w.integers(group, "gridSize", mesh.size);
  w.reals(group, "gridSpacing", mesh.spacing);
  w.reals(group, "gridOriginOffset", mesh.origin);
  w.integers(group, "gridLowerBound", {0, 0, 0});
  w.string(group, "eleAnchorPt", mesh.anchor);
  w.integer(group, "harmonic", mesh.harmonic);
  if (mesh.harmonic != 0) w.real(group, "fundamentalFrequency", mesh.fundamental_frequency);
  w.real(group, "fieldScale", 1.0);
  w.string(group, "name", mesh.name);

  for (std::size_t n = 0; n < mesh.components.size(); ++n) {
    const MeshComponent& c = mesh.components[n];
    // A record's components follow one another; its group is made at the first.
    if (n > 0 && mesh.components[n - 1].record == c.record) continue;
    Id record = w.group(group, c.record.c_str());
    w.reals(record, "unitDimension", c.unit_dimension);
    for (std::size_t m = n; m < mesh.components.size() && mesh.components[m].record == c.record;
         ++m) {
      w.dataset(record, mesh.components[m], mesh.size, mesh.complex_values);
    }
    record.close(shown_name);
  }
  group.close(shown_name);
  parent.close(shown_name);
  file.close(shown_name);
}

}  // namespace korvane::inspect
