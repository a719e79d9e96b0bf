// A file cut into windows and chunks for the parallel readers: the chunks, in order, are
// the file's bytes, each a run of whole lines, whatever the layout, even for a line many
// times longer than a chunk.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "textio/line_chunks.h"

namespace korvane {
namespace {

TEST(ChunkedFile, ChunksAreTheFileInWholeLines) {
  const std::string long_line(5000, '7');
  const std::string files[] = {
      "1 2 3\n4 5 6\n7 8 9\n",
      "1 2 3\r\n4 5 6\r\n7 8",                   // CR LF, the last line without its LF
      "a\n" + long_line + "\nb\n\nc\n" + long_line,  // lines longer than any window asked for
  };
  const ChunkLayout layouts[] = {{1, 1}, {1, 4}, {7, 2}, {23, 3}, {1 << 20, 16}};
  for (const std::string& content : files) {
    testing::ScratchDir dir;
    testing::write_file(dir / "table.txt", content);
    for (const ChunkLayout& layout : layouts) {
      SCOPED_TRACE(std::to_string(content.size()) + " bytes, chunks of " +
                   std::to_string(layout.chunk_bytes));
      ChunkedFile file((dir / "table.txt").string(), layout);
      ASSERT_TRUE(file.usable());
      std::string joined;
      while (file.next_window()) {
        for (const LineChunk& chunk : file.chunks()) {
          ASSERT_FALSE(chunk.text.empty());
          EXPECT_EQ(chunk.offset, joined.size());
          const bool ends_file = chunk.offset + chunk.text.size() == content.size();
          EXPECT_TRUE(chunk.text.back() == '\n' || ends_file);
          joined.append(chunk.text);
        }
        EXPECT_EQ(file.next_offset(), joined.size());
      }
      EXPECT_EQ(joined, content);
    }
  }
}

}  // namespace
}  // namespace korvane
