// A Fortran consumer reads the field files exactly as written: plain unformatted
// sequential reads for format 0, list-directed reads for format 1.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fieldfile/field_file.h"
#include "support/test_support.h"

namespace korvane {
namespace {

using testing::ScratchDir;

TEST(FortranReader, ReadsFormats0And1AsWritten) {
  if (std::system("command -v gfortran >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "gfortran is not installed";
  }
  ScratchDir dir;
  const std::string reader = (dir / "reader").string();
  const std::string compile = "gfortran -O0 -o '" + reader + "' '" KORVANE_SOURCE_DIR
                              "/tests/fieldfile/read_field_file.f90' 2>'" +
                              (dir / "compile.txt").string() + "'";
  ASSERT_EQ(std::system(compile.c_str()), 0) << testing::read_file(dir / "compile.txt");

  StorePtr store = make_store();
  FieldStore& s = *store;
  s.d_elm = 0.123456789012345678;
  s.aper = 1.0 / 3.0;
  s.ifield = 2;
  s.k_s_EH = 1;
  s.ksym_x = 2, s.ksym_y = 0, s.ksym_z = 1;
  s.Nox = 4, s.Noy = 3, s.Noz = 5;
  s.iend = -99;
  for (int n = 1; n <= s.Nox; ++n) s.xmws(n) = -0.02 + 0.01 * (n - 1);
  for (int n = 1; n <= s.Noy; ++n) s.ymws(n) = std::sqrt(2.0) * n;
  for (int n = 1; n <= s.Noz; ++n) s.zmws(n) = 1e-7 * n;
  OutputField* arrays[6] = {&s.ExOut, &s.EyOut, &s.EzOut, &s.HxOut, &s.HyOut, &s.HzOut};
  std::vector<double> expected = {s.d_elm, s.aper, 1, 2, 0, 1};
  for (int n = 1; n <= s.Nox; ++n) expected.push_back(s.xmws(n));
  for (int n = 1; n <= s.Noy; ++n) expected.push_back(s.ymws(n));
  for (int n = 1; n <= s.Noz; ++n) expected.push_back(s.zmws(n));
  for (int a = 0; a < 6; ++a) {
    for (int k = 1; k <= s.Noz; ++k)
      for (int j = 1; j <= s.Noy; ++j)
        for (int i = 1; i <= s.Nox; ++i) {
          const double v = std::sin(a + 0.1 * i + 0.7 * j + 1.3 * k) * std::pow(10.0, a * 3 - 6);
          (*arrays[a])(i, j, k) = v;
          expected.push_back(v);
        }
  }
  expected.push_back(-99);
  expected.push_back(-1);  // the next read met the end of the file (IOSTAT_END)

  {
    FileSink f0("korvane", 7, (dir / "eh_EMS.#00").string());
    f0.open_truncate();
    write_format0(s, f0);
    f0.close();
    FileSink f1("korvane", 7, (dir / "eh_EMS.#01").string());
    f1.open_truncate();
    write_format1(s, f1);
    f1.close();
  }
  testing::write_file(dir / "input.txt", "4 3 5 6\n" + (dir / "eh_EMS.#00").string() + "\n" +
                                             (dir / "eh_EMS.#01").string() + "\n");
  const std::string run = "'" + reader + "' <'" + (dir / "input.txt").string() + "' >'" +
                          (dir / "read.txt").string() + "'";
  ASSERT_EQ(std::system(run.c_str()), 0);

  std::istringstream read(testing::read_file(dir / "read.txt"));
  std::vector<double> values;
  for (std::string token; read >> token;) values.push_back(std::strtod(token.c_str(), nullptr));
  ASSERT_EQ(values.size(), 2 * expected.size());
  for (std::size_t n = 0; n < expected.size(); ++n) {
    // Format 0 carries every bit; format 1 the 15 or 16 digits it writes.
    EXPECT_EQ(values[n], expected[n]) << "format 0, value " << n;
    EXPECT_NEAR(values[expected.size() + n], expected[n], 1e-14 * std::fabs(expected[n]))
        << "format 1, value " << n;
  }
}

}  // namespace
}  // namespace korvane
