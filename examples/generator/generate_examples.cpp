// korvane-generate-examples: the two shipped examples, made from analytic fields.
//
//   korvane-generate-examples DIR
//       writes DIR/quadrupole/ and DIR/rf_gap/, each with its control file
//       korvane.dat and its export table; `korvane-generate-examples examples`
//       in the source tree rewrites the checked-in files byte for byte.
//   korvane-generate-examples --check NAME RUNDIR
//       reads the field file that korvane wrote in RUNDIR for example NAME and
//       compares every output node with the analytic field; status 0 when
//       it agrees within the example's tolerance, 1 when it does not, 2 when
//       the file cannot be read.
//
// The fields (x, y, z in metres):
//
// quadrupole: magnetic quadrupole of gradient G with soft ends,
//     f(z)  = [tanh((z + L/2)/a) - tanh((z - L/2)/a)] / 2
//     Bx    = G y f(z),  By = G x f(z),  Bz = G x y f'(z)
//     f'(z) = [sech^2((z + L/2)/a) - sech^2((z - L/2)/a)] / (2a)
//   with G = 20 T/m, L = 0.06 m, a = 0.008 m; B in tesla. B is the gradient
//   of the magnetic potential G x y f(z), so it is curl-free; its divergence
//   G x y f''(z) is of higher order (the paraxial expansion). Bx is even in x
//   and odd in y, By odd in x and even in y, Bz odd in both: at the plane
//   x = 0 the two components parallel to the plane (By, Bz) are odd, and at
//   y = 0 the parallel ones (Bx, Bz) are odd, so both planes carry code 2.
//   Exported for x >= 0, y >= 0 only, in millimetres, 9 values a record;
//   the imaginary columns hold (By, Bz, Bx)/2, numbers of the same size that
//   the converter must ignore. fscale 1e4 turns tesla into gauss.
//   Every output z node lies on an input z node and the field is quadratic
//   in x and y, so the 19-point interpolation reproduces it to rounding.
//
// rf_gap: accelerating gap, electric field, lowest-order expansion about
//   the axis of an on-axis field E0 g(z) with a Gaussian profile,
//     g(z) = exp(-z^2 / (2 s^2)),  g'(z) = -z g(z) / s^2
//     Ez   = E0 g(z),  Ex = -(x/2) E0 g'(z),  Ey = -(y/2) E0 g'(z)
//   with E0 = 2e6 V/m, s = 0.01 m; E in V/m. div E = 0 exactly. Ez is even
//   in z, Ex and Ey odd: at the plane z = 0 the parallel components are odd,
//   code 2. Exported for z >= 0 over the full x and y, in metres, 6 values a
//   record, x fastest. The converter multiplies electric fields by
//   fscale * 0.01 (here V/m to V/cm). Output z nodes fall between input
//   nodes, so the check allows the interpolation error of a quadratic over
//   1 mm steps of a 10 mm Gaussian (a few 1e-5 of E0).
//
// Standard library only; tables are small, so plain stdio serves.

#include <algorithm>
#include <array>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Vec3 = std::array<double, 3>;

// ---- the analytic fields -------------------------------------------------

constexpr double kQuadGradient = 20.0;   // G, T/m
constexpr double kQuadLength = 0.06;     // L, m
constexpr double kQuadFringe = 0.008;    // a, m

Vec3 quadrupole_field(double x, double y, double z)
{
    const double u1 = (z + kQuadLength / 2) / kQuadFringe;
    const double u2 = (z - kQuadLength / 2) / kQuadFringe;
    const double f = 0.5 * (std::tanh(u1) - std::tanh(u2));
    const double sech2_1 = 1.0 / (std::cosh(u1) * std::cosh(u1));
    const double sech2_2 = 1.0 / (std::cosh(u2) * std::cosh(u2));
    const double fprime = (sech2_1 - sech2_2) / (2 * kQuadFringe);
    return {kQuadGradient * y * f, kQuadGradient * x * f, kQuadGradient * x * y * fprime};
}

