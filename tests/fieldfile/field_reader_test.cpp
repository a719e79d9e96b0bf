#include "fieldfile/field_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "fieldfile/field_file.h"
#include "fieldfile/field_records.h"

namespace korvane {
namespace {

// Fills the output grid of a store as the converter leaves it, with component values that
// range over many magnitudes and signs.
void fill_store(FieldStore& s, int ifield, int nx, int ny, int nz, const int ksym[3],
                unsigned seed = 1) {
  s.ifield = ifield;
  s.k_s_EH = ifield == 2 ? 1 : 0;
  s.iend = -99;
  s.Nox = nx, s.Noy = ny, s.Noz = nz;
  s.ksym_x = ksym[0], s.ksym_y = ksym[1], s.ksym_z = ksym[2];
  s.d_elm = 0.137, s.aper = 0.0215;
  s.Xmin = ksym[0] != 0 ? 0.0 : -s.aper, s.Xmax = s.aper;
  s.Ymin = ksym[1] != 0 ? 0.0 : -s.aper, s.Ymax = s.aper;
  s.Zmin = ksym[2] != 0 ? 0.0 : -s.d_elm / 2, s.Zmax = s.d_elm / 2;
  for (int n = 1; n <= nx; ++n) s.xmws(n) = (n - 1) * ((s.Xmax - s.Xmin) / (nx - 1)) + s.Xmin;
  for (int n = 1; n <= ny; ++n) s.ymws(n) = (n - 1) * ((s.Ymax - s.Ymin) / (ny - 1)) + s.Ymin;
  for (int n = 1; n <= nz; ++n) s.zmws(n) = (n - 1) * ((s.Zmax - s.Zmin) / (nz - 1)) + s.Zmin;
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-12, 8);
  for (OutputField* a : {&s.ExOut, &s.EyOut, &s.EzOut, &s.HxOut, &s.HyOut, &s.HzOut}) {
    for (int k = 1; k <= nz; ++k) {
      for (int j = 1; j <= ny; ++j) {
        for (int i = 1; i <= nx; ++i)
          (*a)(i, j, k) = mantissa(random) * std::pow(10.0, exponent(random));
      }
    }
  }
  s.ExOut(1, 1, 1) = 0.0;
  s.EyOut(1, 1, 1) = 1.0;
  s.EzOut(1, 1, 1) = 5e-324;  // the smallest subnormal
}

std::string written(const FieldStore& s, int format) {
  StringSink sink;
  write_format(s, format, sink);
  return sink.text;
}

// What the writer makes of a map read back: its values in a store, written.
std::string written(const FieldMap& map, int format) {
  StorePtr store = make_store();
  copy_file_values(map, *store);
  return written(*store, format);
}

template <class Store>
const OutputField& array(const Store& s, int c) {
  const OutputField* arrays[6] = {&s.ExOut, &s.EyOut, &s.EzOut, &s.HxOut, &s.HyOut, &s.HzOut};
  return *arrays[c];
}

class RoundTrip : public ::testing::Test {
 protected:
  StorePtr original = make_store();
  std::unique_ptr<FieldMap> read;
};

// Every format and field kind read back: format 0 bit for bit; formats 1 and 2 to the
// digits written, so writing what was read gives the same bytes again.
TEST_F(RoundTrip, EveryFormatAndFieldKind) {
  const int ksym[3] = {1, 0, 2};
  for (int ifield = 0; ifield <= 3; ++ifield) {
    fill_store(*original, ifield, 4, 5, 7, ksym, static_cast<unsigned>(ifield + 1));
    for (int format = 0; format <= 2; ++format) {
      SCOPED_TRACE("ifield " + std::to_string(ifield) + ", format " + std::to_string(format));
      const std::string bytes = written(*original, format);
      const TripleSet triple = ifield == 1 ? TripleSet::magnetic : TripleSet::electric;
      read = read_field_bytes(bytes, "f", triple);
      EXPECT_EQ(read->format, format);
      EXPECT_EQ(read->components, ifield == 2 ? 6 : ifield == 3 ? 0 : 3);
      EXPECT_EQ(written(*read, format), bytes);
      ASSERT_EQ(read->Nox, 4);
      ASSERT_EQ(read->Noy, 5);
      ASSERT_EQ(read->Noz, 7);
      EXPECT_EQ(read->ksym_x, 1);
      EXPECT_EQ(read->ksym_z, 2);
      EXPECT_EQ(read->k_s_EH, ifield == 2 ? 1 : 0);
      if (format != 2) {
        EXPECT_EQ(read->d_elm, 0.137);
      }
      const double tolerance = format == 0 ? 0.0 : 5e-15;
      for (int n = 1; n <= 7; ++n) {
        EXPECT_NEAR(read->zmws(n), original->zmws(n), tolerance * 0.1) << n;
      }
      const int first = ifield == 1 ? 3 : 0;
      const int last = ifield == 0 ? 3 : ifield == 3 ? 0 : 6;
      for (int c = 0; c < 6; ++c) {
        const bool present = c >= first && c < last;
        for (int k = 1; k <= 7; ++k) {
          for (int j = 1; j <= 5; ++j) {
            for (int i = 1; i <= 4; ++i) {
              const double want = present ? array(*original, c)(i, j, k) : 0.0;
              const double got = array(*read, c)(i, j, k);
              if (format == 0) {
                ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want))
                    << c << " " << i << " " << j << " " << k;
              } else {
                ASSERT_LE(std::fabs(got - want), tolerance * std::fabs(want))
                    << c << " " << i << " " << j << " " << k;
              }
            }
          }
        }
      }
    }
  }
}

