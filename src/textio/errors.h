// Errors that end a run, and the text of messages that point at a place in a file.
//
// Two kinds of end besides the normal one:
//  - FatalStop: a fixed one-line message (leading and trailing blank included) that the
//    caller prints as it stands; the run ends with status 1.
//  - IoError: a file could not be opened, read or written, or held something that is not
//    the number needed. Its text is a located message (TextPlace) and, where a line is at
//    fault, shows that line with a caret under the offending token; status 2.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace korvane {

class FatalStop : public std::runtime_error {
 public:
  explicit FatalStop(const std::string& message) : std::runtime_error(message) {}
};

class IoError : public std::runtime_error {
 public:
  explicit IoError(const std::string& message) : std::runtime_error(message) {}
};

// Receives warnings: messages about doubtful input that do not stop the run.
class Warnings {
 public:
  virtual ~Warnings() = default;
  virtual void warn(const std::string& text) = 0;
};

// Where in a file a message points. Every located message of every tool is formatted here.
struct TextPlace {
  // The program the message speaks for, its prefix; empty for none (a program that puts
  // its own name before every message it prints).
  std::string_view program;
  int unit = 0;     // the numbered unit, or 0 for a file without one
  std::string_view file;
  long line = 0;    // 0 when no one line is at fault
  long record = 0;  // the record at fault, or 0 for none

  // "PROGRAM: unit U, file 'NAME', record R, line L: what", leaving out the parts that are
  // absent. Bytes of the name that are not printable are shown as \xNN so the message
  // stays one line.
  std::string message(std::string_view what) const;
  // The same, followed by the offending line `text` with a caret under `column` (from 0),
  // as caret_excerpt shows them.
  std::string message(std::string_view what, std::string_view text, std::size_t column) const;
};

// "PROGRAM: unit U, file 'NAME'" (and ", line L" when line > 0), then ": " and what, as
// TextPlace words it.
std::string located_message(std::string_view program, int unit, std::string_view file, long line,
                            std::string_view what);

// A token as messages quote it: between single quotes, unprintable bytes as \xNN, cut at
// max_token_shown characters with "..." after the cut.
inline constexpr std::size_t max_token_shown = 80;
std::string quoted_token(std::string_view token);

// The offending line indented by four blanks and a caret under column `column` (from 0),
// each on its own line, ready to follow a located message. A long line is shown as a
// window around the column.
std::string caret_excerpt(std::string_view line, std::size_t column);

// Printable form of arbitrary bytes: control and non-ASCII bytes become \xNN.
std::string printable(std::string_view bytes);

}  // namespace korvane
