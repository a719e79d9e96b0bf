#include "fieldfile/field_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "textio/errors.h"

namespace korvane {
namespace {

class FieldFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = make_store();
    FieldStore& s = *store_;
    s.d_elm = 0.1;
    s.aper = 0.02;
    s.ksym_x = 1, s.ksym_y = 0, s.ksym_z = 2;
    s.Xmin = 0.0, s.Xmax = 0.02, s.Ymin = -0.02, s.Ymax = 0.02, s.Zmin = 0.0, s.Zmax = 0.05;
    s.iend = -99;
  }

  // Counts and node coordinates, and every component a distinct value that tells the
  // array and the node it belongs to.
  void grid(int nx, int ny, int nz) {
    FieldStore& s = *store_;
    s.Nox = nx, s.Noy = ny, s.Noz = nz;
    for (int n = 1; n <= nx; ++n) s.xmws(n) = 0.001 * n;
    for (int n = 1; n <= ny; ++n) s.ymws(n) = -0.002 * n;
    for (int n = 1; n <= nz; ++n) s.zmws(n) = 0.003 * n;
    OutputField* arrays[6] = {&s.ExOut, &s.EyOut, &s.EzOut, &s.HxOut, &s.HyOut, &s.HzOut};
    for (int a = 0; a < 6; ++a) {
      for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
          for (int i = 1; i <= nx; ++i) (*arrays[a])(i, j, k) = value(a, i, j, k);
    }
  }

  static double value(int array, int i, int j, int k) {
    return (array + 1) * 1000.0 + i * 100.0 + j * 10.0 + k + 0.5;
  }

  FieldStore& s() { return *store_; }
  StorePtr store_;
};

// Splits a format 0 file into its records, checking that each one's leading and
// trailing byte counts agree.
std::vector<std::string> records0(const std::string& bytes) {
  std::vector<std::string> records;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::uint32_t head = 0, tail = 0;
    std::memcpy(&head, bytes.data() + at, 4);
    EXPECT_LE(at + 8 + head, bytes.size());
    std::memcpy(&tail, bytes.data() + at + 4 + head, 4);
    EXPECT_EQ(head, tail) << "record " << records.size() + 1;
    records.push_back(bytes.substr(at + 4, head));
    at += 8 + head;
  }
  return records;
}

double real_at(const std::string& record, std::size_t index) {
  double v;
  std::memcpy(&v, record.data() + 8 * index, 8);
  return v;
}