// Format 1 holds no node counts. Grids whose coordinate records fill whole lines, whose y
// axis starts at the plane, and whose first component exceeds the last z coordinate must
// still split where they were written.
TEST_F(RoundTrip, Format1FindsTheCountsFromTheShape) {
  const int shapes[][3] = {{3, 6, 2}, {2, 2, 2}, {6, 3, 9}, {25, 25, 4}, {5, 2, 201}};
  const int ksyms[][3] = {{0, 1, 0}, {2, 2, 1}, {0, 0, 0}};
  int round = 0;
  for (const auto& shape : shapes) {
    for (const auto& ksym : ksyms) {
      for (int ifield : {0, 2}) {
        fill_store(*original, ifield, shape[0], shape[1], shape[2], ksym,
                   static_cast<unsigned>(++round));
        original->ExOut(1, 1, 1) = 1e6;
        SCOPED_TRACE(std::to_string(shape[0]) + "x" + std::to_string(shape[1]) + "x" +
                     std::to_string(shape[2]) + " ifield " + std::to_string(ifield));
        const std::string bytes = written(*original, 1);
        read = read_field_bytes(bytes, "f");
        EXPECT_EQ(read->Nox, shape[0]);
        EXPECT_EQ(read->Noy, shape[1]);
        EXPECT_EQ(read->Noz, shape[2]);
        EXPECT_EQ(written(*read, 1), bytes);
      }
    }
  }
}

// korvane never writes a comma, but a text file whose values are parted by runs of commas,
// blanks and tabs reads as the one the writer made.
TEST_F(RoundTrip, CommasPartValuesAsBlanksDo) {
  const int ksym[3] = {0, 1, 0};
  fill_store(*original, 2, 3, 4, 5, ksym);
  for (int format : {1, 2}) {
    SCOPED_TRACE("format " + std::to_string(format));
    const std::string bytes = written(*original, format);
    std::string commas = bytes;
    for (std::size_t n = 0; n < commas.size(); ++n) {
      if (commas[n] == ' ') commas[n] = ",\t"[n % 2];
    }
    read = read_field_bytes(commas, "f");
    EXPECT_EQ(written(*read, format), bytes);
  }
}

TEST_F(RoundTrip, LargestGridWithBothSets) {
  const int ksym[3] = {0, 0, 0};
  fill_store(*original, 2, 25, 25, 201, ksym);
  const std::string bytes = written(*original, 0);
  ASSERT_EQ(bytes.size(), 6032140u);
  read = read_field_bytes(bytes, "f");
  EXPECT_EQ(read->sets, FieldSets::both);
  EXPECT_EQ(read->records, 12);
  EXPECT_EQ(read->HzOut(25, 25, 201), original->HzOut(25, 25, 201));
  EXPECT_EQ(read->Xmax, original->xmws(25));
}

TEST_F(RoundTrip, ThreeComponentsOfUnknownKindGoToTheElectricArrays) {
  const int ksym[3] = {0, 0, 0};
  fill_store(*original, 1, 3, 3, 3, ksym);
  read = read_field_bytes(written(*original, 0), "f");
  EXPECT_EQ(read->sets, FieldSets::electric_or_magnetic);
  EXPECT_EQ(read->ExOut(2, 3, 1), original->HxOut(2, 3, 1));
  EXPECT_EQ(read->HxOut(2, 3, 1), 0.0);
  EXPECT_STREQ(describe(read->sets), "E or H (3 components)");
}

// ---- faults ----

// The position after the line end of line n (from 1).
std::size_t after_line(const std::string& text, int n) {
  std::size_t pos = 0;
  for (int line = 0; line < n; ++line) pos = text.find('\n', pos) + 1;
  return pos;
}

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    const int ksym[3] = {0, 0, 0};
    fill_store(*store, 0, 2, 2, 3, ksym);
  }
  // The message of the error a read of `bytes` raises, or "" when it reads.
  std::string error(const std::string& bytes, long* record = nullptr) {
    try {
      read_field_bytes(bytes, "eh_EMS.#07");
    } catch (const FieldFileError& e) {
      if (record != nullptr) *record = e.record();
      return e.what();
    }
    return "";
  }
  StorePtr store = make_store();
};

