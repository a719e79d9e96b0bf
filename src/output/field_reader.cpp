#include "output/field_reader.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "output/field_records.h"
#include "textio/errors.h"
#include "textio/group_reader.h"

namespace korvane {
namespace {

std::string located(std::string_view file, long record, long line, std::string_view what) {
  std::string text = "file '" + printable(file) + "'";
  if (record > 0) text += ", record " + std::to_string(record);
  if (line > 0) text += ", line " + std::to_string(line);
  text += ": ";
  text += what;
  return text;
}

// No field file of the largest grid comes near this; a larger file is something else.
constexpr std::size_t largest_file = std::size_t{128} << 20;

constexpr std::uint32_t header_length = 20;  // d_elm, aper, k_s_EH

std::string count_of(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Bookkeeping shared by the binary and the text reader: the record being read, its name in
// messages, and what the component records turn out to be.
class RecordReader {
 public:
  RecordReader(std::string_view file, int format, TripleSet triple, FieldStore& store)
      : file_(file), format_(format), triple_(triple), store_(store) {}

  long records() const { return record_; }
  FieldSets sets() const { return sets_; }
  int components() const { return components_ < 0 ? 0 : components_; }

 protected:
  [[noreturn]] void fail_at(long record, long line, const std::string& what) const {
    throw FieldFileError(file_, record, line, name_of(record) + ": " + what);
  }
  [[noreturn]] void fail(long line, const std::string& what) const { fail_at(record_, line, what); }

  void check_k_s_EH(long line) const {
    if (store_.k_s_EH != 0 && store_.k_s_EH != 1) {
      fail_at(1, line, "k_s_EH is " + std::to_string(store_.k_s_EH) + ", not 0 or 1");
    }
  }

  // The arrays of `count` component records (0, 3 or 6) of a format 0 or 1 file.
  int take_components(int count, OutputField* arrays[6]) {
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
    store_.ifield = ifield;
    return arrays_for_ifield(ifield, store_, arrays);
  }

  // The arrays of a format 2 file, which names its field.
  int take_components_by_ifield(OutputField* arrays[6]) {
    const std::int32_t ifield = store_.ifield;
    sets_ = ifield == 0   ? FieldSets::electric
            : ifield == 1 ? FieldSets::magnetic
            : ifield == 2 ? FieldSets::both
                          : FieldSets::none;
    components_ = arrays_for_ifield(ifield, store_, arrays);
    return components_;
  }

  std::string name_of(long record) const {
    static const char* const axis_names[3] = {"x", "y", "z"};
    if (record == 1) {
      return format_ == 2 ? "ifield" : "header (d_elm, aper, k_s_EH)";
    }
    if (record == 2) return "symmetry codes (ksym_x, ksym_y, ksym_z)";
    if (record <= 5) {
      const char* a = axis_names[record - 3];
      if (format_ != 2) return std::string(a) + " node coordinates";
      const char upper = static_cast<char>(a[0] - 'a' + 'A');
      return std::string(a) + " bounds and count (" + upper + "min, " + upper + "max, No" + a + ")";
    }
    const long n = record - 6;
    if (format_ == 2) {
      if (store_.Noy < 1 || store_.Noz < 1) return "node record";
      if (n >= static_cast<long>(output_nodes(store_))) return "after the last node";
      const long per_i = static_cast<long>(store_.Noy) * store_.Noz;
      return "node (" + std::to_string(n / per_i + 1) + ", " +
             std::to_string(n % per_i / store_.Noz + 1) + ", " +
             std::to_string(n % store_.Noz + 1) + ")";
    }
    if (components_ < 0) return "component record";
    if (n < components_) {
      static const char* const names[6] = {"Ex", "Ey", "Ez", "Hx", "Hy", "Hz"};
      const bool magnetic = sets_ == FieldSets::magnetic;
      if (sets_ == FieldSets::electric_or_magnetic) {
        return std::string(axis_names[n]) + " component (E or H)";
      }
      return std::string(names[n + (magnetic ? 3 : 0)]) + " component";
    }
    if (n == components_) return "end marker";
    return "after the end marker";
  }

  std::string_view file_;
  int format_;
  TripleSet triple_;
  FieldStore& store_;
  long record_ = 0;
  int components_ = -1;  // component records, once known
  FieldSets sets_ = FieldSets::none;
};

// Format 0: records framed by 4-byte little-endian length words.
class BinaryReader : public RecordReader {
 public:
  BinaryReader(std::string_view bytes, std::string_view file, TripleSet triple, FieldStore& store)
      : RecordReader(file, 0, triple, store), bytes_(bytes) {}

  void begin(std::size_t reals, std::size_t integers) {
    open();
    const std::size_t want = 8 * reals + 4 * integers;
    if (length_ != want) {
      std::string items;
      if (reals > 0) items = count_of(reals, "double", "doubles");
      if (integers > 0) {
        items += (reals > 0 ? " and " : "") + count_of(integers, "integer", "integers");
      }
      fail(0, "holds " + count_of(length_, "byte", "bytes") + ", not the " + std::to_string(want) +
                  " of " + items);
    }
  }

  void begin_axis(std::int32_t& count, int capacity) {
    open();
    if (length_ == 0 || length_ % 8 != 0) {
      fail(0, "holds " + count_of(length_, "byte", "bytes") +
                  ", not a whole number of 8-byte coordinates");
    }
    if (length_ / 8 > static_cast<std::size_t>(capacity)) {
      fail(0, "holds " + std::to_string(length_ / 8) + " coordinates; a grid has at most " +
                  std::to_string(capacity) + " nodes along this axis");
    }
    count = static_cast<std::int32_t>(length_ / 8);
  }

  void real(double& value) {
    value = std::bit_cast<double>(word64(pos_));
    pos_ += 8;
  }
  void integer(std::int32_t& value) {
    value = static_cast<std::int32_t>(word32(pos_));
    pos_ += 4;
  }
  void count(std::int32_t& value, int) { integer(value); }

  void end() {
    const std::uint32_t closing = word32(pos_);
    if (closing != length_) {
      fail(0, "its closing length word is " + std::to_string(closing) + ", not " +
                  std::to_string(length_) + " as at its start");
    }
    pos_ += 4;
  }

  // Counts the records of Nox*Noy*Noz doubles ahead. A file cut short among them is read
  // as far as it goes, so that the fault is reported at the record where it lies.
  int component_arrays(FieldStore& s, OutputField* arrays[6]) {
    check_k_s_EH(0);
    const std::size_t want = 8 * output_nodes(s);
    int found = 0;
    bool cut = false;
    std::size_t p = pos_;
    while (bytes_.size() - p >= 4 && word32(p) == want) {
      if (bytes_.size() - p - 4 < want + 4) {
        cut = true;
        break;
      }
      ++found;
      p += want + 8;
    }
    const int expected = s.k_s_EH == 1 ? 6 : 3;
    if (cut || p == bytes_.size()) {
      // The end of the file comes before the end marker.
      if (found == expected || (found == 0 && s.k_s_EH == 0)) return take_components(found, arrays);
      return take_components(found + (cut ? 1 : 0) > expected ? 6 : expected, arrays);
    }
    if (found != expected && !(found == 0 && s.k_s_EH == 0)) {
      fail_at(record_ + 1, 0,
              count_of(static_cast<std::size_t>(found), "record", "records") + " of " +
                  std::to_string(want / 8) + " doubles (Nox*Noy*Noz) follow the node " +
                  "coordinates; with k_s_EH = " + std::to_string(s.k_s_EH) + " there are " +
                  std::to_string(expected));
    }
    return take_components(found, arrays);
  }

  void finish() {
    if (store_.iend != end_marker) {
      fail(0, "the end marker is " + std::to_string(store_.iend) + ", not " + std::to_string(end_marker));
    }
    if (pos_ != bytes_.size()) {
      ++record_;
      fail(0, count_of(bytes_.size() - pos_, "byte follows", "bytes follow") + " the end marker");
    }
  }

 private:
  void open() {
    ++record_;
    const std::size_t left = bytes_.size() - pos_;
    if (left == 0) fail(0, "the file ends where this record is due");
    if (left < 4) fail(0, "the file ends inside the record's length word");
    length_ = word32(pos_);
    if (left - 4 < length_) {
      fail(0, "the record announces " + count_of(length_, "byte", "bytes") +
                  " but the file ends after " + std::to_string(left - 4) + " of them");
    }
    if (left - 4 - length_ < 4) fail(0, "the file ends inside the record's closing length word");
    pos_ += 4;
  }

  std::uint32_t word32(std::size_t at) const {
    std::uint32_t value = 0;
    for (int b = 3; b >= 0; --b) {
      value = (value << 8) | static_cast<unsigned char>(bytes_[at + static_cast<std::size_t>(b)]);
    }
    return value;
  }
  std::uint64_t word64(std::size_t at) const {
    const std::uint64_t high = word32(at + 4);
    return high << 32 | word32(at);
  }

  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::size_t length_ = 0;
};

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ','; }

struct TextLine {
  long number;
  std::string_view text;
};

// The lines of a text file that hold anything but separators; a record may run over
// blank lines as a list-directed read does.
std::vector<TextLine> text_lines(std::string_view bytes) {
  std::vector<TextLine> lines;
  long number = 0;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t stop = bytes.find('\n', start);
    if (stop == std::string_view::npos) stop = bytes.size();
    std::string_view line = bytes.substr(start, stop - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number;
    if (std::any_of(line.begin(), line.end(), [](char c) { return !is_separator(c); })) {
      lines.push_back({number, line});
    }
    start = stop + 1;
  }
  return lines;
}

std::size_t count_tokens(std::string_view line) {
  std::size_t count = 0;
  bool in_token = false;
  for (char c : line) {
    const bool separator = is_separator(c);
    if (!separator && !in_token) ++count;
    in_token = !separator;
  }
  return count;
}

// The tokens of one line.
std::vector<std::string_view> tokens_of(std::string_view line) {
  std::vector<std::string_view> tokens;
  std::size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && is_separator(line[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && !is_separator(line[pos])) ++pos;
    if (pos > start) tokens.push_back(line.substr(start, pos - start));
  }
  return tokens;
}

bool read_real(std::string_view token, double& value) {
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

// Formats 1 and 2: list-directed text records, each starting on a new line.
class TextReader : public RecordReader {
 public:
  TextReader(std::vector<TextLine> lines, std::string_view file, int format, TripleSet triple,
             FieldStore& store)
      : RecordReader(file, format, triple, store), lines_(std::move(lines)) {}

  void begin(std::size_t reals, std::size_t integers) { open(reals + integers); }

  void begin_axis(std::int32_t& count, int) {
    if (axis_ == 0) find_layout();
    count = counts_[axis_++];
    open(static_cast<std::size_t>(count));
  }

  void real(double& value) {
    const std::string_view token = next_token();
    if (!read_real(token, value)) bad_token(token, "is not a real number");
  }

  void integer(std::int32_t& value) {
    const std::string_view token = next_token();
    const TokenStatus status = parse_integer(token, value);
    if (status == TokenStatus::out_of_range) bad_token(token, "is outside the 32-bit range");
    if (status != TokenStatus::ok) bad_token(token, "is not an integer");
  }

  void count(std::int32_t& value, int capacity) {
    integer(value);
    if (value < 1 || value > capacity) {
      fail(lines_[line_].number, "the node count " + std::to_string(value) + " is outside 1.." +
                                     std::to_string(capacity));
    }
  }

  void end() {
    const std::string_view text = lines_[line_].text;
    while (pos_ < text.size() && is_separator(text[pos_])) ++pos_;
    if (pos_ < text.size()) {
      fail(lines_[line_].number, "more values than the " + std::to_string(expected_) +
                                     " of this record\n" + caret_excerpt(text, pos_));
    }
    ++line_;
    pos_ = 0;
  }

  int component_arrays(FieldStore&, OutputField* arrays[6]) {
    if (format_ == 2) return take_components_by_ifield(arrays);
    check_k_s_EH(lines_[0].number);
    return take_components(layout_components_, arrays);
  }

  void finish() {
    if (format_ == 1 && store_.iend != end_marker) {
      fail(lines_[line_ - 1].number,
           "the end marker is " + std::to_string(store_.iend) + ", not " + std::to_string(end_marker));
    }
    if (line_ < lines_.size()) {
      ++record_;
      if (format_ == 1) {
        fail(lines_[line_].number, "text follows the end marker");
      }
      fail(lines_[line_].number, "the file goes on after the Nox*Noy*Noz = " +
                                     std::to_string(output_nodes(store_)) + " node records");
    }
  }

 private:
  void open(std::size_t values) {
    ++record_;
    if (line_ >= lines_.size()) {
      fail(lines_.empty() ? 0 : lines_.back().number, "the file ends where this record is due");
    }
    expected_ = values;
    found_ = 0;
    pos_ = 0;
  }

  std::string_view next_token() {
    for (;;) {
      const std::string_view text = lines_[line_].text;
      while (pos_ < text.size() && is_separator(text[pos_])) ++pos_;
      if (pos_ < text.size()) {
        const std::size_t start = pos_;
        while (pos_ < text.size() && !is_separator(text[pos_])) ++pos_;
        ++found_;
        return text.substr(start, pos_ - start);
      }
      if (line_ + 1 >= lines_.size()) {
        fail(lines_[line_].number, "the file ends after " + std::to_string(found_) + " of the " +
                                       std::to_string(expected_) + " values of this record");
      }
      ++line_;
      pos_ = 0;
    }
  }

  [[noreturn]] void bad_token(std::string_view token, const char* what) const {
    const std::string_view text = lines_[line_].text;
    fail(lines_[line_].number,
         "'" + printable(token.substr(0, 40)) + "' " + what + "\n" +
             caret_excerpt(text, static_cast<std::size_t>(token.data() - text.data())));
  }

  // Format 1 gives no node counts; they follow from the shape of the file (see the
  // header). Runs when the walk reaches the x coordinates, so the header has been read.
  void find_layout() {
    check_k_s_EH(lines_[0].number);
    const std::size_t first = line_;
    // The last line is the end marker when it holds one integer.
    std::size_t data_end = lines_.size();
    bool has_end = false;
    if (data_end > first) {
      const auto last = tokens_of(lines_.back().text);
      std::int32_t marker = 0;
      has_end = last.size() == 1 && parse_integer(last[0], marker) == TokenStatus::ok;
      if (has_end) --data_end;
    }
    std::size_t line = first;
    for (int a = 0; a < 3; ++a) {
      if (line >= data_end) {
        fail_at(3 + a, lines_[lines_.size() - 1].number,
                "the file ends where this record is due" +
                    std::string(has_end ? " (before the end marker)" : ""));
      }
      if (a == 2) break;
      counts_[a] = increasing_run(line, data_end, 3 + a, a == 0 ? Noxmax : Noymax);
    }

    // Values from the z record on, with the line ends between them.
    std::vector<std::size_t> ends;  // running count of values at each line end
    std::size_t total = 0;
    for (std::size_t l = line; l < data_end; ++l) {
      total += count_tokens(lines_[l].text);
      ends.push_back(total);
    }
    auto at_line_end = [&](std::size_t n) {
      return std::binary_search(ends.begin(), ends.end(), n);
    };
    const std::size_t plane = static_cast<std::size_t>(counts_[0]) * counts_[1];
    std::vector<int> tries;
    if (store_.k_s_EH == 1) {
      tries = {6};
    } else {
      tries = {3, 0};
    }
    for (int n : tries) {
      const std::size_t per_z = 1 + static_cast<std::size_t>(n) * plane;
      if (total % per_z != 0) continue;
      const std::size_t nz = total / per_z;
      if (nz < 1 || nz > static_cast<std::size_t>(Nozmax)) continue;
      bool aligned = true;
      for (int m = 0; m <= n && aligned; ++m) {
        aligned = at_line_end(nz + static_cast<std::size_t>(m) * plane * nz);
      }
      if (!aligned || !increasing(line, nz)) continue;
      counts_[2] = static_cast<std::int32_t>(nz);
      layout_components_ = n;
      return;
    }

    // No layout fits: say where the file goes wrong as closely as the shape allows.
    std::size_t z_line = line;
    const std::size_t nz = z_count(z_line, data_end);
    const std::size_t nodes = plane * nz;
    const std::size_t rest = total - nz;
    const std::size_t whole = rest / nodes;
    const std::size_t expected = store_.k_s_EH == 1 ? 6 : 3;
    const std::string grid = std::to_string(counts_[0]) + " x " + std::to_string(counts_[1]) +
                             " x " + std::to_string(nz);
    if (!has_end && whole < expected) {
      components_ = static_cast<int>(expected);
      sets_ = expected == 6 ? FieldSets::both : FieldSets::electric_or_magnetic;
      fail_at(6 + static_cast<long>(whole), lines_[data_end - 1].number,
              "the file ends after " + std::to_string(rest - whole * nodes) + " of the " +
                  std::to_string(nodes) + " values of this record (grid " + grid + ")");
    }
    fail_at(6, lines_[z_line].number,
            std::to_string(rest) + " values follow the node coordinates of the " + grid +
                " grid: not " + std::to_string(expected) + " records of " + std::to_string(nodes) +
                " values each starting on a new line (k_s_EH = " + std::to_string(store_.k_s_EH) +
                ")");
  }

  // The node count of a coordinate record of strictly increasing values that ends at the
  // line end after which the next value is no larger; `line` moves past it.
  std::int32_t increasing_run(std::size_t& line, std::size_t data_end, long record, int capacity) {
    std::size_t count = 0;
    double last = -std::numeric_limits<double>::infinity();
    for (; line < data_end; ++line) {
      const auto tokens = tokens_of(lines_[line].text);
      for (std::string_view token : tokens) {
        double value = 0;
        if (!read_real(token, value)) {
          fail_at(record, lines_[line].number,
                  "'" + printable(token.substr(0, 40)) + "' is not a real number");
        }
        if (!(value > last)) {
          fail_at(record, lines_[line].number,
                  "the coordinates stop increasing inside a line; a coordinate record ends "
                  "at a line end");
        }
        last = value;
        ++count;
      }
      if (count > static_cast<std::size_t>(capacity)) {
        fail_at(record, lines_[line].number,
                "more than " + std::to_string(capacity) +
                    " increasing coordinates: a grid has at most that many nodes along "
                    "this axis");
      }
      bool ends = tokens.size() < 3 || line + 1 >= data_end;
      if (!ends) {
        const auto next = tokens_of(lines_[line + 1].text);
        double value = 0;
        ends = !read_real(next[0], value) || !(value > last);
      }
      if (ends) {
        ++line;
        return static_cast<std::int32_t>(count);
      }
    }
    return static_cast<std::int32_t>(count);
  }

  // Whether the first n values from `line` on increase strictly.
  bool increasing(std::size_t line, std::size_t n) const {
    double last = -std::numeric_limits<double>::infinity();
    std::size_t seen = 0;
    for (; seen < n && line < lines_.size(); ++line) {
      for (std::string_view token : tokens_of(lines_[line].text)) {
        if (seen == n) break;
        double value = 0;
        if (!read_real(token, value) || !(value > last)) return false;
        last = value;
        ++seen;
      }
    }
    return seen == n;
  }

  // For messages only: the z record taken to end at the first line end where the
  // coordinate reaches d_elm/2, the converter's last z node, or else where the values stop
  // increasing.
  std::size_t z_count(std::size_t& line, std::size_t data_end) const {
    const double zmax = store_.d_elm / 2.0;
    const double tolerance = 1e-9 * std::max(std::fabs(zmax), 1e-300);
    double last = -std::numeric_limits<double>::infinity();
    std::size_t count = 0;
    std::size_t run_end = 0;
    for (std::size_t l = line; l < data_end; ++l) {
      bool increasing_line = true;
      for (std::string_view token : tokens_of(lines_[l].text)) {
        double value = 0;
        if (!read_real(token, value) || !(value > last)) {
          increasing_line = false;
          break;
        }
        last = value;
        ++count;
      }
      if (!increasing_line) break;
      run_end = count;
      if (std::fabs(last - zmax) <= tolerance || count >= static_cast<std::size_t>(Nozmax)) {
        line = std::min(l + 1, data_end - 1);
        return count;
      }
    }
    return std::max<std::size_t>(run_end, 1);
  }

  std::vector<TextLine> lines_;
  std::size_t line_ = 0;  // the line being read
  std::size_t pos_ = 0;   // position in it
  std::size_t expected_ = 0;
  std::size_t found_ = 0;
  int axis_ = 0;
  std::int32_t counts_[3] = {0, 0, 0};
  int layout_components_ = 0;
};

void clear_output(FieldStore& s) {
  for (OutputField* a : {&s.ExOut, &s.EyOut, &s.EzOut, &s.HxOut, &s.HyOut, &s.HzOut}) {
    a->values.fill(0.0);
  }
  s.xmws.values.fill(0.0);
  s.ymws.values.fill(0.0);
  s.zmws.values.fill(0.0);
  s.d_elm = s.aper = 0.0;
  s.Xmin = s.Xmax = s.Ymin = s.Ymax = s.Zmin = s.Zmax = 0.0;
  s.Nox = s.Noy = s.Noz = 0;
  s.ksym_x = s.ksym_y = s.ksym_z = 0;
  s.k_s_EH = 0;
  s.ifield = -1;
  s.iend = 0;
}

}  // namespace

FieldFileError::FieldFileError(std::string_view file, long record, long line, std::string_view what)
    : std::runtime_error(located(file, record, line, what)), record_(record), line_(line) {}

const char* describe(FieldSets sets) {
  switch (sets) {
    case FieldSets::electric:
      return "E";
    case FieldSets::magnetic:
      return "H";
    case FieldSets::both:
      return "E and H";
    case FieldSets::electric_or_magnetic:
      return "E or H (3 components)";
    case FieldSets::none:
      break;
  }
  return "none";
}

FieldFileInfo read_field_bytes(std::string_view bytes, std::string_view name, FieldStore& s,
                               TripleSet triple) {
  clear_output(s);
  FieldFileInfo info;
  if (bytes.empty()) throw FieldFileError(name, 1, 0, "the file is empty");
  if (bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == header_length && bytes[1] == 0 &&
      bytes[2] == 0 && bytes[3] == 0) {
    BinaryReader reader(bytes, name, triple, s);
    walk_format0_1(reader, s);
    reader.finish();
    info.format = 0;
    info.records = reader.records();
    info.sets = reader.sets();
    info.components = reader.components();
  } else {
    std::vector<TextLine> lines = text_lines(bytes);
    const std::size_t head = lines.empty() ? 0 : count_tokens(lines[0].text);
    if (head != 1 && head != 3) {
      throw FieldFileError(
          name, 1, lines.empty() ? 0 : lines[0].number,
          "not a field file: it starts neither with the 20-byte header record of format 0 "
          "nor with a text record of two reals and an integer (format 1) or of one integer "
          "(format 2)");
    }
    info.format = head == 3 ? 1 : 2;
    TextReader reader(std::move(lines), name, info.format, triple, s);
    if (info.format == 1) {
      walk_format0_1(reader, s);
    } else {
      walk_format2(reader, s);
    }
    reader.finish();
    info.records = reader.records();
    info.sets = reader.sets();
    info.components = reader.components();
  }

  if (info.format == 2) {
    lay_out_axis(s.xmws, s.Xmin, s.Xmax, s.Nox);
    lay_out_axis(s.ymws, s.Ymin, s.Ymax, s.Noy);
    lay_out_axis(s.zmws, s.Zmin, s.Zmax, s.Noz);
    s.k_s_EH = s.ifield == 2 ? 1 : 0;
  } else {
    info.has_lengths = true;
    s.Xmin = s.xmws(1);
    s.Xmax = s.xmws(s.Nox);
    s.Ymin = s.ymws(1);
    s.Ymax = s.ymws(s.Noy);
    s.Zmin = s.zmws(1);
    s.Zmax = s.zmws(s.Noz);
  }
  return info;
}

FieldFileInfo read_field_file(const std::string& name, FieldStore& store, TripleSet triple) {
  auto fail = [&](const std::string& what) { throw FieldFileError(name, 0, 0, what); };
  if (name.find('\0') != std::string::npos) fail("a file name cannot hold a NUL byte");
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) fail(std::string("cannot open: ") + std::strerror(errno));
  std::string bytes;
  char block[1 << 16];
  for (;;) {
    const std::size_t n = std::fread(block, 1, sizeof block, file.get());
    bytes.append(block, n);
    if (bytes.size() > largest_file) fail("larger than any field file; not read");
    if (n < sizeof block) break;
  }
  if (std::ferror(file.get())) fail(std::string("cannot read: ") + std::strerror(errno));
  return read_field_bytes(bytes, name, store, triple);
}

}  // namespace korvane
