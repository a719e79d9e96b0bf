#include "control/control_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "store/field_store.h"
#include "support/test_support.h"
#include "textio/errors.h"

namespace korvane {
namespace {

using testing::Control;
using testing::ScratchDir;
using testing::WorkingDir;
using testing::write_file;

// Reads `text` as korvane.dat in a scratch folder (the working directory meanwhile).
StorePtr read_control(const std::string& text) {
  ScratchDir dir;
  WorkingDir here(dir.path());
  write_file("korvane.dat", text);
  StorePtr store = make_store();
  testing::TestRun t;
  read_control_file(*store, t.run);
  return store;
}

std::string control_error(const std::string& text) {
  try {
    read_control(text);
  } catch (const IoError& error) {
    return error.what();
  }
  return "no error";
}

std::string with_crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(ControlFile, ReadsEveryValue) {
  Control c;
  c.ifield = 2;
  c.isym[0] = 1, c.isym[1] = 2, c.isym[2] = 0;
  c.nfile = 42;
  c.ifmt = 0;
  c.ksym[0] = 0, c.ksym[1] = 1, c.ksym[2] = 2;
  c.d_elm = "0.25";
  c.aper = "1.5D-2";
  c.fscale = "-3e2";
  c.cscale = ".001";
  c.counts[0] = 25, c.counts[1] = 24, c.counts[2] = 201;
  for (const std::string& text : {c.text(), with_crlf(c.text())}) {
    StorePtr s = read_control(text);
    EXPECT_EQ(table_name(*s), "table.txt");
    EXPECT_EQ(s->ifield, 2);
    EXPECT_EQ(s->isym_x, 1);
    EXPECT_EQ(s->isym_y, 2);
    EXPECT_EQ(s->isym_z, 0);
    EXPECT_EQ(s->nfile, 42);
    EXPECT_EQ(s->ifmt, 0);
    EXPECT_EQ(s->ksym_x, 0);
    EXPECT_EQ(s->ksym_y, 1);
    EXPECT_EQ(s->ksym_z, 2);
    EXPECT_EQ(s->d_elm, 0.25);
    EXPECT_EQ(s->aper, 1.5e-2);
    EXPECT_EQ(s->fscale, -300.0);
    EXPECT_EQ(s->cscale, 0.001);
    EXPECT_EQ(s->Nox, 25);
    EXPECT_EQ(s->Noy, 24);
    EXPECT_EQ(s->Noz, 201);
  }
}

TEST(ControlFile, GroupsSplitOverRecordsAndTrailingComments) {
  const std::string text =
      "\n"                             // empty records 1 and 2
      "\n"
      "field.txt\n"
      "1   ! ifield: magnetic\n"
      "1 2\n"                          // isym split over two records
      "0 comment on the third\n"
      "7, nfile\n"
      "2\n"
      "0,0,\n"                         // ksym: a comma ends the record
      "1\n"
      "2.5 d_elm in metres 9 9 9\n"
      "1\n1\n1\n"
      "5 6 7 and more text\n";
  StorePtr s = read_control(text);
  EXPECT_EQ(table_name(*s), "field.txt");
  EXPECT_EQ(s->ifield, 1);
  EXPECT_EQ(s->isym_x, 1);
  EXPECT_EQ(s->isym_y, 2);
  EXPECT_EQ(s->isym_z, 0);
  EXPECT_EQ(s->nfile, 7);
  EXPECT_EQ(s->ifmt, 2);
  EXPECT_EQ(s->ksym_x, 0);
  EXPECT_EQ(s->ksym_y, 0);
  EXPECT_EQ(s->ksym_z, 1);
  EXPECT_EQ(s->d_elm, 2.5);
  EXPECT_EQ(s->Nox, 5);
  EXPECT_EQ(s->Noy, 6);
  EXPECT_EQ(s->Noz, 7);
}

TEST(ControlFile, TableNameKeepsLeadingBlanksAndIsCutAt132) {
  Control c;
  c.table = "  my table.txt   ";
  EXPECT_EQ(table_name(*read_control(c.text())), "  my table.txt");
  EXPECT_EQ(table_name(*read_control(with_crlf(c.text()))), "  my table.txt");

  c.table = std::string(130, 'n') + "abcdefgh";
  StorePtr s = read_control(c.text());
  EXPECT_EQ(table_name(*s), std::string(130, 'n') + "ab");
  c.table = "t.txt\t";  // only blanks are trimmed
  EXPECT_EQ(table_name(*read_control(c.text())), "t.txt\t");
  c.table = "";
  EXPECT_EQ(table_name(*read_control(c.text())), "");
  EXPECT_EQ(read_control(c.text())->fname[0], ' ');
}

TEST(ControlFile, InputErrorsNameUnitOneAndTheFile) {
  Control c;
  std::string text = c.text();
  // Ends after record 12.
  const std::string short_file = text.substr(0, text.rfind("3 3 3\n"));
  EXPECT_EQ(control_error(short_file),
            "korvane: unit 1, file 'korvane.dat': end of file after line 12 while reading Nox, "
            "Noy, Noz (0 of 3 values found)");
  EXPECT_EQ(control_error(""),
            "korvane: unit 1, file 'korvane.dat': end of file while reading record 1 (title)");
  EXPECT_EQ(control_error("a\nb\n").rfind("korvane: unit 1, file 'korvane.dat': end of file", 0),
            0u);

  c.isym[2] = 0;
  text = c.text();
  text.replace(text.find("0 0 0\n"), 6, "0 0 x\n");
  EXPECT_EQ(control_error(text),
            "korvane: unit 1, file 'korvane.dat', line 5: 'x' is not an integer (reading isym_x, "
            "isym_y, isym_z)\n"
            "    0 0 x\n"
            "        ^");

  Control fraction;
  text = fraction.text();
  text.replace(text.find("\n0\n"), 3, "\n4.5\n");
  EXPECT_NE(control_error(text).find("line 4: '4.5' is not an integer (reading ifield)"),
            std::string::npos);
  Control aper;
  aper.aper = "1,0e-2";  // a comma where a decimal point was meant: 1 then 0e-2 ignored
  EXPECT_EQ(read_control(aper.text())->aper, 1.0);
  aper.aper = "1.0e";
  EXPECT_NE(control_error(aper.text()).find("line 10: '1.0e' is not a real number"),
            std::string::npos);
}

TEST(ControlFile, MissingFileIsAnOpenErrorOnUnitOne) {
  ScratchDir dir;
  WorkingDir here(dir.path());
  StorePtr s = make_store();
  try {
    testing::TestRun t;
    read_control_file(*s, t.run);
    FAIL() << "no error";
  } catch (const IoError& error) {
    const std::string text = error.what();
    EXPECT_EQ(text.rfind("korvane: unit 1, file 'korvane.dat': cannot open", 0), 0u) << text;
  }
}

std::string check(const Control& c) {
  StorePtr s = read_control(c.text());
  try {
    check_control_values(*s);
  } catch (const FatalStop& stop) {
    return stop.what();
  }
  return "pass";
}

const std::string too_large = " Output grid larger than max PELIX grid ";
const std::string too_small = " Output grid needs at least 2 nodes along each axis ";
const std::string bad_symmetry = " Symmetry codes must be 0, 1 or 2 ";

Control counts(int nx, int ny, int nz) {
  Control c;
  c.counts[0] = nx, c.counts[1] = ny, c.counts[2] = nz;
  return c;
}

TEST(ControlChecks, OutputGridSize) {
  EXPECT_EQ(check(counts(25, 25, 201)), "pass");
  EXPECT_EQ(check(counts(2, 2, 2)), "pass");
  EXPECT_EQ(check(counts(26, 25, 201)), too_large);
  EXPECT_EQ(check(counts(25, 26, 201)), too_large);
  EXPECT_EQ(check(counts(25, 25, 202)), too_large);
  EXPECT_EQ(check(counts(2147483647, 2, 2)), too_large);
  // The size test comes first, then the lower limit, then the symmetry codes.
  EXPECT_EQ(check(counts(26, 1, 1)), too_large);
  EXPECT_EQ(check(counts(1, 1, 202)), too_large);
  Control c = counts(3, 3, 1);
  c.isym[0] = 3;
  EXPECT_EQ(check(c), too_small);
}

TEST(ControlChecks, AtLeastTwoNodesPerAxis) {
  EXPECT_EQ(check(counts(1, 3, 3)), too_small);
  EXPECT_EQ(check(counts(3, 0, 3)), too_small);
  EXPECT_EQ(check(counts(3, 3, -5)), too_small);
  EXPECT_EQ(check(counts(-2147483647 - 1, 3, 3)), too_small);
}

TEST(ControlChecks, SymmetryCodes) {
  for (int which = 0; which < 6; ++which) {
    for (int code : {-1, 3}) {
      Control c;
      (which < 3 ? c.isym[which] : c.ksym[which - 3]) = code;
      EXPECT_EQ(check(c), bad_symmetry) << which << " " << code;
    }
  }
  Control fine;
  fine.isym[0] = 2, fine.isym[1] = 1, fine.ksym[2] = 2;
  fine.ifield = 5;  // a field kind outside 0..2 is not an error
  EXPECT_EQ(check(fine), "pass");
}

}  // namespace
}  // namespace korvane
