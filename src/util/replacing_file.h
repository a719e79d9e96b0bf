// Writing a file so that no one ever sees it half-written.
//
// The bytes go to a temporary beside the final name, "NAME.partial-XXXXXX" (the same
// folder, so that the rename is atomic), created new with the permissions a new file gets
// (0666 less the umask, which the kernel applies). Only commit() gives it the final name,
// once its bytes are on the disk; until then an earlier file of that name stays as it was,
// and a ReplacingFile that goes away uncommitted removes its temporary. Each step is one
// system call or a few, and a failure comes back as its errno value, so that each tool
// words its own message.
#pragma once

#include <string>

namespace korvane {

class ReplacingFile {
 public:
  explicit ReplacingFile(std::string final_name);
  virtual ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary under a name no file has yet, open for writing; 0, or the errno
  // of the failure (a name that holds a NUL byte is EINVAL).
  int create();
  // Hands the temporary's descriptor to the writer, which closes it; -1 before create().
  // A second descriptor of the temporary stays here for commit().
  int release();
  // Closes every descriptor of the temporary held here, for a writer that opens it by its
  // name; 0, or the errno of the first close() that failed.
  int close();
  // Closes a descriptor not handed on, flushes the temporary's bytes to the disk (through
  // the descriptor kept, or by opening the temporary again after close()), closes it and
  // renames the temporary over the final name; 0, or the errno of the first step that
  // failed (the temporary is then removed).
  int commit();

  const std::string& final_name() const { return final_name_; }
  // A path the file can be read by before the commit, whether it has a name yet or not
  // (the descriptor kept, through /proc/self/fd); empty before create().
  std::string reading_path() const;
  const std::string& temporary() const { return temporary_; }

 protected:
  // The calls that end the temporary's writing: a test makes them fail, which no file
  // system here does on demand.
  virtual int sync_descriptor(int fd);
  virtual int close_descriptor(int fd);

 private:
  int sync_and_close();

  std::string final_name_;
  std::string temporary_;
  int fd_ = -1;    // the writer's, until release()
  int kept_ = -1;  // the one commit() flushes
  bool pending_ = false;  // a temporary exists that has not taken the final name
};

}  // namespace korvane
