// Writing a file so that no one ever sees it half-written.
//
// The bytes go to a temporary beside the final name, "NAME.partial-XXXXXX" (the same
// folder, so that the rename is atomic), created with the permissions a new file would get
// (0666 less the umask). Only commit() gives it the final name; until then an earlier file
// of that name stays as it was, and a ReplacingFile that goes away uncommitted removes its
// temporary. Failures are returned as errno values, so that each tool words its own message.
#pragma once

#include <string>

namespace korvane {

class ReplacingFile {
 public:
  explicit ReplacingFile(std::string final_name);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary, open for writing; 0, or the errno of the failure (a name that
  // holds a NUL byte is EINVAL).
  int create();
  // Hands the temporary's descriptor to the writer, which closes it; -1 before create().
  int release();
  // Renames the temporary over the final name; 0, or the errno of the failure (the
  // temporary is then removed).
  int commit();

  const std::string& final_name() const { return final_name_; }
  const std::string& temporary() const { return temporary_; }

 private:
  std::string final_name_;
  std::string temporary_;
  int fd_ = -1;
  bool pending_ = false;  // a temporary exists that has not taken the final name
};

}  // namespace korvane
