// The engine protocol's session, scripted line by line as a GUI would talk to it: real games,
// hints checked against the engine's own searches, learning, bad input, board changes and stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

#include "engines/EngineFactory.h"
#include "evaluation/CoefficientWriter.h"
#include "evaluation/EvaluationSetups.h"
#include "game/Book.h"
#include "game/GameTestSupport.h"
#include "game/GgfFile.h"
#include "game/MoveValues.h"
#include "game/NBoardSession.h"

namespace morvane {
namespace {

class TRecordingLines final : public TLineWriter {
 public:
  void WriteLine(const std::string& line) override {
    Lines.push_back(line);
    if (OnLine) OnLine(line);
  }
  // The lines written since the last call.
  std::vector<std::string> Take() {
    std::vector<std::string> taken(Lines.begin() + static_cast<long>(Taken), Lines.end());
    Taken = Lines.size();
    return taken;
  }
  std::vector<std::string> Lines;
  size_t Taken = 0;
  std::function<void(const std::string&)> OnLine;
};

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t place = 0;
  while (place < line.size()) {
    const size_t end = std::min(line.find(' ', place), line.size());
    if (end > place) words.push_back(line.substr(place, end - place));
    place = end + 1;
  }
  return words;
}

std::vector<std::string> StartingWith(const std::vector<std::string>& lines,
                                      const std::string& word) {
  std::vector<std::string> found;
  for (const std::string& line : lines)
    if (line.rfind(word + " ", 0) == 0 || line == word) found.push_back(line);
  return found;
}

TGame RandomGame(TBoardKind kind, uint32_t seed, int plies) {
  TGame game(kind);
  std::mt19937 random(seed);
  while (!game.IsFinished() && game.Plies() < plies) {
    int squares[MaxMoves];
    const int count = game.Current().LegalMoves(squares);
    game.Play(count == 0 ? PassMove : squares[random() % count]);
  }
  return game;
}

std::string GgfOf(const TGame& game) {
  TGameFile file;
  file.Game = game;
  std::string text = WriteGgf(file);
  text.pop_back();  // the line end
  return text;
}

// The square of a protocol move ("F5", "PA") in a position.
int SquareOf(const TPosition& position, const std::string& move) {
  const auto square = position.ParseMove(move);
  EXPECT_TRUE(square) << move;
  return square.value_or(0);
}

class NBoardSession : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"Pellin", "Bot10x10"}) {
      const auto layout = CreateEvaluation(name, nullptr, Folder.Path, false);
      WriteCoefficientFile(*layout, layout->FilePath(".coe"), 41);
    }
    TNBoardOptions options;
    options.DataFolder = Folder.Path;
    options.HashBits = 16;
    Session = std::make_unique<TNBoardSession>(Out, options);
  }
  std::vector<std::string> Send(const std::string& line) {
    EXPECT_TRUE(Session->Handle(line));
    return Out.Take();
  }
  // The move of a `go`: its "=== SQ/EVAL/TIME" line, which must be the last.
  std::string GoMove() {
    const auto lines = Send("go");
    EXPECT_FALSE(lines.empty());
    if (lines.empty()) return "";
    const std::string& last = lines.back();
    EXPECT_EQ(last.rfind("=== ", 0), 0u) << last;
    const auto parts = Words(last);
    const std::string answer = parts.size() == 2 ? parts[1] : "";
    const size_t slash = answer.find('/');
    EXPECT_NE(slash, std::string::npos) << last;
    EXPECT_NE(answer.find('/', slash + 1), std::string::npos) << "SQ/EVAL/TIME: " << last;
    return answer.substr(0, slash);
  }

  testing::TScratchFolder Folder;
  TRecordingLines Out;
  std::unique_ptr<TNBoardSession> Session;
};

