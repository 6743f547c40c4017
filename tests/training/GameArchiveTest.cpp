#include <gtest/gtest.h>
#include <zlib.h>

#include <bit>
#include <fstream>
#include <string>
#include <vector>

#include "evaluation/EvaluationTestSupport.h"
#include "training/GameArchive.h"
#include "training/TrainingTestSupport.h"

namespace morvane::training {
namespace {

using testing_support::TTempFolder;

TEST(GameArchive, ReplaysRandomGamesAsTheReferenceBoardPlaysThem) {
  std::mt19937 rng(11);
  int passes = 0;
  for (int round = 0; round < 60; ++round) {
    const auto line = testing_support::RandomGameLine(rng);
    passes += line.HasPass;
    TArchiveGame game;
    const auto error =
        ParseGameLine(line.Moves + " " + std::to_string(line.BlackDiff) + " 10", game);
    ASSERT_FALSE(error) << *error;
    EXPECT_TRUE(game.Finished);
    EXPECT_EQ(game.BlackDiff, line.BlackDiff);
    ASSERT_EQ(game.Positions.size(), line.Moves.size() / 2);

    // Every position before a move matches the reference board at that point.
    reference::TReferenceBoard board(8);
    board.SetupStart();
    for (size_t i = 0; i < game.Positions.size(); ++i) {
      if (!board.HasMove()) board.Pass();
      uint64_t own, opp;
      testing_support::ToBitboards(board, own, opp);
      const TGamePosition& position = game.Positions[i];
      ASSERT_EQ(position.Own, own) << "move " << i + 1;
      ASSERT_EQ(position.Opp, opp);
      EXPECT_EQ(position.Side, board.ToMove);
      EXPECT_EQ(position.Empties, board.Count(reference::Empty));
      board.Play({line.Moves[2 * i] - 'a' + 1, line.Moves[2 * i + 1] - '0'});
    }
  }
  EXPECT_GT(passes, 0) << "no game with a pass was drawn; the implicit passes went untested";
}

TEST(GameArchive, ReadsTheTheoreticalScoreOfTheWthorBase) {
  std::mt19937 rng(3);
  const auto line = testing_support::RandomGameLine(rng);
  TArchiveGame game;
  ASSERT_FALSE(ParseGameLine(
      line.Moves + " " + std::to_string(line.BlackDiff) + " 1999 30 37 24 12 345 678", game));
  ASSERT_TRUE(game.TheoreticalDiff);
  EXPECT_EQ(*game.TheoreticalDiff, 2 * 37 - 64);
  EXPECT_EQ(game.TheoreticalEmpties, 24);
}

struct TMalformed {
  const char* Name;
  std::string Line;
  const char* Reason;
};

class MalformedLine : public ::testing::TestWithParam<TMalformed> {};

TEST_P(MalformedLine, IsRejectedWithItsReason) {
  TArchiveGame game;
  const auto error = ParseGameLine(GetParam().Line, game);
  ASSERT_TRUE(error);
  EXPECT_NE(error->find(GetParam().Reason), std::string::npos) << *error;
}

INSTANTIATE_TEST_SUITE_P(
    GameArchive, MalformedLine,
    ::testing::Values(TMalformed{"OnlyMoves", "f5d6c3", "expected"},
                      TMalformed{"OddLength", "f5d6c 0", "odd length"},
                      TMalformed{"NotASquare", "f5z9 0", "\"z9\" is not a square"},
                      TMalformed{"IllegalMove", "f5a1 0", "move 2 \"a1\" is illegal"},
                      TMalformed{"OccupiedSquare", "f5f5 0", "move 2 \"f5\" is illegal"},
                      TMalformed{"BadDifference", "f5d6 x7", "final difference"},
                      TMalformed{"DifferenceOutOfRange", "f5d6 70", "final difference"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(GameArchive, AFinishedGameWithAnotherResultIsRejected) {
  std::mt19937 rng(21);
  const auto line = testing_support::RandomGameLine(rng);
  TArchiveGame game;
  ASSERT_FALSE(ParseGameLine(line.Moves + " " + std::to_string(line.BlackDiff), game));
  const int wrong = line.BlackDiff >= 62 ? line.BlackDiff - 2 : line.BlackDiff + 2;
  const auto error = ParseGameLine(line.Moves + " " + std::to_string(wrong), game);
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("does not match"), std::string::npos) << *error;
}

// An abandoned game keeps the difference of its last board without a check.
TEST(GameArchive, AnAbandonedGameIsNotFinished) {
  TArchiveGame game;
  ASSERT_FALSE(ParseGameLine("f5d6c3d3c4 +3", game));
  EXPECT_FALSE(game.Finished);
  EXPECT_EQ(game.Positions.size(), 5u);
  EXPECT_EQ(game.Final.Empties, 55);
}

// A compressed archive with a bad line in the middle: the line is reported with its number and
// every other game is read.
TEST(GameArchive, ReportsAMalformedLineByNumberAndReadsTheRest) {
  TTempFolder folder("archive");
  std::mt19937 rng(5);
  std::vector<testing_support::TRandomGame> games;
  for (int i = 0; i < 4; ++i) games.push_back(testing_support::RandomGameLine(rng));
  std::string text = "# moves diff\n";
  text += games[0].Moves + " " + std::to_string(games[0].BlackDiff) + " 10\n";
  text += games[1].Moves + " " + std::to_string(games[1].BlackDiff) + " 10\n";
  text += "f5d6c3q1 +2 10\n";  // line 4
  text += "\n";
  text += games[2].Moves + " " + std::to_string(games[2].BlackDiff) + " 10\n";
  text += games[3].Moves + " " + std::to_string(games[3].BlackDiff) + " 10\n";
  const auto path = folder.Path / "games.txt.gz";
  gzFile file = gzopen(path.string().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
  gzclose(file);

  std::vector<std::string> reports;
  std::vector<int> diffs;
  std::vector<int64_t> numbers;
  const TArchiveStats stats = ReadArchive(
      path,
      [&](int64_t number, const TArchiveGame& game) {
        numbers.push_back(number);
        diffs.push_back(game.BlackDiff);
        return true;
      },
      [&](const std::string& line) { reports.push_back(line); });
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].rfind(path.string() + ":4: ", 0), 0u) << reports[0];
  EXPECT_NE(reports[0].find("\"q1\""), std::string::npos);
  EXPECT_EQ(stats.Games, 4);
  EXPECT_EQ(stats.Rejected, 1);
  EXPECT_EQ(numbers, (std::vector<int64_t>{0, 1, 2, 3}));
  EXPECT_EQ(diffs, (std::vector<int>{games[0].BlackDiff, games[1].BlackDiff, games[2].BlackDiff,
                                     games[3].BlackDiff}));
}

TEST(GameArchive, AMissingFileIsAnError) {
  EXPECT_THROW(ReadArchive(
                   "/nonexistent/games.txt.gz", [](int64_t, const TArchiveGame&) { return true; },
                   [](const std::string&) {}),
               std::runtime_error);
}

// A folder that cannot be listed, or a folder given as an archive, is refused with its path in
// plain words, not with the file system library's own text or a report of a damaged file.
TEST(GameArchive, AnArchiveFolderThatCannotBeReadIsNamed) {
  TTempFolder folder("archive-folder");
  const auto file = folder.Path / "games.txt";
  std::ofstream(file) << "# nothing\n";
  const auto fault = [](auto read) -> std::string {
    try {
      read();
    } catch (const std::runtime_error& error) {
      return error.what();
    }
    return "";
  };
  const std::string missing = fault([&] { ArchiveFiles(folder.Path / "none"); });
  const std::string notFolder = fault([&] { ArchiveFiles(file); });
  int reports = 0;
  const std::string folderAsFile = fault([&] {
    ReadArchive(
        folder.Path, [](int64_t, const TArchiveGame&) { return true; },
        [&](const std::string&) { ++reports; });
  });
  for (const auto& [text, path] :
       {std::pair{missing, folder.Path / "none"}, std::pair{notFolder, file},
        std::pair{folderAsFile, folder.Path}}) {
    EXPECT_NE(text.find("\"" + path.string() + "\""), std::string::npos) << text;
    EXPECT_EQ(text.find("filesystem error"), std::string::npos) << text;
  }
  EXPECT_EQ(reports, 0);
  EXPECT_EQ(ArchiveFiles(folder.Path), std::vector<std::filesystem::path>{file});
}

TEST(GameArchive, PlayMoveFlipsWhatTheReferenceFlips) {
  std::mt19937 rng(8);
  for (int round = 0; round < 200; ++round) {
    const auto board =
        reference::RandomPosition(reference::TReferenceBoard(8), 20 + round % 30, rng);
    uint64_t own, opp;
    testing_support::ToBitboards(board, own, opp);
    uint64_t legal = 0;
    for (const auto& square : board.Moves())
      legal |= uint64_t{1} << (8 * (square.Row - 1) + square.Column - 1);
    ASSERT_EQ(LegalMoves(own, opp), legal);
    for (const auto& square : board.Moves()) {
      uint64_t mine = own, theirs = opp;
      const uint64_t flipped = PlayMove(8 * (square.Row - 1) + square.Column - 1, mine, theirs);
      EXPECT_EQ(std::popcount(flipped), board.Flips(square));
      auto after = board;
      after.Play(square);
      uint64_t expectedOwn, expectedOpp;
      testing_support::ToBitboards(after, expectedOpp, expectedOwn);  // sides have changed
      EXPECT_EQ(mine, expectedOwn);
      EXPECT_EQ(theirs, expectedOpp);
    }
  }
}

}  // namespace
}  // namespace morvane::training
