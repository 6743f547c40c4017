#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engines/DiscCountEngine.h"
#include "evaluation/EvaluationTestSupport.h"
#include "engines/OthelloPatternEngine.h"

namespace morvane {
namespace {

using namespace testing_support;

struct TSetup {
  TBoardKind Kind;
  const char* Name;
};

const TSetup AllSetups[] = {{TBoardKind::Board8x8, "Pellin"},
                            {TBoardKind::Board8x8, "Tovrel"},
                            {TBoardKind::Board8x8, "Bot8x8"},
                            {TBoardKind::Board10x10, "Bot10x10"},
                            {TBoardKind::Octagon, "Bot8x8Oct"}};

class PatternEngine : public ::testing::TestWithParam<TSetup> {
 protected:
  std::unique_ptr<TOthelloPatternEngine> Engine() const {
    return MakeEngine(GetParam().Kind, SharedEvaluation(GetParam().Name));
  }
};

std::vector<int> EmptyList(const TOthelloEngine& engine) {
  std::vector<int> squares;
  for (const TEmptyNode* node = engine.FirstEmpty(); node->Square; node = node->Next)
    squares.push_back(node->Square);
  return squares;
}

std::vector<int8_t> BoardOf(const TOthelloEngine& engine) {
  return std::vector<int8_t>(engine.Board, engine.Board + MaxCells);
}

// Everything a make/unmake pair must give back.
struct TState {
  explicit TState(const TOthelloPatternEngine& engine)
      : Board(BoardOf(engine)),
        Indices(EngineIndices(engine)),
        Empties(EmptyList(engine)),
        Own(engine.OwnDiscs),
        Opp(engine.OppDiscs),
        EmptyCount(engine.EmptyCount),
        Side(engine.SideToMove),
        HashLo(engine.HashLo),
        HashHi(engine.HashHi) {}
  bool operator==(const TState&) const = default;

