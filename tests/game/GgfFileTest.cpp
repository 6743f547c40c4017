// Game files: GGF records written and read back on every board, the liberal reading of other
// programs' records, and every damaged record refused with its line.
#include <gtest/gtest.h>

#include <cctype>
#include <random>

#include "game/GgfFile.h"

namespace morvane {
namespace {

const char* const DocumentRecord =
    "(;GM[Othello]PC[x]PB[a]PW[b]RE[?]TY[8]BO[8 "
    "---------------------------O*------*O--------------------------- *]B[F5]W[F6];)";

// A random legal game to its end (or `plies` plies), passes included.
TGame RandomGame(const TPosition& start, uint32_t seed, int plies = 1000) {
  TGame game(start);
  std::mt19937 random(seed);
  while (!game.IsFinished() && game.Plies() < plies) {
    int squares[MaxMoves];
    const int count = game.Current().LegalMoves(squares);
    EXPECT_TRUE(game.Play(count == 0 ? PassMove : squares[random() % count]));
  }
  return game;
}

bool HasPass(const TGame& game) {
  for (const int square : game.Moves())
    if (square == PassMove) return true;
  return false;
}

// The first random game of a board with a pass in it.
TGame GameWithPass(TBoardKind kind) {
  for (uint32_t seed = 1; seed < 2000; ++seed) {
    TGame game = RandomGame(TPosition(kind), seed);
    if (HasPass(game)) return game;
  }
  ADD_FAILURE() << "no random game with a pass";
  return TGame(kind);
}

std::vector<TGameFile> ReadOk(const std::string& text) {
  std::string problem;
  const auto files = ReadGgf(text, &problem);
  EXPECT_TRUE(files) << problem << "\n" << text;
  return files ? *files : std::vector<TGameFile>{};
}

void ExpectSameGame(const TGame& read, const TGame& written) {
  EXPECT_EQ(read.Kind(), written.Kind());
  EXPECT_TRUE(read.Start() == written.Start());
  EXPECT_EQ(read.Moves(), written.Moves());
  EXPECT_TRUE(read.Current() == written.Current());
}

class GgfBoards : public ::testing::TestWithParam<TBoardKind> {};

TEST_P(GgfBoards, WrittenGamesReadBackWithTheirMovesResultAndEvals) {
  const TBoardKind kind = GetParam();
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    TGameFile file;
    // Every third game starts from a position of another game, written in BO.
    const TPosition start =
        seed % 3 == 0 ? RandomGame(TPosition(kind), seed + 100, 9).Current() : TPosition(kind);
    file.Game = RandomGame(start, seed);
    file.Black = "Ann [the first]";
    file.White = seed % 2 ? "back\\slash" : "";
    file.Date = "2026-12-08 10:15:00 GMT";
    file.Place = "Morvane";
    const int margin = file.Game.Current().FinalScore();
    file.Result = (margin > 0 ? "+" : "") + std::to_string(margin) + ".000";
    std::mt19937 random(seed);
    for (int ply = 0; ply < file.Game.Plies(); ++ply) {
      if (random() % 4 == 0)
        file.Evals.push_back(std::nullopt);
      else
        file.Evals.push_back(static_cast<int>(random() % 12001) / 100.0 - 60.0);
    }
    const std::string text = WriteGgf(file);
    // Strict writing: one line, the board type of the game.
    EXPECT_EQ(text.find('\n'), text.size() - 1);
    const std::string type = kind == TBoardKind::Board8x8     ? "TY[8]"
                             : kind == TBoardKind::Board10x10 ? "TY[10]"
                                                              : "TY[10o]";
    EXPECT_NE(text.find(type), std::string::npos) << text;

    const auto files = ReadOk(text);
    ASSERT_EQ(files.size(), 1u);
    const TGameFile& read = files[0];
    ExpectSameGame(read.Game, file.Game);
    EXPECT_EQ(read.Black, file.Black);
    EXPECT_EQ(read.White, seed % 2 ? file.White : "?");
    EXPECT_EQ(read.Date, file.Date);
    EXPECT_EQ(read.Place, file.Place);
    EXPECT_EQ(read.Result, file.Result);
    ASSERT_EQ(read.Evals.size(), file.Evals.size());
    for (size_t ply = 0; ply < file.Evals.size(); ++ply) {
      ASSERT_EQ(read.Evals[ply].has_value(), file.Evals[ply].has_value()) << ply;
      if (file.Evals[ply]) {
        EXPECT_NEAR(*read.Evals[ply], *file.Evals[ply], 1e-9) << ply;
      }
    }
  }
}

TEST_P(GgfBoards, PassesLeftOutAreInsertedAndTranscriptsReadLikeRecords) {
  const TBoardKind kind = GetParam();
  const TGame game = GameWithPass(kind);
  // The record without its PA properties, written the way some programs do.
  TGameFile file;
  file.Game = game;
  std::string text = WriteGgf(file);
  for (size_t at; (at = text.find("B[PA]")) != std::string::npos;) text.erase(at, 5);
  for (size_t at; (at = text.find("W[PA]")) != std::string::npos;) text.erase(at, 5);
  const auto files = ReadOk(text);
  ASSERT_EQ(files.size(), 1u);
  ExpectSameGame(files[0].Game, game);
  EXPECT_EQ(files[0].Evals.size(), static_cast<size_t>(game.Plies()));

  // The same game as a transcript, twice, with a blank line between.
  std::string problem;
  const std::string transcript = game.Transcript();
  const auto read = ReadGameText(transcript + "\n\n" + transcript + "\n", kind, &problem);
  ASSERT_TRUE(read) << problem;
  ASSERT_EQ(read->size(), 2u);
  for (const TGameFile& each : *read) {
    ExpectSameGame(each.Game, game);
    EXPECT_EQ(each.Black, "?");
    EXPECT_EQ(each.Result, "?");
  }
  // And as GGF through the same entry.
  const auto ggf = ReadGameText(WriteGgf(file), kind, &problem);
  ASSERT_TRUE(ggf) << problem;
  ExpectSameGame((*ggf)[0].Game, game);
}

INSTANTIATE_TEST_SUITE_P(AllBoards, GgfBoards,
                         ::testing::Values(TBoardKind::Board8x8, TBoardKind::Board10x10,
                                           TBoardKind::Octagon),
                         [](const auto& info) {
                           return std::to_string(static_cast<int>(info.param));
                         });

TEST(GgfFile, TheDocumentedRecordIsTheGameAfterF5F6) {
  const auto files = ReadOk(DocumentRecord);
  ASSERT_EQ(files.size(), 1u);
  TPosition expected(TBoardKind::Board8x8);
  ASSERT_TRUE(expected.Play(*expected.ParseMove("f5")));
  ASSERT_TRUE(expected.Play(*expected.ParseMove("f6")));
  EXPECT_TRUE(files[0].Game.StartsFromStandard());
  EXPECT_TRUE(files[0].Game.Current() == expected);
  EXPECT_EQ(files[0].Black, "a");
  EXPECT_EQ(files[0].White, "b");
  EXPECT_EQ(files[0].Place, "x");
  EXPECT_EQ(files[0].Result, "?");
  EXPECT_EQ(files[0].Evals, (std::vector<std::optional<double>>{std::nullopt, std::nullopt}));
}

TEST(GgfFile, OtherProgramsRecordsAreReadLiberally) {
  // Two records over several lines, unknown properties, either case, evals with and without a
  // time, escaped brackets, no BO (the standard start), "pass" never needed here.
  const std::string text =
      "junk before the first record\n"
      "(;GM[othello]PC[GGS/os]DT[2003.12.15_13:24:03.MST]\n"
      "  PB[some\\]one]PW[other]RB[1847.5]RW[2091.3]TI[05:00//02:00]TY[8]RE[-12.000]\n"
      "  b[f5/1.20/3.5]W[d6//0.01]\n"
      "  B[C3/-2]C[a comment [with brackets\\]];)\n"
      "(;GM[Othello]TY[8]BO[8 -------- -------- -------- ---O*--- ---*O--- -------- -------- "
      "-------- *]B[F5]W[F6];)";
  const auto files = ReadOk(text);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].Black, "some]one");
  EXPECT_EQ(files[0].Result, "-12.000");
  EXPECT_EQ(files[0].Game.Transcript(), "f5d6c3");
  ASSERT_EQ(files[0].Evals.size(), 3u);
  EXPECT_DOUBLE_EQ(files[0].Evals[0].value(), 1.2);
  EXPECT_FALSE(files[0].Evals[1]);
  EXPECT_DOUBLE_EQ(files[0].Evals[2].value(), -2.0);
  EXPECT_EQ(files[1].Game.Transcript(), "f5f6");

  // A finished game's passes as "pass" and "PA" both read.
  const TGame game = GameWithPass(TBoardKind::Board8x8);
  TGameFile file;
  file.Game = game;
  std::string written = WriteGgf(file);
  const size_t pass = written.find("[PA]");
  ASSERT_NE(pass, std::string::npos);
  written.replace(pass, 4, "[pass]");
  const auto passes = ReadOk(written);
  ASSERT_EQ(passes.size(), 1u);
  EXPECT_EQ(passes[0].Game.Moves(), game.Moves());
}

