// korvane-generate-examples: the two shipped examples, made from analytic fields.
//
//   korvane-generate-examples [--prepare KORVANE_PREPARE] DIR
//       writes DIR/quadrupole/ and DIR/rf_gap/, each with its export table (the
//       headerless table korvane reads) and the same export as the solver saves
//       it. With --prepare it also runs that korvane-prepare on the raw export
//       and puts the korvane.dat it drafts beside them, naming the shipped table:
//       the shipped road (korvane on the table) and the whole road (korvane-prepare
//       on the export, then korvane) then give the same map. A korvane.dat that
//       differs from the drafted one only in its date is left as it is.
//       `korvane-generate-examples --prepare <build>/src/korvane-prepare examples`
//       in the source tree (the target regenerate-examples) rewrites the checked-in
//       files.
//   korvane-generate-examples --check NAME RUNDIR
//       reads the korvane.dat in RUNDIR and the field file that korvane wrote
//       there for example NAME, and compares every output node with the analytic
//       field; status 0 when it agrees within the example's tolerance, 1 when it
//       does not, 2 when a file cannot be read.
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
//   The drafted output grid is the unfolded table's own nodes, so the map holds
//   the table's values: the check allows the rounding of their 11 digits, and
//   on the box's edges and corners the 19-point stencil's departure (7e-5 of
//   the peak, in the fringes).
//
// rf_gap: accelerating gap, electric field, lowest-order expansion about
//   the axis of an on-axis field E0 g(z) with a Gaussian profile,
//     g(z) = exp(-z^2 / (2 s^2)),  g'(z) = -z g(z) / s^2
//     Ez   = E0 g(z),  Ex = -(x/2) E0 g'(z),  Ey = -(y/2) E0 g'(z)
//   with E0 = 2e6 V/m, s = 0.01 m; E in V/m. div E = 0 exactly. Ez is even
//   in z, Ex and Ey odd: at the plane z = 0 the parallel components are odd,
//   code 2. Exported for z >= 0 over the full x and y, in metres, 6 values a
//   record, x fastest. The converter multiplies electric fields by
//   fscale * 0.01 (here V/m to V/cm). The drafted output grid is the unfolded
//   table's own nodes, so the check allows the rounding of the table's digits,
//   and on the box's edges and corners the stencil's departure (3e-7 of E0).
//
// Standard library only (and std::system to run korvane-prepare); tables are
// small, so plain stdio serves.

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
#include <iterator>
#include <random>
#include <regex>
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
    const char* table;         // the headerless table, named by korvane.dat
    int ifield;                // 0 electric, 1 magnetic
    double scale;              // from the table's field unit to the field file's
    // the exported mesh
    std::array<MeshAxis, 3> mesh;   // x, y, z
    double tick;                    // one tick in table units
    double metres;                  // one table unit in metres (korvane.dat's cscale)
    int coord_decimals;             // digits after the point of a coordinate
    std::array<int, 3> loop;        // axes from slowest to fastest (0 x, 1 y, 2 z)
    bool imaginary;                 // 9 values a record instead of 6
    Vec3 (*field)(double, double, double);
    // Of the check, relative to the peak: at the nodes on at most one face of the box, and
    // at those on its edges and corners, where the 19-point stencil, moved inward along two
    // or three axes at once, no longer returns the node's own value.
    double tolerance;
    double edge_tolerance;
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
        "quadrupole_quarter.txt",
        1, 1.0e4,    // tesla to gauss
        {MeshAxis{0, 2, 11}, MeshAxis{0, 2, 11}, MeshAxis{-60, 2, 61}},
        1.0, 0.001, 1,
        {0, 1, 2},   // x slowest, then y, z fastest: loop order 321
        true,
        quadrupole_field,
        1e-9, 1e-4,
        "quadrupole_export.txt", "mm", "B", "T",
    },
    {
        "rf_gap",
        "rf_gap_half.txt",
        0, 0.01,     // V/m to V/cm
        {MeshAxis{-10, 2, 11}, MeshAxis{-10, 2, 11}, MeshAxis{0, 1, 51}},
        0.001, 1.0, 3,
        {2, 1, 0},   // z slowest, then y, x fastest: loop order 123
        false,
        rf_gap_field,
        1e-9, 1e-6,
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

// The values of korvane.dat that the check needs: the output grid and file. The field's
// kind and scale are the example's own, so that a wrong one drafted is caught.
struct Control {
    int ifield = 0;
    int nfile = 0;
    int ifmt = 0;
    std::array<int, 3> ksym{};
    double d_elm = 0, aper = 0;
    std::array<int, 3> nout{};
};

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
                    metres[a] = std::strtod(buf, nullptr) * e.metres;
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

// A word for the shell, in single quotes.
std::string shell_quoted(const std::string& word)
{
    std::string out = "'";
    for (char ch : word) {
        out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    }
    return out + "'";
}

// The text with every date YYYY-MM-DD replaced, so that two drafts of different days compare.
std::string without_dates(std::string text)
{
    static const std::regex date("[0-9]{4}-[0-9]{2}-[0-9]{2}");
    return std::regex_replace(text, date, "YYYY-MM-DD");
}

// Runs korvane-prepare on the example's raw export in `dir` and puts the korvane.dat it
// drafts there, naming the shipped table. Prepare's own table goes to a scratch folder.
bool draft_control(const Example& e, const std::filesystem::path& dir,
                   const std::string& prepare)
{
    std::random_device seed;
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() /
        ("korvane-draft-" + std::string(e.name) + "-" + std::to_string(seed()));
    const std::string command = shell_quoted(prepare) + " " +
                                shell_quoted((dir / e.raw_export).string()) + " --dir " +
                                shell_quoted(scratch.string()) + " --table " +
                                shell_quoted(e.table) + " >/dev/null";
    const bool drafted = std::system(command.c_str()) == 0;
    std::string draft;
    const bool read = drafted && read_bytes(scratch / "korvane.dat", draft);
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
    if (!read) {
        std::fprintf(stderr, "korvane-generate-examples: %s drafted no korvane.dat from '%s'\n",
                     prepare.c_str(), (dir / e.raw_export).string().c_str());
        return false;
    }
    std::string shipped;
    if (read_bytes(dir / "korvane.dat", shipped) &&
        without_dates(shipped) == without_dates(draft)) {
        return true;   // only the day differs
    }
    return write_file(dir / "korvane.dat", draft);
}

// Writes both examples into `root`; with `prepare` (a korvane-prepare), their korvane.dat too.
int generate(const std::filesystem::path& root, const std::string& prepare)
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
        if (!write_file(dir / e.table, export_table(e, false)) ||
            !write_file(dir / e.raw_export, export_table(e, true))) {
            return 2;
        }
        if (!prepare.empty() && !draft_control(e, dir, prepare)) {
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

int component_count(int ifield)
{
    return ifield == 2 ? 6 : (ifield == 0 || ifield == 1) ? 3 : 0;
}

// Format 0: records framed by 4-byte little-endian lengths.
bool parse_format0(const std::string& bytes, const Control& ctl, FieldFile& out, std::string& why)
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
        const auto n = static_cast<std::size_t>(ctl.nout[a]);
        if (!record(8 * n, data)) {
            why = "node coordinate record " + std::to_string(3 + a) + " has the wrong length";
            return false;
        }
        out.nodes[a] = doubles(data, 0, n);
    }
    const auto total = static_cast<std::size_t>(ctl.nout[0]) * ctl.nout[1] * ctl.nout[2];
    for (int c = 0; c < component_count(ctl.ifield); ++c) {
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
bool parse_format1(const std::string& bytes, const Control& ctl, FieldFile& out, std::string& why)
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
    const auto total = static_cast<std::size_t>(ctl.nout[0]) * ctl.nout[1] * ctl.nout[2];
    const std::size_t want = 6 + ctl.nout[0] + ctl.nout[1] + ctl.nout[2] +
                             component_count(ctl.ifield) * total + 1;
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
        out.nodes[a].assign(v.begin() + k, v.begin() + k + ctl.nout[a]);
        k += ctl.nout[a];
    }
    for (int c = 0; c < component_count(ctl.ifield); ++c) {
        out.components.emplace_back(v.begin() + k, v.begin() + k + total);
        k += total;
    }
    out.iend = static_cast<int>(v[k]);
    return true;
}

