#include "output/field_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace korvane {
namespace {

// The component arrays a file carries, by ifield: electric, magnetic, or both.
int component_arrays(const FieldStore& s, const OutputField* arrays[6]) {
  const OutputField* electric[3] = {&s.ExOut, &s.EyOut, &s.EzOut};
  const OutputField* magnetic[3] = {&s.HxOut, &s.HyOut, &s.HzOut};
  int n = 0;
  if (s.ifield == 0 || s.ifield == 2) {
    for (const OutputField* a : electric) arrays[n++] = a;
  }
  if (s.ifield == 1 || s.ifield == 2) {
    for (const OutputField* a : magnetic) arrays[n++] = a;
  }
  return n;
}

// Unformatted sequential records: each record's data framed by its byte count, as a
// 4-byte little-endian integer, before and after. Values are little-endian too.
class RecordFile {
 public:
  explicit RecordFile(ByteSink& sink) : sink_(sink) {}

  void begin(std::size_t bytes) { put32(static_cast<std::uint32_t>(bytes)), length_ = bytes; }
  void end() { put32(static_cast<std::uint32_t>(length_)); }
  void integer(std::int32_t value) { put32(static_cast<std::uint32_t>(value)); }
  void real(double value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    char bytes[8];
    for (int b = 0; b < 8; ++b) bytes[b] = static_cast<char>(bits >> (8 * b));
    sink_.write(bytes, 8);
  }

 private:
  void put32(std::uint32_t value) {
    char bytes[4];
    for (int b = 0; b < 4; ++b) bytes[b] = static_cast<char>(value >> (8 * b));
    sink_.write(bytes, 4);
  }
  ByteSink& sink_;
  std::size_t length_ = 0;
};

template <int N>
void coordinates0(RecordFile& file, const Axis<N>& axis, std::int32_t count) {
  file.begin(8 * static_cast<std::size_t>(count));
  for (int n = 1; n <= count; ++n) file.real(axis(n));
  file.end();
}

template <int N>
void coordinates1(ListWriter& out, const Axis<N>& axis, std::int32_t count) {
  out.begin_record();
  for (int n = 1; n <= count; ++n) out.real(axis(n));
  out.end_record();
}

// The name of the temporary a file is written under before it takes its final name.
std::string temporary_pattern(const std::string& final_name) {
  return final_name + ".partial-XXXXXX";
}

mode_t creation_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::string cnum2(std::int32_t n) {
  if (n < 0 || n > 99) return "**";
  return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

void write_format0(const FieldStore& s, ByteSink& sink) {
  RecordFile file(sink);
  file.begin(20);
  file.real(s.d_elm);
  file.real(s.aper);
  file.integer(s.k_s_EH);
  file.end();
  file.begin(12);
  file.integer(s.ksym_x);
  file.integer(s.ksym_y);
  file.integer(s.ksym_z);
  file.end();
  coordinates0(file, s.xmws, s.Nox);
  coordinates0(file, s.ymws, s.Noy);
  coordinates0(file, s.zmws, s.Noz);
  const OutputField* arrays[6];
  const int count = component_arrays(s, arrays);
  const std::size_t nodes = static_cast<std::size_t>(s.Nox) * s.Noy * s.Noz;
  for (int a = 0; a < count; ++a) {
    file.begin(8 * nodes);
    for (int k = 1; k <= s.Noz; ++k) {
      for (int j = 1; j <= s.Noy; ++j) {
        for (int i = 1; i <= s.Nox; ++i) file.real((*arrays[a])(i, j, k));
      }
    }
    file.end();
  }
  file.begin(4);
  file.integer(s.iend);
  file.end();
}

void write_format1(const FieldStore& s, ByteSink& sink) {
  ListWriter out(sink);
  out.record(s.d_elm, s.aper, s.k_s_EH);
  out.record(s.ksym_x, s.ksym_y, s.ksym_z);
  coordinates1(out, s.xmws, s.Nox);
  coordinates1(out, s.ymws, s.Noy);
  coordinates1(out, s.zmws, s.Noz);
  const OutputField* arrays[6];
  const int count = component_arrays(s, arrays);
  for (int a = 0; a < count; ++a) {
    out.begin_record();
    for (int k = 1; k <= s.Noz; ++k) {
      for (int j = 1; j <= s.Noy; ++j) {
        for (int i = 1; i <= s.Nox; ++i) out.real((*arrays[a])(i, j, k));
      }
    }
    out.end_record();
  }
  out.record(s.iend);
}

void write_format2(const FieldStore& s, ByteSink& sink) {
  ListWriter out(sink);
  out.record(s.ifield);
  out.record(s.ksym_x, s.ksym_y, s.ksym_z);
  out.record(s.Xmin, s.Xmax, s.Nox);
  out.record(s.Ymin, s.Ymax, s.Noy);
  out.record(s.Zmin, s.Zmax, s.Noz);
  const OutputField* arrays[6];
  const int count = component_arrays(s, arrays);
  if (count == 0) return;
  for (int i = 1; i <= s.Nox; ++i) {
    for (int j = 1; j <= s.Noy; ++j) {
      for (int k = 1; k <= s.Noz; ++k) {
        out.begin_record();
        for (int a = 0; a < count; ++a) out.real((*arrays[a])(i, j, k));
        out.end_record();
      }
    }
  }
}

void write_field_file(FieldStore& s, ListWriter& log, Warnings& warnings) {
  const std::string digits = cnum2(s.nfile);
  if (digits == "**") {
    warnings.warn("nfile = " + std::to_string(s.nfile) +
                  " does not fit in two digits; the output field file is named eh_EMS.#**");
  }
  const std::string name = "eh_EMS.#" + digits;
  s.fname_out.fill(' ');
  std::memcpy(s.fname_out.data(), name.data(), name.size());
  log.record(" Output field file name = ", std::string_view(s.fname_out.data(), 10));
  s.k_s_EH = s.ifield == 2 ? 1 : 0;
  s.iend = -99;
  if (s.ifmt != 0 && s.ifmt != 1 && s.ifmt != 2) {
    throw FatalStop(" Not a valid PELIX 3D field format: use 0, 1 or 2 ");
  }

  std::string temporary = temporary_pattern(name);
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    throw IoError(located_message(field_file_unit, name, 0,
                                  std::string("cannot create the file: ") +
                                      std::strerror(errno)));
  }
  try {
    ::fchmod(fd, creation_mode());
    FileSink sink(field_file_unit, name);
    sink.adopt(fd);
    if (s.ifmt == 0) {
      write_format0(s, sink);
    } else if (s.ifmt == 1) {
      write_format1(s, sink);
    } else {
      write_format2(s, sink);
    }
    sink.close();
    if (std::rename(temporary.c_str(), name.c_str()) != 0) {
      throw IoError(located_message(field_file_unit, name, 0,
                                    std::string("cannot replace the file: ") +
                                        std::strerror(errno)));
    }
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

void write_summary(const FieldStore& s, ListWriter& log) {
  log.record("d_elm, aper, k_s_EH= ", s.d_elm, s.aper, s.k_s_EH);
  log.record("ksym_x, ksym_y, ksym_z = ", s.ksym_x, s.ksym_y, s.ksym_z);
  log.record("xmws limits= ", s.xmws(1), s.xmws(s.Nox));
  log.record("ymws limits= ", s.ymws(1), s.ymws(s.Noy));
  log.record("zmws limits= ", s.zmws(1), s.zmws(s.Noz));
}

}  // namespace korvane
