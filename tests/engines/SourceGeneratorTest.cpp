#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engines/DiscCountEngine.h"
#include "engines/BitboardMoves.h"
#include "engines/SourceGenerator.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class SourceGenerator : public ::testing::Test {
 protected:
  void SetUp() override {
    Engine.SetupStartPosition();
    Lines = GenerateSourceLines(Engine);
  }

  // The lines of one square's block, without its start and end lines.
  std::vector<std::string> Block(int square) const {
    const std::string start = "  " + std::to_string(square) + ": begin";
    const auto first = std::find(Lines.begin(), Lines.end(), start);
    EXPECT_NE(first, Lines.end()) << start;
    if (first == Lines.end()) return {};
    const auto last = std::find(first, Lines.end(), "      end;");
    return std::vector<std::string>(first + 1, last);
  }

  static bool Contains(const std::vector<std::string>& lines, const std::vector<std::string>& run) {
    return std::search(lines.begin(), lines.end(), run.begin(), run.end()) != lines.end();
  }

  TDiscCountEngine Engine{10, TBoardKind::Board8x8};
  std::vector<std::string> Lines;
};

std::string Hex8(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof(text), "%08X", value);
  return text;
}

TEST_F(SourceGenerator, FileShape) {
  ASSERT_GE(Lines.size(), 3u);
  EXPECT_EQ(Lines.front(), "case wohin of");
  EXPECT_EQ(Lines.back(), "end;");
  std::vector<int> squares;
  const std::regex start("  ([0-9]+): begin");
  for (const std::string& line : Lines) {
    std::smatch match;
    if (std::regex_match(line, match, start)) squares.push_back(std::stoi(match[1]));
  }
  std::vector<int> expected;
  for (int row = 1; row <= 8; ++row)
    for (int column = 1; column <= 8; ++column) expected.push_back(10 * row + column);
  EXPECT_EQ(squares, expected);
  EXPECT_EQ(std::count(Lines.begin(), Lines.end(), "      end;"), 64);
}