// The values of korvane.dat: three lines of text, then one group of values a line, each
// followed by its comment.
bool read_control(const std::filesystem::path& path, Control& c)
{
    std::string text;
    if (!read_bytes(path, text)) {
        return false;
    }
    std::vector<std::vector<double>> groups;
    std::size_t at = 0;
    for (int line = 1; at < text.size(); ++line) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (line > 3) {
            std::vector<double> values;
            const char* p = text.c_str() + at;
            const char* stop = text.c_str() + end;
            for (char* next = nullptr; p < stop; p = next) {
                const double v = std::strtod(p, &next);
                if (next == p || next > stop) {
                    break;
                }
                values.push_back(v);
            }
            groups.push_back(values);
        }
        at = end + 1;
    }
    const std::size_t sizes[] = {1, 3, 1, 1, 3, 1, 1, 1, 1, 3};
    if (groups.size() < std::size(sizes)) {
        return false;
    }
    for (std::size_t g = 0; g < std::size(sizes); ++g) {
        if (groups[g].size() < sizes[g]) {
            return false;
        }
    }
    c.ifield = static_cast<int>(groups[0][0]);
    c.nfile = static_cast<int>(groups[2][0]);
    c.ifmt = static_cast<int>(groups[3][0]);
    for (int a = 0; a < 3; ++a) {
        c.ksym[a] = static_cast<int>(groups[4][a]);
        c.nout[a] = static_cast<int>(groups[9][a]);
    }
    c.d_elm = groups[5][0];
    c.aper = groups[6][0];
    return true;
}

