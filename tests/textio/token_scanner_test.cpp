#include "textio/token_scanner.h"

#include <gtest/gtest.h>

#include <string>

#include "textio/errors.h"

namespace korvane {
namespace {

// Each piece of a line as the scanner hands it out: a token as itself, a comma as ",".
std::string pieces(std::string_view line) {
  TokenScanner scan(line);
  std::string out;
  for (;;) {
    switch (scan.next()) {
      case TokenScanner::Piece::line_end:
        return out;
      case TokenScanner::Piece::comma:
        out += "[,]";
        break;
      case TokenScanner::Piece::token:
        out.append("[").append(scan.take()).append("]");
        break;
    }
  }
}

TEST(TokenScanner, HandsOutTokensAndEachComma) {
  const struct {
    const char* line;
    const char* pieces;
    std::size_t tokens;
  } cases[] = {
      {"", "", 0},
      {" \t ", "", 0},
      {"1 2\t3", "[1][2][3]", 3},
      {" 1.5e-3 ,, -2 ,", "[1.5e-3][,][,][-2][,]", 2},
      {",x,", "[,][x][,]", 1},
      {"a\x01b c", "[a\x01b][c]", 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pieces(c.line), c.pieces) << c.line;
    EXPECT_EQ(count_tokens(c.line), c.tokens) << c.line;
  }
}

TEST(TextPlace, LeavesOutWhatIsAbsentAndCutsLongTokens) {
  EXPECT_EQ((TextPlace{"korvane", 7, "eh", 3}.message("x")), "korvane: unit 7, file 'eh', line 3: x");
  EXPECT_EQ((TextPlace{"", 0, "a\nb", 0}.message("y")), "file 'a\\x0Ab': y");
  const std::string expected = std::string("'").append(80, 'z').append("...'");
  EXPECT_EQ(quoted_token(std::string(81, 'z')), expected);
}

}  // namespace
}  // namespace korvane