TEST_F(Faults, Format0CutShortOrMisframed) {
  const std::string f0 = written(*store, 0);  // records 20, 12, 16, 16, 24, 3 x 96, 4 bytes
  long record = 0;
  // Cut inside the second component record.
  EXPECT_NE(error(f0.substr(0, 300), &record).find("the file ends after 64 of them"),
            std::string::npos);
  EXPECT_EQ(record, 7);
  // Cut inside a closing length word.
  EXPECT_NE(error(f0.substr(0, 26), &record).find("closing length word"), std::string::npos);
  EXPECT_EQ(record, 1);
  // No end marker.
  const std::string no_end = f0.substr(0, f0.size() - 12);
  EXPECT_EQ(error(no_end, &record),
            "file 'eh_EMS.#07', record 9: end marker: the file ends where this record is due");
  // A wrong end marker, and bytes after it.
  std::string wrong = f0;
  wrong[f0.size() - 8] = 0x63;
  EXPECT_NE(error(wrong, &record).find("the end marker is -157, not -99"), std::string::npos);
  EXPECT_NE(error(f0 + "x", &record).find("1 byte follows the end marker"), std::string::npos);
  EXPECT_EQ(record, 10);
  // A closing length word that disagrees with the opening one.
  std::string misframed = f0;
  misframed[24] = 21;
  EXPECT_NE(error(misframed, &record).find("closing length word is 21, not 20"), std::string::npos);
}

TEST_F(Faults, Format0ComponentCountMustMatchKsEH) {
  store->k_s_EH = 1;  // says both sets, but ifield 0 writes three records
  long record = 0;
  const std::string message = error(written(*store, 0), &record);
  EXPECT_NE(message.find("3 records of 12 doubles"), std::string::npos) << message;
  EXPECT_NE(message.find("with k_s_EH = 1 there are 6"), std::string::npos) << message;
  EXPECT_EQ(record, 6);
}

TEST_F(Faults, Format1CutShortOrWithoutEndMarker) {
  const std::string f1 = written(*store, 1);
  long record = 0;
  // The last line is the end marker; without it the file ends where it is due.
  const std::string no_end = f1.substr(0, f1.rfind("\r\n", f1.size() - 3) + 2);
  EXPECT_EQ(error(no_end, &record),
            "file 'eh_EMS.#07', record 9, line 17: end marker: the file ends where this "
            "record is due");
  // Cut after the first line of the second component record (and its end marker lost).
  EXPECT_NE(error(f1.substr(0, after_line(f1, 10)), &record)
                .find("the file ends after 3 of the 12 values"),
            std::string::npos);
  EXPECT_EQ(record, 7);
  // A value that is not a number.
  std::string bad = f1;
  bad.replace(bad.find("E-00"), 1, "Q");
  EXPECT_NE(error(bad).find("is not a real number"), std::string::npos);
  // A long bad token is quoted cut at 80 characters, as the converter cuts it.
  std::string long_token = f1;
  const std::size_t first = long_token.find_first_not_of(' ', after_line(f1, 7));
  long_token.replace(first, long_token.find(' ', first) - first, std::string(100, 'q'));
  const std::string cut = "'" + std::string(80, 'q') + "...' is not a real number";
  EXPECT_NE(error(long_token).find(cut), std::string::npos) << error(long_token);
}

TEST_F(Faults, Format2WrongNodeCount) {
  const std::string f2 = written(*store, 2);
  long record = 0;
  // One node line too many, and one too few.
  EXPECT_EQ(error(f2 + "   1.0 2.0 3.0\r\n", &record),
            "file 'eh_EMS.#07', record 18, line 18: after the last node: the file goes on "
            "after the Nox*Noy*Noz = 12 node records");
  EXPECT_EQ(record, 18);
  const std::string short_file = f2.substr(0, f2.rfind("\r\n", f2.size() - 3) + 2);
  EXPECT_EQ(error(short_file, &record),
            "file 'eh_EMS.#07', record 17, line 16: node (2, 2, 3): the file ends where this "
            "record is due");
  // A node line with a fourth value.
  std::string extra = f2;
  extra.insert(after_line(f2, 6) - 2, " 4.0");
  EXPECT_NE(error(extra, &record).find("more values than the 3 of this record"), std::string::npos);
  EXPECT_EQ(record, 6);
  // A count beyond the largest grid.
  std::string big = f2;
  big.replace(big.find("           2\r\n"), 14, "          26\r\n");
  EXPECT_NE(error(big).find("the node count 26 is outside 1..25"), std::string::npos);
}

TEST_F(Faults, NotAFieldFile) {
  EXPECT_EQ(error(""), "file 'eh_EMS.#07', record 1: the file is empty");
  EXPECT_NE(error("hello field\n").find("not a field file"), std::string::npos);
  EXPECT_NE(error(std::string("\x14\0\0\0\1\2", 6)).find("announces 20 bytes"), std::string::npos);
  EXPECT_THROW(read_field_file("/nonexistent/eh_EMS.#07"), FieldFileError);
}

}  // namespace
}  // namespace korvane