TEST_F(NBoardSession, GoAnswersALegalMoveAtEveryPlyOfAWholeGame) {
  EXPECT_TRUE(Send("nboard 2").empty());
  EXPECT_EQ(Send("set depth 2"), std::vector<std::string>{"set myname Morvane2"});
  EXPECT_TRUE(Send(GgfOf(TGame(TBoardKind::Board8x8)).insert(0, "set game ")).empty());
  while (!Session->Game().IsFinished()) {
    const TPosition before = Session->Game().Current();
    const int plies = Session->Game().Plies();
    const std::string move = GoMove();
    // go does not play its move.
    ASSERT_TRUE(Session->Game().Current() == before);
    ASSERT_TRUE(before.IsLegal(SquareOf(before, move))) << move << " in " << before.Text();
    EXPECT_TRUE(Send("move " + move + "/0.00/0.1").empty());
    ASSERT_EQ(Session->Game().Plies(), plies + 1);
  }
  EXPECT_GT(Session->Game().Plies(), 50);
  // A finished game has no move: one status line says so.
  const auto lines = Send("go");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("status ", 0), 0u);
}

TEST_F(NBoardSession, HintGivesTheBestMovesWithTheValuesOfTheirOwnSearches) {
  Send("set depth 4");
  const TGame game = RandomGame(TBoardKind::Board8x8, 12, 22);
  const TPosition position = game.Current();
  Send("set game " + GgfOf(game));
  const auto lines = Send("hint 3");
  EXPECT_TRUE(StartingWith(lines, "book").empty());
  EXPECT_EQ(StartingWith(lines, "status").front(), "status Morvane is thinking");
  EXPECT_EQ(lines.back(), "status");
  EXPECT_EQ(StartingWith(lines, "nodestats").size(), 1u);
  const auto searches = StartingWith(lines, "search");
  // Three lines for each depth, 1 to 4; the last three are depth 4's.
  ASSERT_EQ(searches.size(), 12u);

  // Each move's position searched at depth 3 by an engine of its own, and every move's value.
  auto judge = CreateEngineFor("Pellin", 16, nullptr, Folder.Path);
  TFixedSearchInfo level = Session->Level();
  level.Depth = 3;
  std::vector<std::pair<int32_t, int>> all;
  int squares[MaxMoves];
  const int count = position.LegalMoves(squares);
  for (int index = 0; index < count; ++index) {
    TPosition child = position;
    child.Play(squares[index]);
    judge->HashTable->Clear();
    all.emplace_back(-SearchPosition(*judge, child, level).Score, squares[index]);
  }
  std::sort(all.rbegin(), all.rend());
  std::set<std::string> moves;
  for (size_t index = 9; index < 12; ++index) {
    const auto words = Words(searches[index]);
    ASSERT_EQ(words.size(), 5u) << searches[index];
    EXPECT_EQ(words[3], "0");
    EXPECT_EQ(words[4], "4");
    const int square = SquareOf(position, words[1]);
    EXPECT_TRUE(position.IsLegal(square)) << words[1];
    moves.insert(words[1]);
    const auto mine = std::find_if(all.begin(), all.end(),
                                   [&](const auto& each) { return each.second == square; });
    ASSERT_NE(mine, all.end());
    EXPECT_EQ(words[2], ValueText(mine->first)) << words[1];
    // None of the moves left out is better.
    EXPECT_EQ(words[2], ValueText(all[index - 9].first));
  }
  EXPECT_EQ(moves.size(), 3u);
}

