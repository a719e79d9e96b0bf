#include "prepare/export_pass.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <system_error>
#include <vector>

namespace korvane::prepare {
namespace {

// The slots of the chunks of one window.
struct Window {
  int first_slot = 0;
  int chunks = 0;
};

class Pass {
 public:
  // A pass from line `first` on, when the lines before line `lines_read` + 1 are gone
  // through already.
  Pass(PassSetup setup, ChunkWork& work, long first, long lines_read)
      : setup_(setup),
        work_(work),
        to_pass_(std::max(0L, first - 1 - lines_read)),
        lines_before_(lines_read) {}

  // Works on the chunks of every window of `file`, taking each window's results while the
  // next one's chunks are worked on; false when take() ended the pass.
  bool chunked(ChunkedFile& file) {
    Window taking;
    while (file.next_window()) {
      const std::vector<LineChunk>& chunks = file.chunks();
      const int count = static_cast<int>(chunks.size());
      // The window's slots lie beside the slots still to be taken.
      const Window working{count <= taking.first_slot ? 0 : taking.first_slot + taking.chunks,
                           count};
      reserve(working.first_slot + count);
      // The lines before the first one wanted are no lines of the pass: they lie at the
      // start of the file, in the first chunks.
      std::vector<std::string_view> texts(chunks.size());
      for (std::size_t c = 0; c < chunks.size(); ++c) {
        texts[c] = chunks[c].text;
        const std::size_t slot = static_cast<std::size_t>(working.first_slot) + c;
        passed_[slot] = pass_unwanted(texts[c]);
        file_start_[slot] = chunks[c].offset == 0 && passed_[slot] == 0;
      }
      bool more = true;
      std::exception_ptr stop;
      setup_.pool.run(count + 1, [&](int task) {
        if (task == 0) {
          try {
            more = take(taking);
          } catch (...) {
            stop = std::current_exception();
          }
          return;
        }
        run_work(working.first_slot + task - 1, texts[static_cast<std::size_t>(task - 1)]);
      });
      if (stop) std::rethrow_exception(stop);
      if (!more) return false;
      taking = working;
    }
    return take(taking);
  }

  // Reads the rest of the lines from `reader`, a batch at a time, each taken once worked
  // on. When `read_ahead` is given, the reader has read that line last.
  void line_by_line(LineReader& reader, const std::string* read_ahead) {
    reserve(1);
    // Each line is kept with CR LF after it: take_line gives it back as it stands, even
    // when it ends in a CR of its own.
    std::string batch;
    auto keep = [&](std::string_view line) {
      if (to_pass_ > 0) {
        --to_pass_;
        ++lines_before_;
        return;
      }
      batch += line;
      batch += "\r\n";
    };
    if (read_ahead != nullptr) keep(*read_ahead);
    const std::size_t enough = setup_.layout.chunk_bytes;
    for (;;) {
      std::exception_ptr unread;
      bool end = false;
      try {
        std::string_view line;
        while (batch.size() < enough) {
          if (!reader.next(line)) {
            end = true;
            break;
          }
          keep(line);
        }
      } catch (...) {
        unread = std::current_exception();
      }
      // The lines before one that cannot be read are worked on first.
      if (!batch.empty()) {
        passed_[0] = 0;
        file_start_[0] = lines_before_ == 0;
        run_work(0, batch);
        if (!take(Window{0, 1})) return;
        batch.clear();
      }
      if (unread) std::rethrow_exception(unread);
      if (end) return;
    }
  }

  // Lines of the file the pass has gone through.
  long lines_before() const { return lines_before_; }

 private:
  void reserve(int count) {
    if (static_cast<std::size_t>(count) <= faults_.size()) return;
    work_.make_slots(count);
    const auto size = static_cast<std::size_t>(count);
    faults_.resize(size);
    lines_.resize(size);
    passed_.resize(size);
    file_start_.resize(size);
  }

  // Cuts off the front of `text` the lines before the first one wanted; returns how many.
  long pass_unwanted(std::string_view& text) {
    long passed = 0;
    std::string_view line;
    while (to_pass_ > 0 && take_line(text, line)) --to_pass_, ++passed;
    return passed;
  }

  void run_work(int slot, std::string_view text) {
    const auto at = static_cast<std::size_t>(slot);
    faults_[at] = nullptr;
    lines_[at] = 0;
    try {
      lines_[at] = work_.work(slot, text, file_start_[at]);
    } catch (...) {
      faults_[at] = std::current_exception();
    }
  }

  bool take(const Window& window) {
    for (int slot = window.first_slot; slot < window.first_slot + window.chunks; ++slot) {
      const auto at = static_cast<std::size_t>(slot);
      lines_before_ += passed_[at];
      if (!work_.take(slot, lines_before_ + 1)) return false;
      if (faults_[at]) std::rethrow_exception(faults_[at]);
      lines_before_ += lines_[at];
    }
    return true;
  }

  PassSetup setup_;
  ChunkWork& work_;
  long to_pass_;       // lines before the first wanted, not yet passed
  long lines_before_;  // lines of the chunks taken, and of those passed before them
  // By slot: what the work threw, the lines it went through, the unwanted lines passed
  // before its text, and whether its text starts the file.
  std::vector<std::exception_ptr> faults_;
  std::vector<long> lines_;
  std::vector<long> passed_;
  std::vector<char> file_start_;
};

}  // namespace

void run_pass(const std::string& path, LineReader& reader, long first,
              const std::string* read_ahead, PassSetup setup, ChunkWork& work) {
  ChunkedFile file(path, setup.layout);
  if (!file.usable()) {
    // The reader goes on from where it stands: the line it read ahead is still to be taken.
    Pass pass(setup, work, first, reader.line_number() - (read_ahead != nullptr ? 1 : 0));
    pass.line_by_line(reader, read_ahead);
    return;
  }
  Pass pass(setup, work, first, 0);
  if (!pass.chunked(file)) return;
  // What the windows did not reach: a line too long for one, or a window that could not be
  // mapped. The reader finds which.
  reader.resume_at(file.next_offset(), pass.lines_before());
  pass.line_by_line(reader, nullptr);
}

}  // namespace korvane::prepare