  std::vector<int8_t> Board;
  std::vector<int32_t> Indices;
  std::vector<int> Empties;
  int Own, Opp, EmptyCount, Side;
  uint32_t HashLo, HashHi;
};

int StageFor(const TOthelloPatternEngine& engine, int discs) {
  const int stages = engine.Evaluation->StageCount();
  const int width = engine.PlayableSquares() / stages;
  return std::clamp((discs - 5) / width, 0, stages - 1);
}

int64_t ExpectedScore(const TOthelloPatternEngine& engine) {
  const int discs = DiscsOn(engine.Board);
  return ScoreFromTables(*engine.Evaluation, engine.Board, engine.SideToMove,
                         StageFor(engine, discs), discs);
}

std::vector<MoveRecord> LegalMoves(TOthelloEngine& engine) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  std::vector<MoveRecord> moves;
  for (const MoveRecord* move = list[0].Next; move; move = move->Next) moves.push_back(*move);
  return moves;
}

// Random games with passes on the pattern engine and, move for move, on the plain rules engine:
// indices always equal their recomputation from the board, the board, counters, empty list and
// hash stay exactly those of the rules engine, the light pair touches only indices and counters,
// and unwinding the whole game gives the start back.
TEST_P(PatternEngine, IndicesFollowRandomGamesAndUnwindExactly) {
  auto engine = Engine();
  TDiscCountEngine rules(10, GetParam().Kind);
  const TEvaluation& evaluation = *engine->Evaluation;
  std::mt19937 random(5);
  for (int game = 0; game < 6; ++game) {
    engine->SetupStartPosition();
    rules.SetupStartPosition();
    const TState start(*engine);
    std::vector<MoveRecord> played;  // a Square of PassMove marks a pass
    int passes = 0;
    while (passes < 2) {
      ASSERT_EQ(EngineIndices(*engine), IndicesFromBoard(evaluation, engine->Board));
      ASSERT_EQ(BoardOf(*engine), BoardOf(rules));
      ASSERT_EQ(EmptyList(*engine), EmptyList(rules));
      ASSERT_EQ(engine->HashLo, rules.HashLo);
      ASSERT_EQ(engine->HashHi, rules.HashHi);
      ASSERT_EQ(engine->OwnDiscs, rules.OwnDiscs);
      ASSERT_EQ(engine->OppDiscs, rules.OppDiscs);
      ASSERT_EQ(engine->EmptyCount, rules.EmptyCount);
      ASSERT_EQ(engine->Evaluate(), ExpectedScore(*engine));
      ASSERT_EQ(engine->EvaluateAlt(), engine->Evaluate());

      const std::vector<MoveRecord> moves = LegalMoves(*engine);
      const TState before(*engine);
      for (const MoveRecord& move : moves) {
        // The light pair: board, list and hash untouched; indices as if the move were on the
        // board.
        int8_t after[MaxCells];
        std::memcpy(after, engine->Board, MaxCells);
        after[move.Square] = engine->SideToMove;
        for (int f = 0; f < move.FlipCount; ++f) after[move.Flips[f]] = engine->SideToMove;
        engine->MakeMoveLight(move);
        ASSERT_EQ(BoardOf(*engine), before.Board);
        ASSERT_EQ(EmptyList(*engine), before.Empties);
        ASSERT_EQ(engine->HashLo, before.HashLo);
        ASSERT_EQ(engine->EmptyCount, before.EmptyCount - 1);
        ASSERT_EQ(EngineIndices(*engine), IndicesFromBoard(evaluation, after));
        engine->SwapSides();
        const int32_t lightScore = engine->Evaluate();
        engine->SwapSides();
        engine->UnmakeMoveLight(move);
        ASSERT_TRUE(TState(*engine) == before);

        // The full pair scores the leaf the same and restores everything.
        engine->MakeMove(move);
        engine->SwapSides();
        ASSERT_EQ(engine->Evaluate(), lightScore);
        ASSERT_EQ(engine->Evaluate(), ExpectedScore(*engine));
        engine->SwapSides();
        engine->UnmakeMove(move);
        ASSERT_TRUE(TState(*engine) == before);
      }

      if (moves.empty()) {
        engine->MakePass();
        rules.MakePass();
        MoveRecord pass{};
        pass.Square = PassMove;
        played.push_back(pass);
        ++passes;
        continue;
      }
      passes = 0;
      const MoveRecord& chosen = moves[random() % moves.size()];
      engine->MakeMove(chosen);
      engine->SwapSides();
      rules.MakeMove(chosen);
      rules.SwapSides();
      played.push_back(chosen);
    }

    // Back to the start, checking the indices on the way.
    while (!played.empty()) {
      const MoveRecord move = played.back();
      played.pop_back();
      if (move.Square == PassMove) {
        engine->MakePass();
      } else {
        engine->SwapSides();
        engine->UnmakeMove(move);
      }
      ASSERT_EQ(EngineIndices(*engine), IndicesFromBoard(evaluation, engine->Board));
    }
    EXPECT_TRUE(TState(*engine) == start);
  }
}

// Colours exchanged and the other side to move: the same position, so the same score.
TEST_P(PatternEngine, EvaluateIsColourSymmetric) {
  auto engine = Engine();
  auto mirror = Engine();
  std::mt19937 random(9);
  engine->SetupStartPosition();
  int checked = 0;
  for (int ply = 0; ply < 200 && checked < 40; ++ply) {
    const std::vector<MoveRecord> moves = LegalMoves(*engine);
    if (moves.empty()) {
      engine->MakePass();
      if (LegalMoves(*engine).empty()) engine->SetupStartPosition();
      continue;
    }
    engine->MakeMove(moves[random() % moves.size()]);
    engine->SwapSides();

    const PositionImage position = engine->CurrentPosition();
    const int32_t score = engine->Evaluate();
    int8_t swapped[MaxCells];
    for (int cell = 0; cell < MaxCells; ++cell) {
      const int8_t value = position.Board[cell];
      swapped[cell] = value == BlackCell ? WhiteCell : value == WhiteCell ? BlackCell : value;
    }
    mirror->SetPosition(swapped, -position.SideToMove);
    EXPECT_EQ(mirror->Evaluate(), score) << "ply " << ply;
    // The colour only enters through the sign of the index, so indices are exact negatives.
    for (int i = 0; i < engine->InstanceCount; ++i)
      ASSERT_EQ(mirror->PatternIndex[i], -engine->PatternIndex[i]);
    ++checked;
  }
  EXPECT_EQ(checked, 40);
}

// Spare entries of every on-board square point to the sink with zero weights; real entries
// are in instance order and carry 3^k for the square's digit.
TEST_P(PatternEngine, SquareLinksMatchTheInstances) {
  auto engine = Engine();
  engine->SetupStartPosition();
  const TEvaluation& evaluation = *engine->Evaluation;
  std::vector<std::vector<TSquareUpdate>> expected(MaxCells);
  int i = 0;
  for (const auto& pattern : evaluation.Patterns) {
    for (const auto& instance : pattern->Instances) {
      int32_t weight = 1;
      for (int k = pattern->SquareCount - 1; k >= 0; --k, weight *= 3)
        expected[instance[k]].push_back({&engine->PatternIndex[i], weight, 2 * weight});
      ++i;
    }
  }
  for (int cell = 0; cell < MaxCells; ++cell) {
    const int count = static_cast<int>(expected[cell].size());
    ASSERT_EQ(engine->UpdateCount[cell], count - 1) << "cell " << cell;
    for (int e = 0; e < TOthelloPatternEngine::MaxUpdatesPerSquare; ++e) {
      const TSquareUpdate& update = engine->SquareUpdates[cell][e];
      if (e < count) {
        EXPECT_EQ(update.Instance, expected[cell][e].Instance);
        EXPECT_EQ(update.PlaceWeight, expected[cell][e].PlaceWeight);
        EXPECT_EQ(update.FlipWeight, expected[cell][e].FlipWeight);
      } else {
        EXPECT_EQ(update.Instance, &engine->ZeroSink);
        EXPECT_EQ(update.PlaceWeight, 0);
        EXPECT_EQ(update.FlipWeight, 0);
      }
    }
  }
  EXPECT_EQ(engine->ZeroSink, 0);
  EXPECT_EQ(engine->InstanceCount, evaluation.InstanceCount());
}

// The saved start position comes back whole after a game has moved on, whoever is to move.
TEST_P(PatternEngine, RestoreStartPositionBringsBackTheWholeState) {
  auto engine = Engine();
  auto fresh = Engine();
  fresh->SetupStartPosition();
  engine->SaveStartPosition();
  std::mt19937 random(3);
  for (int plies = 1; plies <= 9; plies += 4) {
    for (int ply = 0; ply < plies; ++ply) {
      const std::vector<MoveRecord> moves = LegalMoves(*engine);
      if (moves.empty()) break;
      engine->MakeMove(moves[random() % moves.size()]);
      engine->SwapSides();
    }
    engine->RestoreStartPosition();
    EXPECT_TRUE(TState(*engine) == TState(*fresh));
    EXPECT_EQ(engine->Evaluate(), fresh->Evaluate());
    EXPECT_EQ(LegalMoves(*engine).size(), LegalMoves(*fresh).size());
  }
}

INSTANTIATE_TEST_SUITE_P(AllSetups, PatternEngine, ::testing::ValuesIn(AllSetups),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------
// Stages

struct TStageCase {
  TBoardKind Kind;
  const char* Name;
  int Discs;
  int Stage;
};

class StageOfPosition : public ::testing::TestWithParam<TStageCase> {};

// A board with the given number of discs, scattered over the playable squares.
std::vector<int8_t> BoardWithDiscs(const TOthelloEngine& engine, int discs, std::mt19937& random) {
  std::vector<int8_t> board(MaxCells, OutsideCell);
  std::vector<int> squares;
  for (int row = 1; row <= engine.BoardSide; ++row)
    for (int column = 1; column <= engine.BoardSide; ++column)
      squares.push_back(engine.SquareAt(column, row));
  if (engine.BlockedCount) {
    std::erase_if(squares, [](int square) {
      return std::find(std::begin(OctagonCutSquares), std::end(OctagonCutSquares), square) !=
             std::end(OctagonCutSquares);
    });
  }
  for (int square : squares) board[square] = EmptyCell;
  std::shuffle(squares.begin(), squares.end(), random);
  for (int i = 0; i < discs; ++i) board[squares[i]] = random() % 2 ? BlackCell : WhiteCell;
  return board;
}

TEST_P(StageOfPosition, EvaluateReadsTheStageTable) {
  const TStageCase& c = GetParam();
  auto engine = MakeEngine(c.Kind, SharedEvaluation(c.Name));
  const TEvaluation& evaluation = *engine->Evaluation;
  std::mt19937 random(c.Discs);
  for (int trial = 0; trial < 3; ++trial) {
    const std::vector<int8_t> board = BoardWithDiscs(*engine, c.Discs, random);
    for (const int side : {BlackCell, WhiteCell}) {
      engine->SetPosition(board.data(), side);
      ASSERT_EQ(engine->OwnDiscs + engine->OppDiscs, c.Discs);
      const int64_t expected = EvaluationFromTables(evaluation, board.data(), side, c.Stage,
                                                    c.Discs, engine->PlayableSquares());
      EXPECT_EQ(engine->Evaluate(), expected);
      // The neighbouring stages score differently, so a wrong stage cannot pass unseen.
      for (const int other : {c.Stage - 1, c.Stage + 1}) {
        if (other < 0 || other >= evaluation.StageCount() || c.Discs == 0) continue;
        EXPECT_NE(ScoreFromTables(evaluation, board.data(), side, other, c.Discs), expected);
      }
    }
  }
}

// A side without discs has lost: nobody can move, and the score is the final margin whatever
// the tables hold, on every board.
TEST_P(StageOfPosition, WipedOutPositionsScoreTheFinalMargin) {
  const TStageCase& c = GetParam();
  if (c.Discs == 0) return;
  auto engine = MakeEngine(c.Kind, SharedEvaluation(c.Name));
  std::mt19937 random(c.Discs);
  std::vector<int8_t> board = BoardWithDiscs(*engine, c.Discs, random);
  for (int8_t& cell : board)
    if (cell == WhiteCell) cell = BlackCell;
  const int64_t margin = int64_t{engine->PlayableSquares()} * DiscUnit;
  engine->SetPosition(board.data(), BlackCell);
  EXPECT_EQ(engine->Evaluate(), margin);
  EXPECT_EQ(engine->EvaluateAlt(), margin);
  engine->SetPosition(board.data(), WhiteCell);
  EXPECT_EQ(engine->Evaluate(), -margin);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, StageOfPosition,
                         ::testing::Values(
                             // 8 x 8 with 12 stages: width 5.
                             TStageCase{TBoardKind::Board8x8, "Pellin", 0, 0},
                             TStageCase{TBoardKind::Board8x8, "Pellin", 3, 0},
                             TStageCase{TBoardKind::Board8x8, "Pellin", 4, 0},
                             TStageCase{TBoardKind::Board8x8, "Pellin", 9, 0},
                             TStageCase{TBoardKind::Board8x8, "Pellin", 10, 1},
                             TStageCase{TBoardKind::Board8x8, "Pellin", 59, 10},
                             TStageCase{TBoardKind::Board8x8, "Pellin", 60, 11},
                             TStageCase{TBoardKind::Board8x8, "Pellin", 64, 11},
                             // 8 x 8 with 6 stages: width 10.
                             TStageCase{TBoardKind::Board8x8, "Bot8x8", 14, 0},
                             TStageCase{TBoardKind::Board8x8, "Bot8x8", 15, 1},
                             TStageCase{TBoardKind::Board8x8, "Bot8x8", 64, 5},
                             // 10 x 10 with 5 stages: width 20.
                             TStageCase{TBoardKind::Board10x10, "Bot10x10", 2, 0},
                             TStageCase{TBoardKind::Board10x10, "Bot10x10", 24, 0},
                             TStageCase{TBoardKind::Board10x10, "Bot10x10", 25, 1},
                             TStageCase{TBoardKind::Board10x10, "Bot10x10", 100, 4},
                             // Octagon with 8 stages: width 11.
                             TStageCase{TBoardKind::Octagon, "Bot8x8Oct", 4, 0},
                             TStageCase{TBoardKind::Octagon, "Bot8x8Oct", 15, 0},
                             TStageCase{TBoardKind::Octagon, "Bot8x8Oct", 16, 1},
                             TStageCase{TBoardKind::Octagon, "Bot8x8Oct", 88, 7}),
                         [](const auto& info) {
                           return std::string(info.param.Name) + "_" +
                                  std::to_string(info.param.Discs) + "Discs";
                         });

// ---------------------------------------------------------------------------------------------
// Particular set-ups

// Only the edge rows are patterns here, so the centre belongs to no instance.
TEST(PatternEngineLinks, SquaresInNoInstanceHaveNoEntriesAndChangeNoIndex) {
  TTempFolder folder("edge-only");
  auto evaluation = std::make_unique<TEvaluation>("EdgeOnly", nullptr, folder.Path);
  const int32_t edge[] = {11, 12, 13, 14, 15, 16, 17, 18};
  evaluation->AddPattern(std::make_unique<TPattern>(8, 2, edge));
  WriteCoefficientFile(*evaluation, evaluation->FilePath(".coe"), 4);
  evaluation->LoadCoefficients();
  evaluation->ConvertToIntegers();
  TOthelloPatternEngine engine("EdgeOnly", 10, 8, std::move(evaluation));
  engine.SetupStartPosition();

  ASSERT_EQ(engine.InstanceCount, 4);
  for (const int square : {22, 34, 44, 45, 54, 55, 77}) EXPECT_EQ(engine.UpdateCount[square], -1);
  for (const int square : {11, 14, 41, 88}) EXPECT_GE(engine.UpdateCount[square], 0);
  // d3 (34) flips d4 (44): neither touches an edge.
  MoveRecord move{};
  ASSERT_EQ(engine.ProbeMoveHashed(34, move), 1);
  const std::vector<int32_t> before = EngineIndices(engine);
  const int32_t score = engine.Evaluate();
  engine.MakeMove(move);
  EXPECT_EQ(EngineIndices(engine), before);
  engine.SwapSides();
  engine.SwapSides();
  engine.UnmakeMove(move);
  EXPECT_EQ(EngineIndices(engine), before);
  EXPECT_EQ(engine.Evaluate(), score);
  EXPECT_EQ(engine.ZeroSink, 0);
}

// Entries 4 and 5 of the 10 x 10 set-up are both row 4: each of its squares updates both, and
// the two sets of indices are always equal while their tables are different blocks.
TEST(PatternEngineLinks, TenByTenRowFourIsLookedUpTwice) {
  auto engine = MakeEngine(TBoardKind::Board10x10, SharedEvaluation("Bot10x10"));
  const TEvaluation& evaluation = *engine->Evaluation;
  ASSERT_EQ(evaluation.Patterns[3]->Instances, evaluation.Patterns[4]->Instances);
  int first = 0;
  for (int p = 0; p < 3; ++p) first += static_cast<int>(evaluation.Patterns[p]->Instances.size());
  const int second = first + static_cast<int>(evaluation.Patterns[3]->Instances.size());

  std::mt19937 random(12);
  engine->SetupStartPosition();
  for (int ply = 0; ply < 60; ++ply) {
    const std::vector<MoveRecord> moves = LegalMoves(*engine);
    if (moves.empty()) break;
    engine->MakeMove(moves[random() % moves.size()]);
    engine->SwapSides();
    for (int i = 0; i < 4; ++i)
      ASSERT_EQ(engine->PatternIndex[first + i], engine->PatternIndex[second + i]);
  }
  for (int i = 0; i < 4; ++i)
    for (int stage = 0; stage < evaluation.StageCount(); ++stage)
      EXPECT_NE(engine->InstanceTables[stage][first + i],
                engine->InstanceTables[stage][second + i]);

  // a4 (square 49) lies in the first instance of both.
  std::set<const int32_t*> targets;
  for (int e = 0; e <= engine->UpdateCount[49]; ++e)
    targets.insert(engine->SquareUpdates[49][e].Instance);
  EXPECT_TRUE(targets.count(&engine->PatternIndex[first]));
  EXPECT_TRUE(targets.count(&engine->PatternIndex[second]));
}

// ---------------------------------------------------------------------------------------------
// Evaluations the engine cannot hold

std::unique_ptr<TEvaluation> CopiesOf(int copies, std::vector<int32_t> squares) {
  auto evaluation = std::make_unique<TEvaluation>("Oversized", nullptr);
  for (int i = 0; i < copies; ++i)
    evaluation->AddPattern(std::make_unique<TPattern>(8, 1, squares));
  return evaluation;
}

void ExpectRefused(std::unique_ptr<TEvaluation> evaluation, int boardSide,
                   const std::string& words) {
  try {
    TOthelloPatternEngine engine("Refused", 8, boardSide, std::move(evaluation));
    FAIL() << "accepted an evaluation that should be refused (" << words << ")";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
  }
}

TEST(PatternEngineLimits, RefusesWhatItsTablesCannotHold) {
  // 13 x 8 C-square instances: 104 in all.
  ExpectRefused(CopiesOf(13, {12}), 8, "at most 101");
  // 22 corner patterns put 22 instances on a1.
  ExpectRefused(CopiesOf(22, {11}), 8, "more than 21 pattern instances on square 11");
  // An 8 x 8 set-up on a 10 x 10 board would read the wrong squares.
  ExpectRefused(CreateEvaluation("Pellin", nullptr, {}, false), 10, "board of side 8, not 10");
  // Coefficients not yet converted: there are no tables to look up.
  ExpectRefused(CreateEvaluation("Pellin", nullptr, {}, false), 8, "no integer tables");
  ExpectRefused(nullptr, 8, "needs an evaluation");
}

TEST(PatternEngineLimits, AcceptsTheLargestEvaluationItsTablesHold) {
  // 12 x 8 + 5 x 1 = 101 instances; the C-square b1 lies in 12 of them.
  auto evaluation = CopiesOf(12, {12});
  for (int i = 0; i < 5; ++i) {
    const int32_t centre[] = {44, 45, 54, 55};
    evaluation->AddPattern(std::make_unique<TPattern>(8, 1, centre));
  }
  TTempFolder folder("largest");
  evaluation->DataFolder = folder.Path;
  WriteCoefficientFile(*evaluation, evaluation->FilePath(".coe"), 1);
  evaluation->LoadCoefficients();
  evaluation->ConvertToIntegers();
  ASSERT_EQ(evaluation->InstanceCount(), 101);
  TOthelloPatternEngine engine("Largest", 8, 8, std::move(evaluation));
  engine.SetupStartPosition();
  EXPECT_EQ(engine.InstanceCount, 101);
  EXPECT_EQ(EngineIndices(engine), IndicesFromBoard(*engine.Evaluation, engine.Board));
  EXPECT_EQ(engine.Evaluate(), ScoreFromTables(*engine.Evaluation, engine.Board, BlackCell, 0, 4));
}

// Coefficients far beyond any game score saturate the sum instead of wrapping it around.
TEST(PatternEngineLimits, AbsurdCoefficientsSaturateTheScore) {
  for (const float discs : {1000.0f, -1000.0f}) {
    TTempFolder folder("absurd");
    auto evaluation = std::make_unique<TEvaluation>("Absurd", nullptr, folder.Path);
    const int32_t edge[] = {11, 12, 13, 14, 15, 16, 17, 18};
    evaluation->AddPattern(std::make_unique<TPattern>(8, 1, edge));
    fs::create_directories(folder.Path / "Absurd");
    std::ofstream file(evaluation->FilePath(".coe"), std::ios::binary);
    const uint32_t bits = std::bit_cast<uint32_t>(discs);
    const char bytes[4] = {static_cast<char>(bits), static_cast<char>(bits >> 8),
                           static_cast<char>(bits >> 16), static_cast<char>(bits >> 24)};
    for (int32_t p = 0; p < Pow3[8]; ++p) file.write(bytes, 4);
    file.close();
    evaluation->LoadCoefficients();
    evaluation->ConvertToIntegers();
    TOthelloPatternEngine engine("Absurd", 8, 8, std::move(evaluation));
    engine.SetupStartPosition();
    // Four instances, each near the int32 limit: far past it in sum.
    EXPECT_EQ(engine.Evaluate(), discs > 0 ? TOthelloPatternEngine::EvaluationLimit
                                           : -TOthelloPatternEngine::EvaluationLimit);
  }
}

}  // namespace
}  // namespace morvane