constexpr double kGapField = 2.0e6;   // E0, V/m
constexpr double kGapSigma = 0.01;    // s, m

Vec3 rf_gap_field(double x, double y, double z)
{
    const double g = std::exp(-z * z / (2 * kGapSigma * kGapSigma));
    const double gprime = -z * g / (kGapSigma * kGapSigma);
    return {-0.5 * x * kGapField * gprime, -0.5 * y * kGapField * gprime, kGapField * g};
}

// ---- the two examples ----------------------------------------------------

// One axis of the exported mesh, in integer ticks of the table's length
// unit, so that every coordinate is written as an exact decimal.
struct MeshAxis {
    int first;  // ticks
    int step;   // ticks
    int count;
};

struct Example {
    const char* name;          // folder
    const char* title1;        // control records 1 and 2
    const char* title2;
    const char* table;         // control record 3
    // control values
    int ifield;
    std::array<int, 3> isym;
    int nfile;
    int ifmt;
    std::array<int, 3> ksym;
    double d_elm, aper, fscale, cscale;
    std::array<int, 3> nout;
    // export table
    std::array<MeshAxis, 3> mesh;   // x, y, z
    double tick;                    // one tick in table units
    int coord_decimals;             // digits after the point of a coordinate
    std::array<int, 3> loop;        // axes from slowest to fastest (0 x, 1 y, 2 z)
    bool imaginary;                 // 9 values a record instead of 6
    Vec3 (*field)(double, double, double);
    double tolerance;               // of the check, relative to the peak
    // The same export as the solver saves it, for korvane-prepare: the two header lines,
    // CR LF line ends, real and imaginary parts interleaved (zero imaginary parts).
    const char* raw_export;
    const char* length_unit;
    const char* field_letter;
    const char* field_unit;
};

const Example kExamples[] = {
    {
        "quadrupole",
        "Magnetic quadrupole, G = 20 T/m, soft ends: quarter x >= 0, y >= 0",
        "9 values a record, mm, z fastest; unfolded and interpolated to 11 x 11 x 51",
        "quadrupole_quarter.txt",
        1, {2, 2, 0}, 1, 1, {0, 0, 0},
        0.1, 0.018, 1.0e4, 0.001,
        {11, 11, 51},
        {MeshAxis{0, 2, 11}, MeshAxis{0, 2, 11}, MeshAxis{-60, 2, 61}},
        1.0, 1,
        {0, 1, 2},   // x slowest, then y, z fastest: loop order 321
        true,
        quadrupole_field,
        1e-9,
        "quadrupole_export.txt", "mm", "B", "T",
    },
    {
        "rf_gap",
        "RF accelerating gap, E0 = 2 MV/m, Gaussian profile: half z >= 0",
        "6 values a record, metres, x fastest; unfolded in z, written in format 0",
        "rf_gap_half.txt",
        0, {0, 0, 2}, 2, 0, {0, 0, 0},
        0.09, 0.009, 1.0, 1.0,
        {7, 7, 61},
        {MeshAxis{-10, 2, 11}, MeshAxis{-10, 2, 11}, MeshAxis{0, 1, 51}},
        0.001, 3,
        {2, 1, 0},   // z slowest, then y, x fastest: loop order 123
        false,
        rf_gap_field,
        5e-4,
        "rf_gap_export.txt", "m", "E", "V/m",
    },
};

const Example* find_example(const std::string& name)
{
    for (const Example& e : kExamples) {
        if (name == e.name) {
            return &e;
        }
    }
    return nullptr;
}

// Factor by which the converter scales the table's field into its output.
double output_scale(const Example& e)
{
    if (e.ifield == 0) {
        return e.fscale * 0.01;
    }
    if (e.ifield == 1) {
        return e.fscale;
    }
    return 1.0;
}

// Shortest text that reads back as the same double.
std::string shortest(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

// ---- writing -------------------------------------------------------------

bool write_file(const std::filesystem::path& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "korvane-generate-examples: cannot write '%s': %s\n",
                     path.string().c_str(), std::strerror(errno));
        return false;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return (std::fclose(f) == 0) && ok;
}