std::int32_t integer_at(const std::string& record, std::size_t offset) {
  std::int32_t v;
  std::memcpy(&v, record.data() + offset, 4);
  return v;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
    if (end == std::string::npos) break;
    out.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

TEST(Cnum2, TwoDigitsOrAsterisks) {
  EXPECT_EQ(cnum2(0), "00");
  EXPECT_EQ(cnum2(7), "07");
  EXPECT_EQ(cnum2(42), "42");
  EXPECT_EQ(cnum2(99), "99");
  EXPECT_EQ(cnum2(100), "**");
  EXPECT_EQ(cnum2(-1), "**");
  EXPECT_EQ(cnum2(INT32_MIN), "**");
}

TEST_F(FieldFileTest, Format0RecordLengthsOfTheSmallExample) {
  grid(2, 2, 3);
  s().ifield = 0;
  StringSink sink;
  write_format0(s(), sink);
  std::vector<std::string> records = records0(sink.text);
  std::vector<std::size_t> lengths;
  for (const std::string& r : records) lengths.push_back(r.size());
  EXPECT_EQ(lengths, (std::vector<std::size_t>{20, 12, 16, 16, 24, 96, 96, 96, 4}));

  EXPECT_EQ(real_at(records[0], 0), 0.1);
  EXPECT_EQ(real_at(records[0], 1), 0.02);
  EXPECT_EQ(integer_at(records[0], 16), 0);
  EXPECT_EQ(integer_at(records[1], 0), 1);
  EXPECT_EQ(integer_at(records[1], 8), 2);
  EXPECT_EQ(real_at(records[4], 2), 0.003 * 3);
  // x fastest, then y, then z; the electric set in the order x, y, z.
  EXPECT_EQ(real_at(records[5], 0), value(0, 1, 1, 1));
  EXPECT_EQ(real_at(records[5], 1), value(0, 2, 1, 1));
  EXPECT_EQ(real_at(records[5], 2), value(0, 1, 2, 1));
  EXPECT_EQ(real_at(records[5], 4), value(0, 1, 1, 2));
  EXPECT_EQ(real_at(records[7], 11), value(2, 2, 2, 3));
  EXPECT_EQ(integer_at(records[8], 0), -99);
}

TEST_F(FieldFileTest, Format0MagneticFieldWritesOnlyTheMagneticSet) {
  grid(2, 2, 3);
  s().ifield = 1;
  StringSink sink;
  write_format0(s(), sink);
  std::vector<std::string> records = records0(sink.text);
  ASSERT_EQ(records.size(), 9u);
  EXPECT_EQ(real_at(records[5], 0), value(3, 1, 1, 1));
  EXPECT_EQ(real_at(records[7], 0), value(5, 1, 1, 1));
}

TEST_F(FieldFileTest, Format0SizesOnTheLargestGridAndTheEndMarker) {
  grid(Noxmax, Noymax, Nozmax);
  s().ifield = 2;
  s().k_s_EH = 1;
  StringSink both;
  write_format0(s(), both);
  EXPECT_EQ(both.text.size(), 6032140u);
  EXPECT_EQ(integer_at(records0(both.text)[0], 16), 1);

  s().ifield = 0;
  StringSink one;
  write_format0(s(), one);
  EXPECT_EQ(one.text.size(), 3017116u);
  const std::string tail = one.text.substr(one.text.size() - 12);
  EXPECT_EQ(tail, std::string("\x04\x00\x00\x00\x9D\xFF\xFF\xFF\x04\x00\x00\x00", 12));
}

TEST_F(FieldFileTest, FieldKindOutsideTheThreeWritesHeadersOnly) {
  grid(2, 2, 3);
  s().ifield = 3;
  StringSink binary;
  write_format0(s(), binary);
  EXPECT_EQ(records0(binary.text).size(), 6u);

  StringSink text;
  write_format2(s(), text);
  EXPECT_EQ(lines(text.text).size(), 5u);
}

TEST_F(FieldFileTest, Format1CoordinatesAndComponentsThreeValuesALine) {
  grid(4, 2, 3);
  s().ifield = 0;
  s().k_s_EH = 0;
  StringSink sink;
  write_format1(s(), sink);
  std::vector<std::string> l = lines(sink.text);
  // Header (1 + 1), x (2 lines), y (1), z (1), three components of 24 values (8 each),
  // end marker.
  ASSERT_EQ(l.size(), 2u + 2 + 1 + 1 + 3 * 8 + 1);
  EXPECT_EQ(l[0], "   0.100000000000000       2.000000000000000E-002           0");
  EXPECT_EQ(l[1], "            1           0           2");
  EXPECT_EQ(l[2],
            "   1.000000000000000E-003  2.000000000000000E-003  3.000000000000000E-003");
  EXPECT_EQ(l[3], "   4.000000000000000E-003");
  EXPECT_EQ(l[6], "    1111.50000000000        1211.50000000000        1311.50000000000     ");
  EXPECT_EQ(l[7], "    1411.50000000000        1121.50000000000        1221.50000000000     ");
  EXPECT_EQ(l.back(), "          -99");
}

TEST_F(FieldFileTest, Format2HeaderThenOneRecordPerNodeZFastest) {
  grid(2, 2, 3);
  s().ifield = 2;
  StringSink sink;
  write_format2(s(), sink);
  std::vector<std::string> l = lines(sink.text);
  ASSERT_EQ(l.size(), 5u + 2 * 12);
  EXPECT_EQ(l[0], "            2");
  EXPECT_EQ(l[2], "   0.000000000000000E+000  2.000000000000000E-002           2");
  EXPECT_EQ(l[3], "  -2.000000000000000E-002  2.000000000000000E-002           2");
  // Node (1,1,1): electric x, y, z then magnetic x, y, z over two lines; next node (1,1,2).
  EXPECT_EQ(l[5], "    1111.50000000000        2111.50000000000        3111.50000000000     ");
  EXPECT_EQ(l[6], "    4111.50000000000        5111.50000000000        6111.50000000000     ");
  EXPECT_EQ(l[7].substr(0, 25), "    1112.50000000000     ");
}

TEST_F(FieldFileTest, Format2ElectricNodeIsOneLine) {
  grid(2, 2, 3);
  s().ifield = 0;
  StringSink sink;
  write_format2(s(), sink);
  std::vector<std::string> l = lines(sink.text);
  ASSERT_EQ(l.size(), 5u + 12);
  EXPECT_EQ(l[6], "    1112.50000000000        2112.50000000000        3112.50000000000     ");
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// Rendered on several threads, in parts that start anywhere in a record (format 1's
// component records are 125,625 values long), the text formats are byte for byte those
// of one writer: for each field kind, on the largest grid and on one too small to fill a
// part.
TEST_F(FieldFileTest, TextFormatsRenderedOnThreadsAsByOneWriter) {
  TaskPool pool(3);
  for (int size : {25, 2}) {
    grid(size, size, size == 25 ? Nozmax : 3);
    for (int ifield : {0, 1, 2, 5}) {
      s().ifield = ifield;
      StringSink one1, one2, many1, many2;
      write_format1(s(), one1);
      write_format1(s(), many1, &pool);
      write_format2(s(), one2);
      write_format2(s(), many2, &pool);
      EXPECT_TRUE(many1.text == one1.text) << "format 1, ifield " << ifield << ", size " << size;
      EXPECT_TRUE(many2.text == one2.text) << "format 2, ifield " << ifield << ", size " << size;
    }
  }
}

}  // namespace
}  // namespace korvane
