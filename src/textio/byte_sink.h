// Destinations for the bytes of written records.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(const char* data, std::size_t size) = 0;
  void write(std::string_view text) { write(text.data(), text.size()); }
};

// Collects everything in memory; for tests and small texts.
class StringSink : public ByteSink {
 public:
  void write(const char* data, std::size_t size) override { text.append(data, size); }
  using ByteSink::write;
  std::string text;
};

// A file written through one large buffer: one write(2) per megabyte, not per value.
// Failures throw IoError naming the unit and the file, speaking for `program` (see
// TextPlace).
class FileSink : public ByteSink {
 public:
  FileSink(std::string_view program, int unit, std::string name);
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // Creates or truncates the file (mode 0666 less the umask).
  void open_truncate();
  // Takes over a descriptor opened by the caller (a temporary file, say).
  void adopt(int fd);

  void write(const char* data, std::size_t size) override;
  using ByteSink::write;
  // Writes every line out as soon as it ends, so a file that cannot take it is found out
  // at once, not when the file is closed.
  void write_through_lines() { write_through_lines_ = true; }
  // Writes out the buffer; the file stays open.
  void flush();
  // Flushes and closes; a failure of either throws.
  void close();

 private:
  [[noreturn]] void fail(std::string_view action, int error) const;
  void write_all(const char* data, std::size_t size);

  std::string program_;
  int unit_;
  std::string name_;
  int fd_ = -1;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  bool write_through_lines_ = false;
};

}  // namespace korvane