std::string control_file(const Example& e)
{
    std::string out;
    // A group of values, padded to one column, then its comment.
    auto add = [&](std::string values, const std::string& comment) {
        values.resize(std::max<std::size_t>(values.size(), 18), ' ');
        out += values + " " + comment + "\n";
    };
    auto three = [](const std::array<int, 3>& v) {
        return std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(v[2]);
    };
    out += e.title1;
    out += '\n';
    out += e.title2;
    out += '\n';
    out += e.table;   // record 3 is the name and nothing else
    out += '\n';
    add(std::to_string(e.ifield), "ifield: 0 electric, 1 magnetic, 2 unscaled");
    add(three(e.isym), "isym_x isym_y isym_z: symmetry planes of the table");
    char name[16];
    std::snprintf(name, sizeof name, "eh_EMS.#%02d", e.nfile);
    add(std::to_string(e.nfile), std::string("nfile: output file ") + name);
    add(std::to_string(e.ifmt), "ifmt: 0 unformatted, 1 text x fastest, 2 text z fastest");
    add(three(e.ksym), "ksym_x ksym_y ksym_z: symmetry planes kept in the output");
    add(shortest(e.d_elm), "d_elm (m): output z from -d_elm/2 to d_elm/2");
    add(shortest(e.aper), "aper (m): output x and y from -aper to aper");
    add(shortest(e.fscale), e.ifield == 1 ? "fscale: tesla to gauss" : "fscale: field factor");
    add(shortest(e.cscale), e.cscale == 0.001 ? "cscale: table coordinates in mm"
                                              : "cscale: table coordinates in m");
    add(three(e.nout), "Nox Noy Noz: output nodes");
    return out;
}

// A field value as the table holds it: 11 significant digits, never -0.
// A 9-value record stays within 128 characters: korvane judges the layout
// on the first 132 characters of the first record.
void append_value(std::string& out, double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, " %17.10e", v + 0.0);
    out += buf;
}

// The column titles of the solver's header: "x [mm]", "BxRe [T]" and the like, each
// left-aligned in the width of its column.
std::string raw_header(const Example& e)
{
    std::string out;
    auto title = [&out](const std::string& text) {
        std::string padded = text;
        padded.resize(std::max<std::size_t>(padded.size() + 1, 18), ' ');
        out += padded;
    };
    for (const char* axis : {"x", "y", "z"}) {
        title(std::string(axis) + " [" + e.length_unit + "]");
    }
    for (const char* axis : {"x", "y", "z"}) {
        const std::string name = std::string(e.field_letter) + axis;
        if (e.imaginary) {
            title(name + "Re [" + e.field_unit + "]");
            title(name + "Im [" + e.field_unit + "]");
        } else {
            title(name + " [" + e.field_unit + "]");
        }
    }
    out += "\r\n";
    out += std::string(out.size() - 3, '-');
    out += "\r\n";
    return out;
}

// The headerless table korvane reads (raw = false), or the export as the solver saves it
// (raw = true): the same nodes and values, with the header, CR LF line ends and
// interleaved parts whose imaginary ones are zero.
std::string export_table(const Example& e, bool raw)
{
    std::string out = raw ? raw_header(e) : "";
    std::array<int, 3> idx{};   // node index per axis
    const int slow = e.loop[0];
    const int mid = e.loop[1];
    const int fast = e.loop[2];
    for (idx[slow] = 0; idx[slow] < e.mesh[slow].count; ++idx[slow]) {
        for (idx[mid] = 0; idx[mid] < e.mesh[mid].count; ++idx[mid]) {
            for (idx[fast] = 0; idx[fast] < e.mesh[fast].count; ++idx[fast]) {
                Vec3 metres{};
                for (int a = 0; a < 3; ++a) {
                    const int ticks = e.mesh[a].first + idx[a] * e.mesh[a].step;
                    char buf[32];
                    std::snprintf(buf, sizeof buf, "%s%*.*f", a == 0 ? "" : " ",
                                  e.coord_decimals + 5, e.coord_decimals, ticks * e.tick);
                    out += buf;
                    // The field is taken where the converter will read the node:
                    // the written coordinate, times cscale.
                    metres[a] = std::strtod(buf, nullptr) * e.cscale;
                }
                const Vec3 v = e.field(metres[0], metres[1], metres[2]);
                if (raw) {
                    for (double c : v) {
                        append_value(out, c);
                        if (e.imaginary) {
                            append_value(out, 0.0);
                        }
                    }
                    out += "\r\n";
                    continue;
                }
                for (double c : v) {
                    append_value(out, c);
                }
                if (e.imaginary) {
                    append_value(out, 0.5 * v[1]);
                    append_value(out, 0.5 * v[2]);
                    append_value(out, 0.5 * v[0]);
                }
                out += '\n';
            }
        }
    }
    return out;
}

