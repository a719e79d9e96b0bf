#include "prepare/export_pass.h"

#include <cstring>
#include <exception>
#include <memory>
#include <system_error>
#include <vector>

namespace korvane::prepare {
namespace {

// Lines in a chunk of whole lines (the file's last line may lack its LF).
long count_lines(std::string_view text) {
  long lines = 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
    p = static_cast<const char*>(lf) + 1;
    ++lines;
  }
  return p != end ? lines + 1 : lines;
}

// The text after the first `lines` lines of `text`.
std::string_view after_lines(std::string_view text, long lines) {
  std::string_view line;
  for (long n = 0; n < lines && take_line(text, line); ++n) {
  }
  return text;
}

// The slots of the chunks of one window.
struct Window {
  int first_slot = 0;
  int chunks = 0;
};

class Pass {
 public:
  Pass(PassSetup setup, ChunkWork& work) : setup_(setup), work_(work) {}

  // Works on the chunks of every window of `file`, taking each window's results while the
  // next one's chunks are worked on; false when take() ended the pass.
  bool chunked(ChunkedFile& file, long first, long& lines_before) {
    Window taking;
    while (file.next_window()) {
      const std::vector<LineChunk>& chunks = file.chunks();
      const int count = static_cast<int>(chunks.size());
      std::vector<long> lines(chunks.size());
      setup_.pool.run(count, [&](int c) {
        lines[static_cast<std::size_t>(c)] = count_lines(chunks[static_cast<std::size_t>(c)].text);
      });
      // The window's slots lie beside the slots still to be taken.
      Window working{count <= taking.first_slot ? 0 : taking.first_slot + taking.chunks, count};
      reserve(working.first_slot + count);
      std::vector<long> first_lines(chunks.size());
      for (std::size_t c = 0; c < chunks.size(); ++c) {
        first_lines[c] = lines_before + 1;
        lines_before += lines[c];
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
        const std::size_t c = static_cast<std::size_t>(task - 1);
        std::string_view text = chunks[c].text;
        long line = first_lines[c];
        // Lines before the first one wanted are no lines of the pass.
        if (line < first) {
          text = after_lines(text, first - line);
          line = first;
        }
        run_work(working.first_slot + task - 1, text, line);
      });
      if (stop) std::rethrow_exception(stop);
      if (!more) return false;
      taking = working;
    }
    return take(taking);
  }

  // Reads the lines numbered `first` and after from `reader`, a batch at a time, each taken
  // once worked on.
  void line_by_line(LineReader& reader, long first, const std::string* read_ahead) {
    reserve(1);
    // Each line is kept with CR LF after it: take_line gives it back as it stands, even
    // when it ends in a CR of its own.
    std::string batch;
    long batch_first = 0;
    auto keep = [&](std::string_view line, long number) {
      if (number < first) return;
      if (batch.empty()) batch_first = number;
      batch += line;
      batch += "\r\n";
    };
    if (read_ahead != nullptr) keep(*read_ahead, reader.line_number());
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
          keep(line, reader.line_number());
        }
      } catch (...) {
        unread = std::current_exception();
      }
      // The lines before one that cannot be read are worked on first.
      if (!batch.empty()) {
        run_work(0, batch, batch_first);
        if (!take(Window{0, 1})) return;
        batch.clear();
      }
      if (unread) std::rethrow_exception(unread);
      if (end) return;
    }
  }

 private:
  void reserve(int count) {
    if (static_cast<std::size_t>(count) <= faults_.size()) return;
    work_.make_slots(count);
    faults_.resize(static_cast<std::size_t>(count));
  }

  void run_work(int slot, std::string_view text, long first_line) {
    faults_[static_cast<std::size_t>(slot)] = nullptr;
    try {
      work_.work(slot, text, first_line);
    } catch (...) {
      faults_[static_cast<std::size_t>(slot)] = std::current_exception();
    }
  }

  bool take(const Window& window) {
    for (int slot = window.first_slot; slot < window.first_slot + window.chunks; ++slot) {
      if (!work_.take(slot)) return false;
      if (const std::exception_ptr fault = faults_[static_cast<std::size_t>(slot)]) {
        std::rethrow_exception(fault);
      }
    }
    return true;
  }

  PassSetup setup_;
  ChunkWork& work_;
  std::vector<std::exception_ptr> faults_;
};

}  // namespace

void run_pass(const std::string& path, LineReader& reader, long first,
              const std::string* read_ahead, PassSetup setup, ChunkWork& work) {
  Pass pass(setup, work);
  ChunkedFile file(path, setup.layout);
  if (!file.usable()) {
    pass.line_by_line(reader, first, read_ahead);
    return;
  }
  long lines_before = 0;
  if (!pass.chunked(file, first, lines_before)) return;
  // What the windows did not reach: a line too long for one, or a window that could not be
  // mapped. The reader finds which.
  reader.resume_at(file.next_offset(), lines_before);
  pass.line_by_line(reader, first, nullptr);
}

std::unique_ptr<TaskPool> make_team(int threads) {
  try {
    return std::make_unique<TaskPool>(threads);
  } catch (const std::system_error&) {
    return std::make_unique<TaskPool>(1);
  }
}

}  // namespace korvane::prepare
