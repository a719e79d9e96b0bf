#include <bit>
#include <cstdint>
#include <string>

#include "fieldfile/field_records.h"
#include "fieldfile/format_readers.h"
#include "fieldfile/record_reader.h"

namespace korvane {
namespace {

// Format 0: records framed by 4-byte little-endian length words.
class BinaryReader : public RecordReader {
 public:
  BinaryReader(std::string_view bytes, std::string_view file, TripleSet triple, FieldMap& map)
      : RecordReader(file, 0, triple, map), bytes_(bytes) {}

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
  int component_arrays(FieldMap& s, OutputField* arrays[6]) {
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
    check_end_marker(0);
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

}  // namespace

void read_binary_records(std::string_view bytes, std::string_view name, TripleSet triple,
                         FieldMap& map) {
  BinaryReader reader(bytes, name, triple, map);
  walk_format0_1(reader, map);
  reader.finish();
  reader.describe_map();
}

}  // namespace korvane