TEST_F(SourceGenerator, CornerSquareHasThreeRaysOfSixSteps) {
  const std::vector<std::string> block = Block(11);
  ASSERT_FALSE(block.empty());
  EXPECT_EQ(block.front(), "          if GegnerBitboard.L and $00000002<> 0 then begin");
  // East: bits 1..6 nested; the own test after six opponents looks at bit 7.
  for (int step = 1; step <= 6; ++step)
    EXPECT_EQ(block[step - 1],
              "          if GegnerBitboard.L and $" + Hex8(1u << step) + "<> 0 then begin");
  EXPECT_EQ(block[6], "           if PlayerBitboard.L and $00000080<> 0 then begin ");
  EXPECT_EQ(block[7], "            INC(result,6);");
  EXPECT_EQ(block[8], "            PlayerBitboard.L := PlayerBitboard.L or $0000007F;");
  EXPECT_EQ(block[9], "            GegnerBitboard.L := GegnerBitboard.L xor $0000007E;");

  const auto count = [&](const std::string& prefix) {
    return std::count_if(block.begin(), block.end(),
                         [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  };
  EXPECT_EQ(count("          if GegnerBitboard"), 18);
  EXPECT_EQ(count("           if PlayerBitboard"), 18);
  EXPECT_EQ(count("            INC(result,"), 18);
  EXPECT_EQ(count("           end else"), 15);
  EXPECT_EQ(count("           end;"), 3);
  // South and south-east reach into the upper half; no other direction leaves the corner.
  EXPECT_EQ(count("          if GegnerBitboard.L and $00000100<> 0"), 1);  // a2
  EXPECT_EQ(count("          if GegnerBitboard.L and $00000200<> 0"), 1);  // b2
  EXPECT_EQ(count("          if GegnerBitboard.H and $00000001<> 0"), 1);  // a5
  EXPECT_EQ(count("          if GegnerBitboard.H and $00000010<> 0"), 1);  // e5
  EXPECT_EQ(count("          if GegnerBitboard.H and $00400000<> 0"), 1);  // g7
}

TEST_F(SourceGenerator, OneStepRay) {
  // From c1 westwards only b1 can be taken, closed by a1.
  const THashTable& keys = *Engine.HashTable;
  const std::vector<std::string> expected = {
      "          if GegnerBitboard.L and $00000002<> 0 then begin",
      "           if PlayerBitboard.L and $00000001<> 0 then begin ",
      "            INC(result,1);",
      "            PlayerBitboard.L := PlayerBitboard.L or $00000006;",
      "            GegnerBitboard.L := GegnerBitboard.L xor $00000002;",
      "            hashcode[0] := hashcode[0] xor $" + Hex8(keys.FlipKey[0][12]) + ";",
      "            hashcode[1] := hashcode[1] xor $" + Hex8(keys.FlipKey[1][12]) + ";",
      "            end;",
      "           end;"};
  EXPECT_TRUE(Contains(Block(13), expected));
}

TEST_F(SourceGenerator, RunIntoTheUpperHalfFromTheLowerOne) {
  // a4 (bit 24) southwards: a5 (bit 32) is flipped, a6 closes. The own mask spans both halves,
  // and so the opponent mask is written whole with its lower half zero.
  const std::vector<std::string> block = Block(41);
  const std::string own =
      "            PlayerBitboard.asInt64 := PlayerBitboard.asInt64 or $0000000101000000;";
  const std::string opponent =
      "            GegnerBitboard.asInt64 := GegnerBitboard.asInt64 xor $0000000100000000;";
  const auto found = std::find(block.begin(), block.end(), own);
  ASSERT_NE(found, block.end());
  ASSERT_NE(found + 1, block.end());
  EXPECT_EQ(*(found + 1), opponent);
  EXPECT_EQ(opponent.substr(opponent.size() - 9), "00000000;");
  // Within the upper half the short forms are used: a5 east over b5 to c5.
  EXPECT_TRUE(
      Contains(Block(51), {"            PlayerBitboard.H := PlayerBitboard.H or $00000003;",
                           "            GegnerBitboard.H := GegnerBitboard.H xor $00000002;"}));
}

TEST_F(SourceGenerator, WritesCarriageReturnLineFeed) {
  const fs::path folder =
      fs::temp_directory_path() / ("morvane-generated-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  const fs::path file = folder / "Generated.txt";
  WriteGeneratedSource(Engine, file);
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove_all(folder);

  std::string expected;
  for (const std::string& line : Lines) expected += line + "\r\n";
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(bytes.substr(0, 15), "case wohin of\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 6), "end;\r\n");
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'),
            std::count(bytes.begin(), bytes.end(), '\r'));
}

TEST_F(SourceGenerator, UnwritableFileNamesItself) {
  const fs::path file = fs::temp_directory_path() / "morvane-no-such-folder-4711" / "Generated.txt";
  try {
    WriteGeneratedSource(Engine, file);
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos) << error.what();
  }
}

TEST_F(SourceGenerator, ChangesNothingInTheEngine) {
  const PositionImage before = Engine.CurrentPosition();
  const uint32_t lo = Engine.HashLo, hi = Engine.HashHi;
  GenerateSourceLines(Engine);
  const PositionImage after = Engine.CurrentPosition();
  EXPECT_EQ(std::memcmp(&before, &after, sizeof(before)), 0);
  EXPECT_EQ(Engine.HashLo, lo);
  EXPECT_EQ(Engine.HashHi, hi);
}

// ---- The text means what the engine's per-square routines do ----

// The few statement forms of the text, read into a program that can be run for one square.
struct TStatement {
  enum TKind { Case, Square, Test, Count, Own, Opponent, Hash, End, EndElse } Kind;
  int Number = 0;       // square, count, hash word
  bool Player = false;  // which bitboard a test reads
  int Shift = 0;        // 0 for .L and .asInt64, 32 for .H
  uint64_t Value = 0;
};

std::vector<TStatement> Compile(const std::vector<std::string>& lines) {
  static const std::regex square("  ([0-9]+): begin");
  static const std::regex test(
      " *if (Gegner|Player)Bitboard\\.(L|H) and \\$([0-9A-F]{8})<> 0 then begin ?");
  static const std::regex count(" *INC\\(result,([0-9]+)\\);");
  static const std::regex own(
      " *PlayerBitboard\\.(L|H|asInt64) := PlayerBitboard\\.\\1 or \\$([0-9A-F]+);");
  static const std::regex opponent(
      " *GegnerBitboard\\.(L|H|asInt64) := GegnerBitboard\\.\\1 xor \\$([0-9A-F]+);");
  static const std::regex hash(" *hashcode\\[([01])\\] := hashcode\\[\\1\\] xor \\$([0-9A-F]{8});");
  std::vector<TStatement> program;
  for (const std::string& line : lines) {
    std::smatch m;
    TStatement s{TStatement::End};
    const auto half = [](const std::string& h) { return h == "H" ? 32 : 0; };
    if (line == "case wohin of") {
      s.Kind = TStatement::Case;
    } else if (std::regex_match(line, m, square)) {
      s = {TStatement::Square, std::stoi(m[1])};
    } else if (std::regex_match(line, m, test)) {
      s = {TStatement::Test, 0, m[1] == "Player", half(m[2]), std::stoull(m[3], nullptr, 16)};
    } else if (std::regex_match(line, m, count)) {
      s = {TStatement::Count, std::stoi(m[1])};
    } else if (std::regex_match(line, m, own)) {
      s = {TStatement::Own, 0, true, half(m[1]), std::stoull(m[2], nullptr, 16)};
    } else if (std::regex_match(line, m, opponent)) {
      s = {TStatement::Opponent, 0, false, half(m[1]), std::stoull(m[2], nullptr, 16)};
    } else if (std::regex_match(line, m, hash)) {
      s = {TStatement::Hash, std::stoi(m[1]), false, 0, std::stoull(m[2], nullptr, 16)};
    } else if (line == "           end else") {
      s.Kind = TStatement::EndElse;
    } else if (line.find_first_not_of(' ') != std::string::npos &&
               line.substr(line.find_first_not_of(' ')) == "end;") {
      s.Kind = TStatement::End;
    } else {
      ADD_FAILURE() << "unexpected line: \"" << line << "\"";
    }
    program.push_back(s);
  }
  return program;
}

struct TRunResult {
  int Result = 0;
  uint64_t Player, Gegner;
  uint32_t Hash[2] = {};
};

TRunResult Execute(const std::vector<TStatement>& program, int wohin, uint64_t player,
                   uint64_t gegner) {
  TRunResult r{0, player, gegner};
  struct TFrame {
    bool Active, Condition;
  };
  std::vector<TFrame> frames;
  bool elseBranch = false, lastCondition = false;
  for (const TStatement& s : program) {
    const bool active = frames.empty() || frames.back().Active;
    switch (s.Kind) {
      case TStatement::Case:
        frames.push_back({true, true});
        break;
      case TStatement::Square:
        frames.push_back({active && s.Number == wohin, s.Number == wohin});
        break;
      case TStatement::Test: {
        const bool condition = ((s.Player ? r.Player : r.Gegner) & (s.Value << s.Shift)) != 0;
        const bool enabled = elseBranch ? active && !lastCondition : active;
        elseBranch = false;
        frames.push_back({enabled && condition, condition});
        break;
      }
      case TStatement::Count:
        if (active) r.Result += s.Number;
        break;
      case TStatement::Own:
        if (active) r.Player |= s.Value << s.Shift;
        break;
      case TStatement::Opponent:
        if (active) r.Gegner ^= s.Value << s.Shift;
        break;
      case TStatement::Hash:
        if (active) r.Hash[s.Number] ^= static_cast<uint32_t>(s.Value);
        break;
      case TStatement::End:
        frames.pop_back();
        break;
      case TStatement::EndElse:
        lastCondition = frames.back().Condition;
        frames.pop_back();
        elseBranch = true;
        break;
    }
  }
  EXPECT_TRUE(frames.empty()) << "unbalanced blocks";
  return r;
}

TEST_F(SourceGenerator, TextDoesWhatThePerSquareRoutinesDo) {
  const std::vector<TStatement> program = Compile(Lines);
  ASSERT_FALSE(HasFailure());
  std::mt19937 random(31);
  std::uniform_int_distribution<int> cell(0, 9);
  int flipping = 0;
  for (int round = 0; round < 60; ++round) {
    uint64_t player = 0, gegner = 0;
    for (int bit = 0; bit < 64; ++bit) {
      const int draw = cell(random);
      if (draw >= 7)
        player |= uint64_t{1} << bit;
      else if (draw >= 2)
        gegner |= uint64_t{1} << bit;
    }
    for (int bit = 0; bit < 64; ++bit) {
      const int square = bits::SquareOf(bit);
      uint64_t p = player, g = gegner;
      uint32_t lo = 0, hi = 0;
      const int flips = bits::PlayHashed(square, p, g, lo, hi);
      const TRunResult text = Execute(program, square, player, gegner);
      ASSERT_EQ(text.Result, flips) << "square " << square;
      ASSERT_EQ(text.Player, p) << "square " << square;
      ASSERT_EQ(text.Gegner, g) << "square " << square;
      ASSERT_EQ(text.Hash[0], lo) << "square " << square;
      ASSERT_EQ(text.Hash[1], hi) << "square " << square;
      flipping += flips > 0;
    }
  }
  EXPECT_GT(flipping, 500);
}

}  // namespace
}  // namespace morvane
