#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace korvane::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "korvane-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

WorkingDir::WorkingDir(const fs::path& dir) : previous_(fs::current_path()) {
  fs::current_path(dir);
}

WorkingDir::~WorkingDir() { fs::current_path(previous_); }

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ProcessResult run_korvane(const fs::path& dir, const std::string& arguments,
                          const std::string& environment) {
  return run_tool(KORVANE_BINARY, dir, arguments, environment);
}

ProcessResult run_tool(const std::string& binary, const fs::path& dir,
                       const std::string& arguments, const std::string& environment) {
  ProcessResult result;
  const fs::path out = dir / ".stdout", err = dir / ".stderr";
  const std::string command = "cd '" + dir.string() + "' && " + environment + " '" + binary +
                              "' " + arguments + " >'" + out.string() + "' 2>'" +
                              err.string() + "'";
  const int raw = std::system(command.c_str());
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = read_file(out);
  result.err = read_file(err);
  fs::remove(out);
  fs::remove(err);
  return result;
}

std::string Control::text() const {
  std::ostringstream t;
  t << "test control file\n"
    << "second title record\n"
    << table << "\n"
    << ifield << "\n"
    << isym[0] << " " << isym[1] << " " << isym[2] << "\n"
    << nfile << "\n"
    << ifmt << "\n"
    << ksym[0] << " " << ksym[1] << " " << ksym[2] << "\n"
    << d_elm << "\n"
    << aper << "\n"
    << fscale << "\n"
    << cscale << "\n"
    << counts[0] << " " << counts[1] << " " << counts[2] << "\n";
  return t.str();
}

std::string make_table(int nx, int ny, int nz, const double lo[3], const double step[3],
                       int iord, int columns,
                       double (*field)(double x, double y, double z, int component)) {
  const int count[3] = {nx, ny, nz};
  int rank[3] = {iord / 100, iord / 10 % 10, iord % 10};
  if (columns == 3) rank[0] = 3, rank[1] = 2, rank[2] = 1;
  int axis_of_rank[3];
  for (int a = 0; a < 3; ++a) axis_of_rank[rank[a] - 1] = a;
  std::string text;
  int node[3];
  char line[512];
  for (int c = 0; c < count[axis_of_rank[2]]; ++c) {
    for (int b = 0; b < count[axis_of_rank[1]]; ++b) {
      for (int a = 0; a < count[axis_of_rank[0]]; ++a) {
        node[axis_of_rank[0]] = a, node[axis_of_rank[1]] = b, node[axis_of_rank[2]] = c;
        const double x = lo[0] + node[0] * step[0];
        const double y = lo[1] + node[1] * step[1];
        const double z = lo[2] + node[2] * step[2];
        const double fx = field(x, y, z, 0), fy = field(x, y, z, 1), fz = field(x, y, z, 2);
        if (columns == 9) {
          std::snprintf(line, sizeof line, "%.17g %.17g %.17g %.17g %.17g %.17g 0 0 0\n", x, y,
                        z, fx, fy, fz);
        } else if (columns == 6) {
          std::snprintf(line, sizeof line, "%.17g %.17g %.17g %.17g %.17g %.17g\n", x, y, z, fx,
                        fy, fz);
        } else {
          std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", fx, fy, fz);
        }
        text += line;
      }
    }
  }
  return text;
}

void set_table_name(FieldStore& store, const std::string& path) {
  if (path.size() > store.fname.size()) std::abort();
  store.fname.fill(' ');
  std::memcpy(store.fname.data(), path.data(), path.size());
}

}  // namespace korvane::testing