int generate(const std::filesystem::path& root)
{
    for (const Example& e : kExamples) {
        const std::filesystem::path dir = root / e.name;
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            std::fprintf(stderr, "korvane-generate-examples: cannot create '%s': %s\n",
                         dir.string().c_str(), ec.message().c_str());
            return 2;
        }
        if (!write_file(dir / "korvane.dat", control_file(e)) ||
            !write_file(dir / e.table, export_table(e, false)) ||
            !write_file(dir / e.raw_export, export_table(e, true))) {
            return 2;
        }
    }
    return 0;
}

// ---- checking a converted file -------------------------------------------

// What a field file holds, whatever its format.
struct FieldFile {
    double d_elm = 0, aper = 0;
    int k_s_eh = 0;
    std::array<int, 3> ksym{};
    std::array<std::vector<double>, 3> nodes;      // xmws, ymws, zmws
    std::vector<std::vector<double>> components;   // x index fastest
    int iend = 0;
};

bool read_bytes(const std::filesystem::path& path, std::string& bytes)
{
    std::FILE* f = std::fopen(path.string().c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    char block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) {
        bytes.append(block, got);
    }
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

int component_count(int ifield)
{
    return ifield == 2 ? 6 : (ifield == 0 || ifield == 1) ? 3 : 0;
}

// Format 0: records framed by 4-byte little-endian lengths.
bool parse_format0(const std::string& bytes, const Example& e, FieldFile& out, std::string& why)
{
    std::size_t pos = 0;
    auto record = [&](std::size_t want, std::string& data) {
        std::uint32_t head = 0;
        std::uint32_t tail = 0;
        if (pos + 4 > bytes.size()) {
            return false;
        }
        std::memcpy(&head, bytes.data() + pos, 4);
        if (head != want || pos + 8 + head > bytes.size()) {
            return false;
        }
        data = bytes.substr(pos + 4, head);
        std::memcpy(&tail, bytes.data() + pos + 4 + head, 4);
        pos += 8 + head;
        return tail == head;
    };
    auto doubles = [](const std::string& data, std::size_t at, std::size_t n) {
        std::vector<double> v(n);
        std::memcpy(v.data(), data.data() + at, 8 * n);
        return v;
    };
    auto integer = [](const std::string& data, std::size_t at) {
        std::int32_t v = 0;
        std::memcpy(&v, data.data() + at, 4);
        return static_cast<int>(v);
    };
    std::string data;
    if (!record(20, data)) {
        why = "record 1 is not 20 bytes (d_elm, aper, k_s_EH)";
        return false;
    }
    out.d_elm = doubles(data, 0, 1)[0];
    out.aper = doubles(data, 8, 1)[0];
    out.k_s_eh = integer(data, 16);
    if (!record(12, data)) {
        why = "record 2 is not 12 bytes (ksym_x, ksym_y, ksym_z)";
        return false;
    }
    for (int a = 0; a < 3; ++a) {
        out.ksym[a] = integer(data, 4 * a);
    }
    for (int a = 0; a < 3; ++a) {
        const auto n = static_cast<std::size_t>(e.nout[a]);
        if (!record(8 * n, data)) {
            why = "node coordinate record " + std::to_string(3 + a) + " has the wrong length";
            return false;
        }
        out.nodes[a] = doubles(data, 0, n);
    }
    const auto total = static_cast<std::size_t>(e.nout[0]) * e.nout[1] * e.nout[2];
    for (int c = 0; c < component_count(e.ifield); ++c) {
        if (!record(8 * total, data)) {
            why = "component record " + std::to_string(6 + c) + " has the wrong length";
            return false;
        }
        out.components.push_back(doubles(data, 0, total));
    }
    if (!record(4, data)) {
        why = "the end marker record is missing";
        return false;
    }
    out.iend = integer(data, 0);
    if (pos != bytes.size()) {
        why = "bytes follow the end marker";
        return false;
    }
    return true;
}

// Format 1: the same content as list-directed text.
bool parse_format1(const std::string& bytes, const Example& e, FieldFile& out, std::string& why)
{
    std::vector<double> v;
    const char* p = bytes.c_str();
    for (;;) {
        while (*p == ' ' || *p == '\r' || *p == '\n') {
            ++p;
        }
        if (*p == '\0') {
            break;
        }
        char* end = nullptr;
        const double d = std::strtod(p, &end);
        if (end == p) {
            why = "text that is not a number at byte " + std::to_string(p - bytes.c_str());
            return false;
        }
        v.push_back(d);
        p = end;
    }
    const auto total = static_cast<std::size_t>(e.nout[0]) * e.nout[1] * e.nout[2];
    const std::size_t want = 6 + e.nout[0] + e.nout[1] + e.nout[2] +
                             component_count(e.ifield) * total + 1;
    if (v.size() != want) {
        why = std::to_string(v.size()) + " numbers, expected " + std::to_string(want);
        return false;
    }
    std::size_t k = 0;
    out.d_elm = v[k++];
    out.aper = v[k++];
    out.k_s_eh = static_cast<int>(v[k++]);
    for (int a = 0; a < 3; ++a) {
        out.ksym[a] = static_cast<int>(v[k++]);
    }
    for (int a = 0; a < 3; ++a) {
        out.nodes[a].assign(v.begin() + k, v.begin() + k + e.nout[a]);
        k += e.nout[a];
    }
    for (int c = 0; c < component_count(e.ifield); ++c) {
        out.components.emplace_back(v.begin() + k, v.begin() + k + total);
        k += total;
    }
    out.iend = static_cast<int>(v[k]);
    return true;
}

int check(const Example& e, const std::filesystem::path& rundir)
{
    char name[16];
    std::snprintf(name, sizeof name, "eh_EMS.#%02d", e.nfile);
    const std::filesystem::path path = rundir / name;
    std::string bytes;
    if (!read_bytes(path, bytes)) {
        std::fprintf(stderr, "%s: cannot read '%s'\n", e.name, path.string().c_str());
        return 2;
    }
    FieldFile file;
    std::string why;
    const bool parsed = e.ifmt == 0 ? parse_format0(bytes, e, file, why)
                                    : parse_format1(bytes, e, file, why);
    if (!parsed) {
        std::fprintf(stderr, "%s: '%s' is not a format %d file of this grid: %s\n", e.name,
                     path.string().c_str(), e.ifmt, why.c_str());
        return 2;
    }

    int faults = 0;
    auto fault = [&](const std::string& what) {
        std::fprintf(stderr, "%s: %s\n", e.name, what.c_str());
        ++faults;
    };
    if (file.d_elm != e.d_elm || file.aper != e.aper) {
        fault("header d_elm, aper = " + shortest(file.d_elm) + ", " + shortest(file.aper) +
              ", expected " + shortest(e.d_elm) + ", " + shortest(e.aper));
    }
    if (file.k_s_eh != (e.ifield == 2 ? 1 : 0)) {
        fault("header k_s_EH = " + std::to_string(file.k_s_eh));
    }
    if (file.ksym != e.ksym) {
        fault("header ksym differs from the control file");
    }
    if (file.iend != -99) {
        fault("end marker " + std::to_string(file.iend) + ", expected -99");
    }
    // Output nodes: -aper..aper in x and y, -d_elm/2..d_elm/2 in z, or from 0
    // on an axis whose output symmetry code is set.
    for (int a = 0; a < 3; ++a) {
        const double hi = a < 2 ? e.aper : e.d_elm / 2;
        const double lo = e.ksym[a] != 0 ? 0.0 : -hi;
        const int n = e.nout[a];
        for (int i = 0; i < n; ++i) {
            const double want = lo + i * (hi - lo) / (n - 1);
            if (!(std::fabs(file.nodes[a][i] - want) <= 1e-12)) {
                fault("node " + std::to_string(i + 1) + " along " + "xyz"[a] + " at " +
                      shortest(file.nodes[a][i]) + ", expected " + shortest(want));
                break;
            }
        }
    }

    // Field: every node, every component, against the analytic value.
    const double scale = output_scale(e);
    const int nx = e.nout[0];
    const int ny = e.nout[1];
    const int nz = e.nout[2];
    double peak = 0;
    for (int k = 0; k < nz; ++k) {
        for (int j = 0; j < ny; ++j) {
            for (int i = 0; i < nx; ++i) {
                for (double c : e.field(file.nodes[0][i], file.nodes[1][j], file.nodes[2][k])) {
                    peak = std::fmax(peak, std::fabs(scale * c));
                }
            }
        }
    }
    double worst = 0;
    std::string where = "nowhere";
    for (std::size_t c = 0; c < file.components.size(); ++c) {
        for (int k = 0; k < nz; ++k) {
            for (int j = 0; j < ny; ++j) {
                for (int i = 0; i < nx; ++i) {
                    const Vec3 f = e.field(file.nodes[0][i], file.nodes[1][j], file.nodes[2][k]);
                    // With ifield 2 the magnetic records (after the electric ones) are zero.
                    const double want = (e.ifield == 2 && c >= 3) ? 0.0 : scale * f[c % 3];
                    const double got = file.components[c][i + nx * (j + ny * k)];
                    const double dev = std::fabs(got - want) / peak;
                    if (!(dev <= worst)) {   // NaN counts as the worst
                        worst = std::isnan(dev) ? INFINITY : dev;
                        char buf[200];
                        std::snprintf(buf, sizeof buf,
                                      "%c%c at node (%d, %d, %d): %.9g, expected %.9g",
                                      c < 3 && e.ifield != 1 ? 'E' : 'H', "xyz"[c % 3], i + 1,
                                      j + 1, k + 1, got, want);
                        where = buf;
                    }
                }
            }
        }
    }
    if (!(worst <= e.tolerance)) {
        fault("field deviates by " + shortest(worst) + " of the peak (allowed " +
              shortest(e.tolerance) + "); worst: " + where);
    }
    std::printf("%s: %s, format %d, %d x %d x %d nodes, %zu components: largest deviation "
                "%.2e of the peak %.6g (allowed %.0e): %s\n",
                e.name, name, e.ifmt, nx, ny, nz, file.components.size(), worst, peak,
                e.tolerance, faults == 0 ? "ok" : "FAILED");
    return faults == 0 ? 0 : 1;
}

void usage(std::FILE* to)
{
    std::fputs("usage: korvane-generate-examples DIR\n"
               "       korvane-generate-examples --check quadrupole|rf_gap RUNDIR\n"
               "Writes DIR/quadrupole and DIR/rf_gap (korvane.dat and the export table),\n"
               "or checks the field file korvane wrote in RUNDIR against the analytic field.\n",
               to);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        usage(stdout);
        return 0;
    }
    if (args.size() == 1 && !args[0].starts_with("-")) {
        return generate(args[0]);
    }
    if (args.size() == 3 && args[0] == "--check") {
        if (const Example* e = find_example(args[1])) {
            return check(*e, args[2]);
        }
    }
    usage(stderr);
    return 2;
}
