// Writing a file so that no one ever sees it half-written, and nothing is left behind.
//
// The bytes go to a file without a name in the final name's folder (O_TMPFILE): a process
// killed while it writes leaves nothing in the folder. Only commit() gives it a name, once
// its bytes are on the disk: a temporary "NAME.partial-XXXXXX" beside the final name (the
// same folder, so that the rename is atomic), at once renamed over the final name, then
// the folder is flushed so that the new name outlasts a power cut. Where the file system or
// kernel cannot make a file without a name, and for a writer that opens the file by its
// name, the temporary is named from the start, as a killed process then leaves it.
// Either way the file is created new with the permissions a new file gets (0666 less the
// umask, which the kernel applies); until the commit an earlier file of that name stays as
// it was, and a ReplacingFile that goes away uncommitted leaves no file of its own. Each
// step is one system call or a few, and a failure comes back as its errno value, so that
// each tool words its own message.
#pragma once

#include <string>

namespace korvane {

class ReplacingFile {
 public:
  explicit ReplacingFile(std::string final_name);
  virtual ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the file, without a name where the folder's file system allows it, else under
  // a temporary name no file has yet, open for writing; 0, or the errno of the failure (a
  // name that holds a NUL byte is EINVAL).
  int create();
  // The same, always under a temporary name, for a writer that opens the file by its name
  // (temporary()).
  int create_named();
  // Hands the file's descriptor to the writer, which closes it; -1 before create(). A
  // second descriptor of the file stays here for commit().
  int release();
  // Closes every descriptor of the file held here, for a writer that opens it by its name
  // after create_named(); 0, or the errno of the first close() that failed.
  int close();
  // Closes a descriptor not handed on, flushes the file's bytes to the disk (through the
  // descriptor kept, or by opening the temporary again after close()), gives an unnamed
  // file its temporary name, closes it, renames the temporary over the final name and
  // flushes the folder; 0, or the errno of the first step that failed. A failure before
  // the rename leaves no temporary; after it (folder_unsynced()), the file has its final
  // name.
  int commit();

  const std::string& final_name() const { return final_name_; }
  // A path the file can be read by before the commit, whether it has a name yet or not
  // (the descriptor kept, through /proc/self/fd); empty before create().
  std::string reading_path() const;
  // The folder that holds the final name ("." for a name without one).
  const std::string& folder() const { return folder_; }
  // The temporary name; empty while the file has none.
  const std::string& temporary() const { return temporary_; }
  // After a commit() that failed: true when the file took its final name and only the
  // flush of the folder failed, so that the new name may not outlast a power cut.
  bool folder_unsynced() const { return folder_unsynced_; }

 protected:
  // The calls a test makes fail, which no file system here does on demand: those that end
  // the file's writing, and the creation without a name (-1 with errno, as open()).
  virtual int sync_descriptor(int fd);
  virtual int close_descriptor(int fd);
  virtual int open_unnamed(const std::string& folder);

 private:
  int adopt(int fd);
  int flush();
  int link_unnamed();

  std::string final_name_;
  std::string folder_;
  std::string temporary_;
  int fd_ = -1;    // the writer's, until release()
  int kept_ = -1;  // the one commit() flushes (and links, for a file without a name)
  bool pending_ = false;  // a temporary name exists that has not become the final name
  bool folder_unsynced_ = false;
};

// Flushes the folder `folder` to the disk, so that the names just made or changed in it
// outlast a power cut; 0, or the errno of the open, fsync or close that failed. A file
// system that cannot flush a folder (fsync refused with EINVAL) has nothing to flush.
int sync_folder(const std::string& folder);

}  // namespace korvane