int check(const Example& e, const std::filesystem::path& rundir)
{
    Control ctl;
    if (!read_control(rundir / "korvane.dat", ctl)) {
        std::fprintf(stderr, "%s: cannot read the values of '%s'\n", e.name,
                     (rundir / "korvane.dat").string().c_str());
        return 2;
    }
    char name[16];
    std::snprintf(name, sizeof name, "eh_EMS.#%02d", ctl.nfile);
    const std::filesystem::path path = rundir / name;
    std::string bytes;
    if (!read_bytes(path, bytes)) {
        std::fprintf(stderr, "%s: cannot read '%s'\n", e.name, path.string().c_str());
        return 2;
    }
    FieldFile file;
    std::string why;
    const bool parsed = ctl.ifmt == 0 ? parse_format0(bytes, ctl, file, why)
                                      : parse_format1(bytes, ctl, file, why);
    if (!parsed) {
        std::fprintf(stderr, "%s: '%s' is not a format %d file of this grid: %s\n", e.name,
                     path.string().c_str(), ctl.ifmt, why.c_str());
        return 2;
    }

    int faults = 0;
    auto fault = [&](const std::string& what) {
        std::fprintf(stderr, "%s: %s\n", e.name, what.c_str());
        ++faults;
    };
    if (file.d_elm != ctl.d_elm || file.aper != ctl.aper) {
        fault("header d_elm, aper = " + shortest(file.d_elm) + ", " + shortest(file.aper) +
              ", expected " + shortest(ctl.d_elm) + ", " + shortest(ctl.aper));
    }
    if (ctl.ifield != e.ifield) {
        fault("korvane.dat has ifield " + std::to_string(ctl.ifield) + ", the example's field is " +
              std::to_string(e.ifield));
    }
    if (file.k_s_eh != (ctl.ifield == 2 ? 1 : 0)) {
        fault("header k_s_EH = " + std::to_string(file.k_s_eh));
    }
    if (file.ksym != ctl.ksym) {
        fault("header ksym differs from the control file");
    }
    if (file.iend != -99) {
        fault("end marker " + std::to_string(file.iend) + ", expected -99");
    }
    // Output nodes: -aper..aper in x and y, -d_elm/2..d_elm/2 in z, or from 0
    // on an axis whose output symmetry code is set.
    for (int a = 0; a < 3; ++a) {
        const double hi = a < 2 ? ctl.aper : ctl.d_elm / 2;
        const double lo = ctl.ksym[a] != 0 ? 0.0 : -hi;
        const int n = ctl.nout[a];
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
    const double scale = e.scale;
    const int nx = ctl.nout[0];
    const int ny = ctl.nout[1];
    const int nz = ctl.nout[2];
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
    // [0]: nodes on at most one face of the box; [1]: on its edges and corners.
    double worst[2] = {0, 0};
    std::string where[2] = {"nowhere", "nowhere"};
    const int last[3] = {nx - 1, ny - 1, nz - 1};
    for (std::size_t c = 0; c < file.components.size(); ++c) {
        for (int k = 0; k < nz; ++k) {
            for (int j = 0; j < ny; ++j) {
                for (int i = 0; i < nx; ++i) {
                    const int index[3] = {i, j, k};
                    int faces = 0;
                    for (int a = 0; a < 3; ++a) {
                        faces += index[a] == 0 || index[a] == last[a];
                    }
                    const int on_edge = faces >= 2 ? 1 : 0;
                    const Vec3 f = e.field(file.nodes[0][i], file.nodes[1][j], file.nodes[2][k]);
                    // With ifield 2 the magnetic records (after the electric ones) are zero.
                    const double want = (ctl.ifield == 2 && c >= 3) ? 0.0 : scale * f[c % 3];
                    const double got = file.components[c][i + nx * (j + ny * k)];
                    const double dev = std::fabs(got - want) / peak;
                    if (!(dev <= worst[on_edge])) {   // NaN counts as the worst
                        worst[on_edge] = std::isnan(dev) ? INFINITY : dev;
                        char buf[200];
                        std::snprintf(buf, sizeof buf,
                                      "%c%c at node (%d, %d, %d): %.9g, expected %.9g",
                                      c < 3 && ctl.ifield != 1 ? 'E' : 'H', "xyz"[c % 3], i + 1,
                                      j + 1, k + 1, got, want);
                        where[on_edge] = buf;
                    }
                }
            }
        }
    }
    const double allowed[2] = {e.tolerance, e.edge_tolerance};
    const char* const nodes[2] = {"inside and on the faces", "on the edges and corners"};
    for (int n = 0; n < 2; ++n) {
        if (!(worst[n] <= allowed[n])) {
            fault("field " + std::string(nodes[n]) + " deviates by " + shortest(worst[n]) +
                  " of the peak (allowed " + shortest(allowed[n]) + "); worst: " + where[n]);
        }
    }
    std::printf("%s: %s, format %d, %d x %d x %d nodes, %zu components: largest deviation "
                "%.2e of the peak %.6g (allowed %.0e), %.2e on the edges and corners of the "
                "box (allowed %.0e): %s\n",
                e.name, name, ctl.ifmt, nx, ny, nz, file.components.size(), worst[0], peak,
                allowed[0], worst[1], allowed[1], faults == 0 ? "ok" : "FAILED");
    return faults == 0 ? 0 : 1;
}

void usage(std::FILE* to)
{
    std::fputs("usage: korvane-generate-examples [--prepare KORVANE_PREPARE] DIR\n"
               "       korvane-generate-examples --check quadrupole|rf_gap RUNDIR\n"
               "Writes DIR/quadrupole and DIR/rf_gap (the export table, the raw export and,\n"
               "with --prepare, the korvane.dat that korvane-prepare drafts from it), or\n"
               "checks the field file korvane wrote in RUNDIR against the analytic field.\n",
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
        return generate(args[0], "");
    }
    if (args.size() == 3 && args[0] == "--prepare" && !args[2].starts_with("-")) {
        return generate(args[2], args[1]);
    }
    if (args.size() == 3 && args[0] == "--check") {
        if (const Example* e = find_example(args[1])) {
            return check(*e, args[2]);
        }
    }
    usage(stderr);
    return 2;
}
