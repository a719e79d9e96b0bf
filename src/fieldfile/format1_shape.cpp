#include "fieldfile/format1_shape.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "fieldfile/record_reader.h"
#include "textio/errors.h"
#include "textio/format.h"
#include "textio/group_reader.h"
#include "textio/list_writer.h"
#include "textio/token_scanner.h"

namespace korvane {
namespace {

// The reals the writer puts on a line: a line holds its leading blank and as many reals as
// fit in what is left.
constexpr std::size_t reals_per_line = (ListWriter::line_limit - 1) / real_width;

class ShapeFinder {
 public:
  ShapeFinder(const std::vector<TextLine>& lines, const FieldMap& map, std::string_view file)
      : lines_(lines), map_(map), file_(file) {}

  Format1Shape find(std::size_t first) {
    // The last line is the end marker when it holds one integer.
    std::size_t data_end = lines_.size();
    bool has_end = false;
    if (data_end > first) {
      TokenScanner last(lines_.back().text);
      std::string_view marker_token;
      std::int32_t marker = 0;
      has_end = last.next_token(marker_token) &&
                parse_integer(marker_token, marker) == TokenStatus::ok &&
                !last.next_token(marker_token);
      if (has_end) --data_end;
    }
    Format1Shape shape;
    std::size_t line = first;
    for (int a = 0; a < 3; ++a) {
      if (line >= data_end) {
        fail_at(3 + a, lines_[lines_.size() - 1].number,
                "the file ends where this record is due" +
                    std::string(has_end ? " (before the end marker)" : ""));
      }
      if (a == 2) break;
      shape.counts[a] = increasing_run(line, data_end, 3 + a, a == 0 ? Noxmax : Noymax);
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
    const std::size_t plane = static_cast<std::size_t>(shape.counts[0]) * shape.counts[1];
    const std::vector<int> tries = map_.k_s_EH == 1 ? std::vector<int>{6} : std::vector<int>{3, 0};
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
      shape.counts[2] = static_cast<std::int32_t>(nz);
      shape.components = n;
      return shape;
    }

    // No shape fits: say where the file goes wrong as closely as the shape allows.
    std::size_t z_line = line;
    const std::size_t nz = z_count(z_line, data_end);
    const std::size_t nodes = plane * nz;
    const std::size_t rest = total - nz;
    const std::size_t whole = rest / nodes;
    const int expected = map_.k_s_EH == 1 ? 6 : 3;
    const std::string grid = std::to_string(shape.counts[0]) + " x " +
                             std::to_string(shape.counts[1]) + " x " + std::to_string(nz);
    if (!has_end && whole < static_cast<std::size_t>(expected)) {
      // The file is cut short among the component records, which are named as if whole.
      components_ = expected;
      sets_ = expected == 6 ? FieldSets::both : FieldSets::electric_or_magnetic;
      fail_at(6 + static_cast<long>(whole), lines_[data_end - 1].number,
              "the file ends after " + std::to_string(rest - whole * nodes) + " of the " +
                  std::to_string(nodes) + " values of this record (grid " + grid + ")");
    }
    fail_at(6, lines_[z_line].number,
            std::to_string(rest) + " values follow the node coordinates of the " + grid +
                " grid: not " + std::to_string(expected) + " records of " + std::to_string(nodes) +
                " values each starting on a new line (k_s_EH = " + std::to_string(map_.k_s_EH) +
                ")");
  }

 private:
  [[noreturn]] void fail_at(long record, long line, const std::string& what) const {
    throw FieldFileError(file_, record, line,
                         record_name(1, record, map_, components_, sets_) + ": " + what);
  }

  // The node count of a coordinate record of strictly increasing values that ends at the
  // line end after which the next value is no larger; `line` moves past it.
  std::int32_t increasing_run(std::size_t& line, std::size_t data_end, long record, int capacity) {
    std::size_t count = 0;
    double last = -std::numeric_limits<double>::infinity();
    for (; line < data_end; ++line) {
      TokenScanner scan(lines_[line].text);
      std::size_t on_line = 0;
      for (std::string_view token; scan.next_token(token); ++on_line) {
        double value = 0;
        if (!read_text_value(token, value)) {
          fail_at(record, lines_[line].number, quoted_token(token) + " is not a real number");
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
      bool ends = on_line < reals_per_line || line + 1 >= data_end;
      if (!ends) {
        // A listed line holds a value, so the next line has a first token.
        std::string_view next;
        TokenScanner(lines_[line + 1].text).next_token(next);
        double value = 0;
        ends = !read_text_value(next, value) || !(value > last);
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
      TokenScanner scan(lines_[line].text);
      for (std::string_view token; seen < n && scan.next_token(token);) {
        double value = 0;
        if (!read_text_value(token, value) || !(value > last)) return false;
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
    const double zmax = map_.d_elm / 2.0;
    const double tolerance = 1e-9 * std::max(std::fabs(zmax), 1e-300);
    double last = -std::numeric_limits<double>::infinity();
    std::size_t count = 0;
    std::size_t run_end = 0;
    for (std::size_t l = line; l < data_end; ++l) {
      bool increasing_line = true;
      TokenScanner scan(lines_[l].text);
      for (std::string_view token; scan.next_token(token);) {
        double value = 0;
        if (!read_text_value(token, value) || !(value > last)) {
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

  const std::vector<TextLine>& lines_;
  const FieldMap& map_;
  std::string_view file_;
  int components_ = -1;  // set only to name a record of a file cut short
  FieldSets sets_ = FieldSets::none;
};

}  // namespace

Format1Shape find_format1_shape(const std::vector<TextLine>& lines, std::size_t first,
                                const FieldMap& map, std::string_view file) {
  return ShapeFinder(lines, map, file).find(first);
}

}  // namespace korvane
