// Helpers shared by the tests: scratch folders, files, and runs of the real binary.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "store/field_store.h"
#include "store/run_context.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"
#include "textio/errors.h"

namespace korvane::testing {

// A fresh empty folder under the system's temporary folder, removed with its content when
// the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Makes the current directory `dir` for the lifetime of the object.
class WorkingDir {
 public:
  explicit WorkingDir(const std::filesystem::path& dir);
  ~WorkingDir();

 private:
  std::filesystem::path previous_;
};

void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);

struct ProcessResult {
  int status = -1;
  std::string out;
  std::string err;
};

// The first two records of every run's log: all a run that ends before its control file
// is read through leaves in it.
inline const std::string log_header =
    "  mu0 =   1.256637061435917E-002 Gs*m/A \r\n"
    "  ------------------------------ \r\n";

// Runs the korvane binary in `dir` with the given arguments (none by default) and
// environment settings ("NAME=value ...", none by default).
ProcessResult run_korvane(const std::filesystem::path& dir, const std::string& arguments = "",
                          const std::string& environment = "");
// Runs `binary` in `dir` the same way.
ProcessResult run_tool(const std::string& binary, const std::filesystem::path& dir,
                       const std::string& arguments, const std::string& environment = "");

// The KORVANE_THREADS settings every whole run is tried with: one thread, and the default
// (every usable processor).
inline const char* const thread_settings[] = {"KORVANE_THREADS=1", ""};

// Collects warnings in memory.
class CollectedWarnings : public Warnings {
 public:
  void warn(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

// A run context in the converter's voice, its log in memory and its warnings collected.
struct TestRun {
  StringSink log_text;
  ListWriter log{log_text};
  CollectedWarnings warnings;
  RunContext run{"korvane", log, warnings};
};

// A control file with the usual one group a record; `table` names the table.
struct Control {
  std::string table = "table.txt";
  int ifield = 0;
  int isym[3] = {0, 0, 0};
  int nfile = 7;
  int ifmt = 1;
  int ksym[3] = {0, 0, 0};
  std::string d_elm = "2.0";
  std::string aper = "1.0";
  std::string fscale = "1.0";
  std::string cscale = "1.0";
  int counts[3] = {3, 3, 3};
  std::string text() const;
};

// A table of nx x ny x nz records on the mesh lo + (n - 1) * step, in the loop order
// `iord` (123 .. 321), with `columns` values a record (9 or 6; 3 writes no coordinates and
// always runs z fastest, then y, then x). The field at each node is field(x, y, z, c).
std::string make_table(int nx, int ny, int nz, const double lo[3], const double step[3],
                       int iord, int columns,
                       double (*field)(double x, double y, double z, int component));

// Names `path` as the store's export table (fname, blank-padded to 132 characters).
void set_table_name(FieldStore& store, const std::string& path);

}  // namespace korvane::testing
