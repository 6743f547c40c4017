// Move values: exact values against the reference board's brute-force solve, fixed-depth values
// against the engine searching each move's position itself, and the stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <random>

#include "engines/DiscCountEngine.h"
#include "engines/EngineFactory.h"
#include "evaluation/CoefficientWriter.h"
#include "evaluation/EvaluationSetups.h"
#include "game/GameTestSupport.h"
#include "game/MoveValues.h"
#include "support/ReferenceBoard.h"

namespace morvane {
namespace {

using testing::GeometryOf;
using testing::ReferenceSquare;
using testing::SearchedValue;
using testing::TBoardCase;

using reference::TReferenceBoard;

TPosition PositionOf(TBoardKind kind, const TReferenceBoard& board) {
  std::string problem;
  const auto position = TPosition::Parse(kind, board.ToText(), &problem);
  EXPECT_TRUE(position) << problem;
  return position.value_or(TPosition(kind));
}

// Positions of a random game at which some move leaves the opponent without a move: the
// values through a pass.
std::vector<TPosition> PositionsBeforeAPass(TBoardKind kind, int maxEmpties, size_t wanted) {
  std::vector<TPosition> found;
  std::mt19937 random(5);
  for (int game = 0; game < 400 && found.size() < wanted; ++game) {
    TPosition position(kind);
    while (!position.IsFinished()) {
      int squares[MaxMoves];
      const int count = position.LegalMoves(squares);
      if (count == 0) {
        position.Play(PassMove);
        continue;
      }
      if (position.Empties() <= maxEmpties) {
        for (int index = 0; index < count; ++index) {
          TPosition child = position;
          child.Play(squares[index]);
          if (child.MustPass()) {
            found.push_back(position);
            break;
          }
        }
      }
      position.Play(squares[random() % count]);
    }
  }
  EXPECT_EQ(found.size(), wanted);
  return found;
}

// The production engine of a board with random coefficients.
class ExactValues : public ::testing::TestWithParam<TBoardCase> {
 protected:
  std::unique_ptr<TOthelloPatternEngine> Engine() {
    return testing::RandomCoefficientEngine(GetParam().Evaluation, Folder.Path, 23);
  }
  testing::TScratchFolder Folder;
};

TEST_P(ExactValues, EqualTheBruteForceSolveOfEveryMove) {
  const TBoardKind kind = GetParam().Kind;
  auto engine = Engine();
  const TReferenceBoard geometry = GeometryOf(kind);
  std::mt19937 random(31);
  std::vector<TReferenceBoard> boards;
  for (int empties = 10; empties <= 13; ++empties)
    for (int count = 0; count < 2; ++count)
      boards.push_back(reference::RandomPosition(geometry, empties, random));
  if (kind == TBoardKind::Board8x8)
    boards.push_back(reference::RandomPosition(geometry, 14, random));
  for (const TPosition& position : PositionsBeforeAPass(kind, 12, 2))
    boards.push_back(*geometry.FromText(position.Text()));
  for (TReferenceBoard& board : reference::RandomPassPositions(geometry, 12, 2, random))
    boards.push_back(board);

  for (const TReferenceBoard& board : boards) {
    const TPosition position = PositionOf(kind, board);
    TFixedSearchInfo level;
    level.Depth = 3;
    level.ExactEmpties = 14;
    const TMoveValues values = ValueMoves(*engine, position, level);
    EXPECT_TRUE(values.Complete);
    const auto moves = board.Moves();
    if (moves.empty()) {
      // The pass is the one move; the passer's value is the position's own.
      ASSERT_EQ(values.Moves.size(), 1u) << board.ToText();
      EXPECT_EQ(values.Moves[0].Square, PassMove);
      EXPECT_EQ(values.Moves[0].Score, board.Solve() * DiscUnit) << board.ToText();
      continue;
    }
    ASSERT_EQ(values.Moves.size(), moves.size()) << board.ToText();
    for (size_t index = 0; index < values.Moves.size(); ++index) {
      const TMoveValue& value = values.Moves[index];
      if (index > 0) {
        EXPECT_GE(values.Moves[index - 1].Score, value.Score) << "best first";
      }
      TReferenceBoard child = board;
      child.Play(ReferenceSquare(position, value.Square));
      EXPECT_TRUE(value.Exact);
      EXPECT_EQ(value.Score, -child.Solve() * DiscUnit)
          << board.ToText() << " " << position.MoveText(value.Square);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllBoards, ExactValues, ::testing::ValuesIn(testing::BoardCases),
                         testing::BoardCaseName);

class DepthValues : public ::testing::TestWithParam<TBoardKind> {};

TEST_P(DepthValues, EqualSearchingEachMovesPositionOneShallower) {
  const TBoardKind kind = GetParam();
  TDiscCountEngine engine(16, kind), judge(16, kind);
  std::mt19937 random(77);
  std::vector<TPosition> positions;
  for (int empties : {30, 24, 18, 14})
    positions.push_back(
        PositionOf(kind, reference::RandomPosition(GeometryOf(kind), empties, random)));
  for (const TPosition& position : PositionsBeforeAPass(kind, 30, 2)) positions.push_back(position);
  for (const TPosition& position : positions) {
    for (int depth = 1; depth <= 4; ++depth) {
      TFixedSearchInfo level;
      level.Depth = depth;
      level.ExactEmpties = 0;
      const TMoveValues values = ValueMoves(engine, position, level);
      ASSERT_TRUE(values.Complete);
      EXPECT_EQ(values.Depth, depth);
      int squares[MaxMoves];
      ASSERT_EQ(values.Moves.size(), static_cast<size_t>(position.LegalMoves(squares)));
      for (size_t index = 0; index < values.Moves.size(); ++index) {
        const TMoveValue& value = values.Moves[index];
        if (index > 0) {
          EXPECT_GE(values.Moves[index - 1].Score, value.Score);
        }
        EXPECT_EQ(value.Score, SearchedValue(judge, position, value.Square, depth))
            << position.Text() << " " << position.MoveText(value.Square) << " depth " << depth;
      }
    }
  }
}

TEST_P(DepthValues, IterativeRunsReportEveryDepthAndEndWithTheFullOne) {
  const TBoardKind kind = GetParam();
  TDiscCountEngine engine(16, kind);
  std::mt19937 random(3);
  const TPosition position =
      PositionOf(kind, reference::RandomPosition(GeometryOf(kind), 20, random));
  TFixedSearchInfo level;
  level.Depth = 4;
  std::vector<TMoveValues> reported;
  TMoveValueHooks hooks;
  hooks.DepthDone = [&](const TMoveValues& values) { reported.push_back(values); };
  const TMoveValues last = ValueMovesIteratively(engine, position, level, hooks);
  ASSERT_EQ(reported.size(), 4u);
  for (int depth = 1; depth <= 4; ++depth) {
    TFixedSearchInfo at = level;
    at.Depth = depth;
    const TMoveValues direct = ValueMoves(engine, position, at);
    const TMoveValues& iterated = reported[static_cast<size_t>(depth - 1)];
    EXPECT_EQ(iterated.Depth, depth);
    ASSERT_EQ(iterated.Moves.size(), direct.Moves.size());
    for (size_t index = 0; index < direct.Moves.size(); ++index) {
      EXPECT_EQ(iterated.Moves[index].Square, direct.Moves[index].Square);
      EXPECT_EQ(iterated.Moves[index].Score, direct.Moves[index].Score);
    }
  }
  EXPECT_TRUE(last.Complete);
  EXPECT_EQ(last.Depth, 4);
  EXPECT_EQ(last.Moves.size(), reported.back().Moves.size());

  // Stopped while depth 3 runs: depth 2's values, marked incomplete.
  int valued = 0;
  hooks.Valued = [&](const TMoveValue&, int, int count) {
    if (++valued == 2 * count + 1) engine.RequestStop();
  };
  reported.clear();
  const TMoveValues stopped = ValueMovesIteratively(engine, position, level, hooks);
  EXPECT_FALSE(stopped.Complete);
  EXPECT_EQ(stopped.Depth, 2);
  EXPECT_EQ(reported.size(), 2u);
  EXPECT_EQ(stopped.Moves.size(), reported.back().Moves.size());
}

INSTANTIATE_TEST_SUITE_P(AllBoards, DepthValues,
                         ::testing::Values(TBoardKind::Board8x8, TBoardKind::Board10x10,
                                           TBoardKind::Octagon),
                         [](const auto& info) {
                           return std::to_string(static_cast<int>(info.param));
                         });

TEST(MoveValues, AStopEndsTheRunWithTheMovesValuedBeforeIt) {
  TDiscCountEngine engine(16, TBoardKind::Board8x8);
  const TPosition start(TBoardKind::Board8x8);
  TFixedSearchInfo level;
  level.Depth = 5;
  // Stopped between moves: the two valued moves stay.
  TMoveValueHooks hooks;
  hooks.Valued = [&](const TMoveValue&, int index, int) {
    if (index == 2) engine.RequestStop();
  };
  TMoveValues values = ValueMoves(engine, start, level, hooks);
  EXPECT_FALSE(values.Complete);
  EXPECT_EQ(values.Moves.size(), 2u);

  // Stopped inside a search, as the window's pump does: the half-searched move is dropped.
  struct TStopper {
    TOthelloEngine* Engine;
    int Calls = 0;
  } stopper{&engine};
  TRecordingEventPump pump;
  pump.Context = &stopper;
  pump.OnPump = [](void* context) {
    auto* stopper = static_cast<TStopper*>(context);
    if (++stopper->Calls == 200) stopper->Engine->RequestStop();
  };
  TScopedEventPump installed(&pump);
  level.Depth = 12;
  int valued = 0;
  hooks.Valued = [&](const TMoveValue&, int, int) { ++valued; };
  values = ValueMoves(engine, start, level, hooks);
  EXPECT_FALSE(values.Complete);
  EXPECT_LT(values.Moves.size(), 4u);
  EXPECT_EQ(values.Moves.size(), static_cast<size_t>(valued));
  // Far more pump calls than moves: the stop came from inside a search.
  EXPECT_EQ(pump.Calls, 200);
  EXPECT_TRUE(engine.StopRequested);

  // A finished position has no move.
  TPosition full(TBoardKind::Board8x8);
  for (int row = 1; row <= 8; ++row)
    for (int column = 1; column <= 8; ++column) full.SetCell(full.SquareOf(column, row), BlackCell);
  EXPECT_TRUE(ValueMoves(engine, full, level).Moves.empty());
}

}  // namespace
}  // namespace morvane
