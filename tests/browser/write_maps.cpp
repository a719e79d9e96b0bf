// Writes the field files the browser tests open a page of, into the folder given:
// nan.#01, a small magnetic map (format 1) with one value that is not a number; and
// largest.#01, the largest map korvane writes (25 x 25 x 201 nodes, both sets, format 0).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fieldfile/field_file.h"
#include "store/field_store.h"
#include "textio/byte_sink.h"

namespace {

using namespace korvane;

void lay_out(FieldStore& s, int nx, int ny, int nz, double aper, double d_elm) {
  s.iend = -99, s.aper = aper, s.d_elm = d_elm;
  s.Nox = nx, s.Noy = ny, s.Noz = nz;
  s.Xmin = s.Ymin = -aper, s.Xmax = s.Ymax = aper, s.Zmin = -d_elm / 2, s.Zmax = d_elm / 2;
  lay_out_axis(s.xmws, s.Xmin, s.Xmax, nx);
  lay_out_axis(s.ymws, s.Ymin, s.Ymax, ny);
  lay_out_axis(s.zmws, s.Zmin, s.Zmax, nz);
}

void write(const FieldStore& s, int format, const std::string& path) {
  StringSink sink;
  write_format(s, format, sink);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr ||
      std::fwrite(sink.text.data(), 1, sink.text.size(), file) != sink.text.size() ||
      std::fclose(file) != 0) {
    std::perror(path.c_str());
    std::exit(2);
  }
}

void write_cavity(FieldStore& s, const std::string& path) {
  s.ifield = 2, s.k_s_EH = 1;
  lay_out(s, Noxmax, Noymax, Nozmax, 0.03, 0.2);
  for (int k = 1; k <= s.Noz; ++k) {
    const double z = s.zmws(k) / 0.1;
    for (int j = 1; j <= s.Noy; ++j) {
      for (int i = 1; i <= s.Nox; ++i) {
        const double x = s.xmws(i) / 0.03, y = s.ymws(j) / 0.03, r2 = x * x + y * y;
        s.ExOut(i, j, k) = 2e6 * x * std::sin(3.0 * z) * std::exp(-r2);
        s.EyOut(i, j, k) = 2e6 * y * std::sin(3.0 * z) * std::exp(-r2);
        s.EzOut(i, j, k) = 1e7 * std::cos(3.0 * z) * (1.0 - r2 / 2.0);
        s.HxOut(i, j, k) = -3e4 * y * std::cos(1.5 * z);
        s.HyOut(i, j, k) = 3e4 * x * std::cos(1.5 * z);
        s.HzOut(i, j, k) = 1e3 * std::sin(1.5 * z) * (1.0 + r2);
      }
    }
  }
  write(s, 0, path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  StorePtr quadrupole = make_store();
  FieldStore& s = *quadrupole;

  // A quadrupole's H in gauss, soft-edged along z, with Hz = NaN at one node.
  s.ifield = 1;
  lay_out(s, 9, 9, 21, 0.02, 0.12);
  for (int k = 1; k <= s.Noz; ++k) {
    const double f = 1.0 / (1.0 + std::pow(s.zmws(k) / 0.03, 6));
    for (int j = 1; j <= s.Noy; ++j) {
      for (int i = 1; i <= s.Nox; ++i) {
        s.HxOut(i, j, k) = 2e5 * s.ymws(j) * f;
        s.HyOut(i, j, k) = 2e5 * s.xmws(i) * f;
        s.HzOut(i, j, k) = 2e5 * s.xmws(i) * s.ymws(j) * f * 10.0;
      }
    }
  }
  s.HzOut(3, 4, 9) = std::nan("");
  write(s, 1, folder + "/nan.#01");

  // A cavity's E and H on every node the output holds.
  StorePtr cavity = make_store();
  write_cavity(*cavity, folder + "/largest.#01");
  return 0;
}