TEST_F(NBoardSession, LearnGrowsTheBookWhichThenAnswersHintsAndGo) {
  Send("set depth 2");
  const TGame game = RandomGame(TBoardKind::Board8x8, 3, 200);
  ASSERT_TRUE(game.IsFinished());
  Send("set game " + GgfOf(game));
  EXPECT_EQ(Session->Book().Stats().Nodes, 0);
  EXPECT_EQ(Send("learn"), std::vector<std::string>{"learned"});
  EXPECT_GT(Session->Book().Stats().Nodes, game.Plies() / 2);
  EXPECT_TRUE(std::filesystem::exists(Folder.Path / "books" / "Pellin_8x8_Average" /
                                      "Pellin_8x8_Average.boo"));

  // The start is in the book now: hints and moves come from it.
  Send("set game " + GgfOf(TGame(TBoardKind::Board8x8)));
  const auto hint = Send("hint 4");
  const auto books = StartingWith(hint, "book");
  ASSERT_FALSE(books.empty());
  EXPECT_EQ(books.size(), hint.size());
  for (const std::string& line : books)
    EXPECT_TRUE(TPosition().IsLegal(SquareOf(TPosition(), Words(line)[1]))) << line;
  const auto go = Send("go");
  ASSERT_EQ(go.size(), 2u);
  EXPECT_EQ(go[0].rfind("book ", 0), 0u);
  EXPECT_EQ(go[1].rfind("=== " + Words(books[0])[1] + "/", 0), 0u) << go[1];

  // A game from a position of its own is not learned, but answered.
  Send("set game " + GgfOf(TGame(game.PositionAt(10))));
  const auto lines = Send("learn");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("status ", 0), 0u);
  EXPECT_EQ(lines[1], "learned");
}

TEST_F(NBoardSession, IgnoresGarbageAndKeepsAnswering) {
  Send("set depth 3");
  for (const char* line : {"", "   ", "hello world", "set", "set contempt 0", "nboard",
                           "\x01\x02\x7f", "goo", "pingpong", "learned", "=== F5"})
    EXPECT_TRUE(Send(line).empty()) << "\"" << line << "\"";
  // Bad arguments of known commands: one status line each.
  for (const char* line : {"set depth x", "set depth 0", "move", "set game"})
    EXPECT_EQ(StartingWith(Send(line), "status").size(), 1u) << line;
  EXPECT_EQ(Send("ping 7"), std::vector<std::string>{"pong 7"});
  EXPECT_EQ(Session->Game().Plies(), 0);
  EXPECT_TRUE(TPosition().IsLegal(SquareOf(TPosition(), GoMove())));
}

TEST_F(NBoardSession, AMalformedGameOrAnIllegalMoveIsAnsweredAndThePositionKept) {
  Send("set depth 2");
  const TGame game = RandomGame(TBoardKind::Board8x8, 8, 12);
  Send("set game " + GgfOf(game));
  struct TCase {
    std::string Line, Problem;
  };
  const TCase cases[] = {
      {"set game (;GM[Othello]TY[8]\nB[F5]W[A1];)",
       "status set game: line 2: move 2 W[A1] is not legal; the position stays as it was"},
      {"set game (;GM[Othello]TY[8r];)",
       "status set game: line 1: game type TY[8r] is not one Morvane plays; the position stays "
       "as it was"},
      {"set game (;GM[Othello]PB[x;)",
       "status set game: line 1: the value of PB has no closing ']'; the position stays as it "
       "was"},
      {"set game f5d6",
       "status set game: line 1: no game record \"(;\" in the text; the "
       "position stays as it was"},
      {"move A1", "status move A1 is not legal here; the position stays as it was"},
      {"move Z9/1.0", "status move Z9 is no square of the board; the position stays as it was"},
      {"move PA", "status move PA is not legal here; the position stays as it was"},
  };
  for (const TCase& each : cases) {
    EXPECT_EQ(Send(each.Line), std::vector<std::string>{each.Problem}) << each.Line;
    EXPECT_EQ(Session->Game().Moves(), game.Moves()) << each.Line;
  }
  // A move that needs the pass the GUI left out gets it.
  for (uint32_t seed = 1; seed < 500; ++seed) {
    const TGame full = RandomGame(TBoardKind::Board8x8, seed, 200);
    const auto pass = std::find(full.Moves().begin(), full.Moves().end(), PassMove);
    if (pass == full.Moves().end()) continue;
    const int ply = static_cast<int>(pass - full.Moves().begin());
    TGame before = full;
    before.Truncate(ply);
    Send("set game " + GgfOf(before));
    EXPECT_TRUE(Send("move " + full.Start().MoveText(full.Moves()[ply + 1])).empty());
    EXPECT_EQ(Session->Game().Plies(), ply + 2);
    EXPECT_TRUE(Session->Game().Current() == full.PositionAt(ply + 2));
    return;
  }
  ADD_FAILURE() << "no random game with a pass";
}

