// Errors that end a run, and the text of messages that point at a place in a file.
//
// Two kinds of end besides the normal one:
//  - FatalStop: a fixed one-line message (leading and trailing blank included) that the
//    caller prints as it stands; the run ends with status 1.
//  - IoError: a file could not be opened, read or written, or held something that is not
//    the number needed. Its text starts "korvane: unit U, file 'NAME'" and, where a line is
//    at fault, shows that line with a caret under the offending token; status 2.
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

// "korvane: unit U, file 'NAME'" (and ", line L" when line > 0), then ": " and what.
// Bytes of the name that are not printable are shown as \xNN so the message stays one line.
std::string located_message(int unit, std::string_view file, long line, std::string_view what);

// The offending line indented by four blanks and a caret under column `column` (from 0),
// each on its own line, ready to follow a located message. A long line is shown as a
// window around the column.
std::string caret_excerpt(std::string_view line, std::size_t column);

// Printable form of arbitrary bytes: control and non-ASCII bytes become \xNN.
std::string printable(std::string_view bytes);

}  // namespace korvane