TEST(GgfFile, TheOctagonIsWrittenWithCutCornersAndReadWithEitherMark) {
  TGameFile file;
  file.Game = TGame(TBoardKind::Octagon);
  const std::string text = WriteGgf(file);
  EXPECT_NE(text.find("TY[10o]BO[10 ##------###--------#"), std::string::npos) << text;
  std::string dashes = text;
  for (size_t at; (at = dashes.find('#')) != std::string::npos;) dashes[at] = '-';
  const auto files = ReadOk(dashes);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(files[0].Game.Start() == TPosition(TBoardKind::Octagon));
}

struct TDamaged {
  const char* Name;
  std::string Text;
  std::string Problem;
};

const std::string Start8 =
    "BO[8 ---------------------------O*------*O--------------------------- *]";
const std::string Start10o = "BO[10 ##------###--------#" + std::string(20, '-') +
                             "----O*--------*O----" + std::string(20, '-') +
                             "#--------###------## *]";

class GgfDamaged : public ::testing::TestWithParam<TDamaged> {};

TEST_P(GgfDamaged, IsRefusedNamingItsLine) {
  std::string problem;
  EXPECT_FALSE(ReadGgf(GetParam().Text, &problem));
  EXPECT_EQ(problem, GetParam().Problem);
}

INSTANTIATE_TEST_SUITE_P(
    Records, GgfDamaged,
    ::testing::Values(
        TDamaged{"NoRecord", "f5d6c3", "line 1: no game record \"(;\" in the text"},
        TDamaged{"NoEnd", "(;GM[Othello]\nB[F5]",
                 "line 1: the game record that starts here has no end \";)\""},
        TDamaged{"UnclosedValue", "(;GM[Othello]\n\nPB[someone;)",
                 "line 3: the value of PB has no closing ']'"},
        TDamaged{"NoValue", "(;GM[Othello]\nPB ;)", "line 2: property PB has no value [...]"},
        TDamaged{"StrayCharacter", "(;GM[Othello]\n  ?? ;)",
                 "line 2: '?' where a property KEY[value] belongs"},
        TDamaged{"OtherGame", "(;GM[1]FF[4]SZ[19];)", "line 1: game GM[1] is not Othello"},
        TDamaged{"OtherType", "(;GM[Othello]\nTY[8r];)",
                 "line 2: game type TY[8r] is not one Morvane plays"},
        TDamaged{"OddSize", "(;GM[Othello]\nTY[12];)",
                 "line 2: game type TY[12] is not one Morvane plays"},
        TDamaged{"BoardSize", "(;GM[Othello]BO[6 " + std::string(36, '-') + " *];)",
                 "line 1: BO: the board size \"6\" is not 8 or 10"},
        TDamaged{"BoardOfOtherType", "(;GM[Othello]TY[10]\n" + Start8 + ";)",
                 "line 2: BO: a board of size 8 in a game of the 10 x 10 board"},
        TDamaged{"ShortBoard", "(;GM[Othello]TY[8]\nBO[8 " + std::string(63, '-') + " *];)",
                 "line 2: BO: 64 characters for the squares and the side to move, not 65"},
        TDamaged{"BoardCharacter",
                 "(;GM[Othello]BO[8 " + std::string(10, '-') + "?" + std::string(53, '-') + " *];)",
                 "line 1: BO: '?' on c2 is no square (-, * or O)"},
        TDamaged{"BoardSide", "(;GM[Othello]BO[8 " + std::string(64, '-') + " -];)",
                 "line 1: BO: '-' is no side to move (* or O)"},
        TDamaged{"CutMarkOnSquare", "(;GM[Othello]BO[8 #" + std::string(63, '-') + " *];)",
                 "line 1: BO: '#' on a1, which is no cut corner"},
        TDamaged{"DiscOnCutCorner", "(;GM[Othello]TY[10o]BO[10 *" + Start10o.substr(7) + ";)",
                 "line 1: BO: a1 is a cut corner of the octagon and holds no disc"},
        TDamaged{"NoSquare", "(;GM[Othello]TY[8]" + Start8 + "\nB[F5]\nW[Z9];)",
                 "line 3: move 2 W[Z9] is no square of the 8 x 8 board"},
        TDamaged{"IllegalMove", "(;GM[Othello]TY[8]\nB[F5]\nW[A1/3.0];)",
                 "line 3: move 2 W[A1/3.0] is not legal"},
        TDamaged{"WrongColour", "(;GM[Othello]TY[8]\nB[F5]B[D6];)",
                 "line 2: move 2 B[D6] is not legal"},
        TDamaged{"PassWithAMove", "(;GM[Othello]TY[8]\nB[PA];)",
                 "line 2: move 1 B[PA] is not legal"},
        TDamaged{"SecondRecord", std::string(DocumentRecord) + "\n\n(;GM[Othello]TY[8]W[F5];)",
                 "line 3: move 1 W[F5] is not legal"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(GameText, RefusesOtherBoardsAndNamesTheLineOfABadTranscript) {
  std::string problem;
  EXPECT_FALSE(ReadGameText(DocumentRecord, TBoardKind::Board10x10, &problem));
  EXPECT_EQ(problem, "line 1: a game of the 8 x 8 board, not of the 10 x 10 board");
  EXPECT_FALSE(ReadGameText("\nf5d6c3\n\nf5d6c3z9\n", TBoardKind::Board8x8, &problem));
  EXPECT_EQ(problem, "line 4: move 4 \"z9\" is no square of the board");
  EXPECT_FALSE(ReadGameText("f5d6\nf5a1\n", TBoardKind::Board8x8, &problem));
  EXPECT_EQ(problem, "line 2: move 2 \"a1\" is not legal");
  EXPECT_FALSE(ReadGameText("  \n\n", TBoardKind::Board8x8, &problem));
  EXPECT_EQ(problem, "line 1: no game in the text");
  // A transcript of the 10 x 10 board: squares up to j10.
  const auto ten = ReadGameText("g6g7", TBoardKind::Board10x10, &problem);
  ASSERT_TRUE(ten) << problem;
  EXPECT_EQ((*ten)[0].Game.Plies(), 2);
}

}  // namespace
}  // namespace morvane