TEST_F(NBoardSession, SwitchesEngineAndBookWithTheBoardOfTheGame) {
  Send("set depth 2");
  const TGame ten = RandomGame(TBoardKind::Board10x10, 4, 10);
  Send("set game " + GgfOf(ten));
  EXPECT_EQ(Session->Game().Kind(), TBoardKind::Board10x10);
  EXPECT_EQ(Session->Engine().BoardSide, 10);
  EXPECT_EQ(Session->Book().Name, "Fenwa_10x10_Average");
  const std::string move = GoMove();
  EXPECT_TRUE(ten.Current().IsLegal(SquareOf(ten.Current(), move))) << move;
  Send("move " + move);
  EXPECT_EQ(Session->Game().Plies(), 11);
  // The octagon has no coefficients here: a status line, and the 10 x 10 game stays.
  const auto lines = Send("set game " + GgfOf(TGame(TBoardKind::Octagon)));
  ASSERT_EQ(StartingWith(lines, "status").size(), 1u);
  EXPECT_EQ(Session->Game().Kind(), TBoardKind::Board10x10);
  EXPECT_EQ(Session->Game().Plies(), 11);
  Send("set game " + GgfOf(TGame(TBoardKind::Board8x8)));
  EXPECT_EQ(Session->Engine().BoardSide, 8);
  EXPECT_EQ(Session->Book().Name, "Pellin_8x8_Average");
}

TEST_F(NBoardSession, DepthChoosesTheEndgameOfTheCatalogueLevel) {
  const std::pair<int, int> cases[] = {{1, 6},   {2, 10},  {3, 10},  {4, 14},  {8, 16}, {12, 16},
                                       {13, 16}, {18, 20}, {24, 26}, {25, 26}, {40, 26}};
  for (const auto& [depth, exact] : cases) {
    EXPECT_EQ(Send("set depth " + std::to_string(depth)),
              std::vector<std::string>{"set myname Morvane" + std::to_string(depth)});
    EXPECT_EQ(Session->Level().Depth, depth);
    EXPECT_EQ(Session->Level().ExactEmpties, exact) << depth;
  }
}

TEST_F(NBoardSession, APingThatArrivesDuringASearchStopsIt) {
  // Exact from 22 empties on a position of 22: long enough that only a stop ends it early.
  Send("set depth 20");
  const TGame game = RandomGame(TBoardKind::Board8x8, 21, 38);
  ASSERT_EQ(game.Current().Empties(), 22);
  Send("set game " + GgfOf(game));
  // Another thread would announce the ping as it arrives: just before the search starts (the
  // search clears the engine's request as it starts), or while it runs (the first score).
  struct TCase {
    std::string Command, Trigger;
  };
  for (const TCase& each :
       {TCase{"go", "status Morvane is thinking"}, TCase{"go", "status Morvane is thinking: depth"},
        TCase{"hint 3", "status Morvane is thinking"}}) {
    bool sent = false;
    Out.OnLine = [&](const std::string& line) {
      if (!sent && line.rfind(each.Trigger, 0) == 0) {
        sent = true;
        Session->Arrived("ping 1");
      }
    };
    const auto lines = Send(each.Command);
    Out.OnLine = nullptr;
    EXPECT_TRUE(sent) << each.Command << ": " << each.Trigger;
    EXPECT_TRUE(StartingWith(lines, "===").empty()) << "the stopped search answered";
    EXPECT_TRUE(StartingWith(lines, "search").empty()) << "the stopped search answered";
    EXPECT_EQ(Send("ping 1"), std::vector<std::string>{"pong 1"});
  }

  // A ping that has arrived but is not yet handled stops every search before it.
  Session->Arrived("ping 2");
  EXPECT_TRUE(StartingWith(Send("hint 2"), "search").empty());
  EXPECT_EQ(Send("ping 2"), std::vector<std::string>{"pong 2"});
  Send("set depth 2");
  EXPECT_EQ(StartingWith(Send("hint 2"), "search").size(), 4u);
}

}  // namespace
}  // namespace morvane
