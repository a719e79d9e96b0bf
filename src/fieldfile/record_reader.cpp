#include "fieldfile/record_reader.h"

#include <limits>

#include "fieldfile/field_records.h"
#include "textio/group_reader.h"

namespace korvane {

std::string record_name(int format, long record, const FieldMap& s, int components,
                        FieldSets sets) {
  if (record == 1) {
    return format == 2 ? "ifield" : "header (d_elm, aper, k_s_EH)";
  }
  if (record == 2) return "symmetry codes (ksym_x, ksym_y, ksym_z)";
  if (record <= 5) {
    const char* a = axis_names[record - 3];
    if (format != 2) return std::string(a) + " node coordinates";
    const char upper = static_cast<char>(a[0] - 'a' + 'A');
    return std::string(a) + " bounds and count (" + upper + "min, " + upper + "max, No" + a + ")";
  }
  const long n = record - 6;
  if (format == 2) {
    if (s.Noy < 1 || s.Noz < 1) return "node record";
    if (n >= static_cast<long>(output_nodes(s))) return "after the last node";
    const long per_i = static_cast<long>(s.Noy) * s.Noz;
    return "node (" + std::to_string(n / per_i + 1) + ", " + std::to_string(n % per_i / s.Noz + 1) +
           ", " + std::to_string(n % s.Noz + 1) + ")";
  }
  if (components < 0) return "component record";
  if (n < components) {
    static const char* const names[6] = {"Ex", "Ey", "Ez", "Hx", "Hy", "Hz"};
    if (sets == FieldSets::electric_or_magnetic) {
      return std::string(axis_names[n]) + " component (E or H)";
    }
    return std::string(names[n + (sets == FieldSets::magnetic ? 3 : 0)]) + " component";
  }
  if (n == components) return "end marker";
  return "after the end marker";
}

void RecordReader::describe_map() {
  map_.format = format_;
  map_.records = record_;
  map_.sets = sets_;
  map_.components = components_ < 0 ? 0 : components_;
}

void RecordReader::fail_at(long record, long line, const std::string& what) const {
  throw FieldFileError(file_, record, line,
                       record_name(format_, record, map_, components_, sets_) + ": " + what);
}

void RecordReader::check_k_s_EH(long line) const {
  if (map_.k_s_EH != 0 && map_.k_s_EH != 1) {
    fail_at(1, line, "k_s_EH is " + std::to_string(map_.k_s_EH) + ", not 0 or 1");
  }
}

void RecordReader::check_end_marker(long line) const {
  if (map_.iend != end_marker) {
    fail(line,
         "the end marker is " + std::to_string(map_.iend) + ", not " + std::to_string(end_marker));
  }
}

int RecordReader::take_components(int count, OutputField* arrays[6]) {
  components_ = count;
  std::int32_t ifield = -1;
  sets_ = FieldSets::none;
  if (count == 6) {
    ifield = 2;
    sets_ = FieldSets::both;
  } else if (count == 3) {
    ifield = triple_ == TripleSet::magnetic ? 1 : 0;
    sets_ = triple_ == TripleSet::unknown    ? FieldSets::electric_or_magnetic
            : triple_ == TripleSet::electric ? FieldSets::electric
                                             : FieldSets::magnetic;
  }
  map_.ifield = ifield;
  return arrays_for_ifield(ifield, map_, arrays);
}

int RecordReader::take_components_by_ifield(OutputField* arrays[6]) {
  const std::int32_t ifield = map_.ifield;
  sets_ = ifield == 0   ? FieldSets::electric
          : ifield == 1 ? FieldSets::magnetic
          : ifield == 2 ? FieldSets::both
                        : FieldSets::none;
  components_ = arrays_for_ifield(ifield, map_, arrays);
  return components_;
}

std::string count_of(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool read_text_value(std::string_view token, double& value) {
  if (parse_real(token, value) == TokenStatus::ok) return true;
  if (token == "NaN") {
    value = std::numeric_limits<double>::quiet_NaN();
  } else if (token == "Infinity" || token == "+Infinity") {
    value = std::numeric_limits<double>::infinity();
  } else if (token == "-Infinity") {
    value = -std::numeric_limits<double>::infinity();
  } else {
    return false;
  }
  return true;
}

}  // namespace korvane
