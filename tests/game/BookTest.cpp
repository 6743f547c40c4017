#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "engine/Widgets.h"
#include "evaluation/Patterns.h"
#include "game/Book.h"
#include "game/GameTestSupport.h"

namespace morvane {
namespace {

using testing::EngineAfter;
using testing::LegalSquares;
using testing::LevelOf;
using testing::RandomGame;
using testing::RecordOf;
using testing::TScratchFolder;

std::vector<TNode*> ChildrenOf(const TNode* node) {
  std::vector<TNode*> children;
  for (TNode* child = node->Children(); child; child = child->NextSibling)
    children.push_back(child);
  return children;
}

TNode* ChildWithMove(const TNode* node, int move) {
  for (TNode* child = node->Children(); child; child = child->NextSibling)
    if (child->Move == move) return child;
  return nullptr;
}

PositionImage ImageOf(const TOthelloEngine& engine) { return engine.CurrentPosition(); }

// The book board of the position after `line`, as the generic engine plays it.
TBookBoard BoardAfter(const TBook& book, TBoardKind kind, const std::vector<int>& line) {
  return book.FromImage(ImageOf(*EngineAfter(kind, line)));
}

// The fixed-level search of a fresh engine, the oracle for every searched leaf.
double SearchedValue(TBoardKind kind, const std::vector<int>& line, const TFixedSearchInfo& level,
                     const std::vector<int>& excluded = {}) {
  auto engine = EngineAfter(kind, line);
  const PositionImage image = ImageOf(*engine);
  engine->SetPosition(image.Board, image.SideToMove);
  for (const int square : excluded) engine->ExcludedMoves[square] = 2;
  return engine->SearchFixedLevel(level).Score / 1e6;
}

int ExactMoves(TBoardKind kind, const std::vector<int>& line) {
  auto engine = EngineAfter(kind, line);
  const size_t count = LegalSquares(*engine).size();
  return count == 0 ? 1 : static_cast<int>(count);
}

// Little-endian byte images for hand-made book files.
void Int32(std::vector<uint8_t>& out, int32_t value) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}
void Double(std::vector<uint8_t>& out, double value) {
  const auto bits = std::bit_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}
std::vector<uint8_t> Ints(std::initializer_list<int32_t> values) {
  std::vector<uint8_t> out;
  for (const int32_t value : values) Int32(out, value);
  return out;
}

// ---- Board helpers and orientations ----

TEST(BookBoard, OrientationsMapKnownSquares) {
  TDiscCountEngine engine(8, TBoardKind::Board8x8);
  TBook book("T", 8, 8, &engine);
  // f5 under the anti-diagonal, the main diagonal and the half turn: d3, e6, c4.
  EXPECT_EQ(book.TransformSquare(0, 56), 56);
  EXPECT_EQ(book.TransformSquare(1, 56), 34);
  EXPECT_EQ(book.TransformSquare(2, 56), 65);
  EXPECT_EQ(book.TransformSquare(3, 56), 43);
  // a1 goes to h8, h1 and a8 are swapped by the main diagonal.
  EXPECT_EQ(book.TransformSquare(1, 11), 88);
  EXPECT_EQ(book.TransformSquare(2, 18), 81);
  for (int code = 0; code < 4; ++code) EXPECT_EQ(book.TransformSquare(code, PassMove), PassMove);
}

TEST(BookBoard, OrientationsAreInvolutionsComposingByXorAndKeepTheStart) {
  for (const TBoardKind kind :
       {TBoardKind::Board8x8, TBoardKind::Board10x10, TBoardKind::Octagon}) {
    TDiscCountEngine engine(8, kind);
    const int size = BoardSideOf(kind);
    TBook book("T", size, static_cast<int>(kind), &engine);
    const int cells = (size + 2) * (size + 2);
    for (int a = 0; a < 4; ++a) {
      for (int square = 0; square < cells; ++square) {
        // Border cells other than the pass square have no meaning for the book.
        if (square != PassMove && !book.IsPlayable(square)) continue;
        EXPECT_EQ(book.TransformSquare(a, book.TransformSquare(a, square)), square);
        EXPECT_EQ(book.IsPlayable(book.TransformSquare(a, square)), book.IsPlayable(square));
        for (int b = 0; b < 4; ++b)
          EXPECT_EQ(book.TransformSquare(a, book.TransformSquare(b, square)),
                    book.TransformSquare(a ^ b, square));
      }
      TBookBoard start, image;
      book.SetStartBoard(start);
      book.Transform(a, start, image);
      EXPECT_TRUE(book.SamePosition(start, image));
    }
  }
}

// The book's own rules against the engine's on random games of every board.
TEST(BookBoard, AgreesWithTheEngineOnRandomGames) {
  for (const TBoardKind kind :
       {TBoardKind::Board8x8, TBoardKind::Board10x10, TBoardKind::Octagon}) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
      const std::vector<int> line = RandomGame(kind, seed);
      TDiscCountEngine bookEngine(8, kind);
      TBook book("T", BoardSideOf(kind), static_cast<int>(kind), &bookEngine);
      TBookBoard board;
      book.SetStartBoard(board);
      auto engine = EngineAfter(kind, {});
      EXPECT_TRUE(book.SamePosition(board, book.FromImage(ImageOf(*engine))));
      for (const int move : line) {
        const std::vector<int> legal = LegalSquares(*engine);
        ASSERT_EQ(book.CountMoves(board), static_cast<int>(legal.size()));
        EXPECT_FALSE(book.IsGameOver(board));
        for (int square = 0; square < MaxCells; ++square)
          ASSERT_EQ(book.IsLegalMove(board, square) && square != PassMove,
                    std::count(legal.begin(), legal.end(), square) == 1);
        EXPECT_EQ(book.IsLegalMove(board, PassMove), legal.empty());
        const TBookBoard before = board;
        TBookUndo undo;
        book.MakeMove(board, move, undo);
        TBook::SwitchSide(board);
        // The engine makes the same move.
        if (move == PassMove) {
          engine->MakePass();
        } else {
          TMoveList list;
          engine->GenerateMovesHashed(list);
          const MoveRecord* record = list[0].Next;
          while (record->Square != move) record = record->Next;
          engine->MakeMove(*record);
          engine->SwapSides();
        }
        ASSERT_TRUE(book.SamePosition(board, book.FromImage(ImageOf(*engine))));
        TBookBoard undone = board;
        TBook::SwitchSide(undone);
        book.UndoMove(undone, undo);
        EXPECT_TRUE(book.SamePosition(undone, before));
      }
      EXPECT_TRUE(book.IsGameOver(board));
      EXPECT_EQ(book.FinalMargin(board), engine->FinalScore());
      EXPECT_EQ(book.CountEmpties(board), engine->EmptyCount);
    }
  }
}

TEST(BookBoard, OctagonMarginCountsEightyEightSquares) {
  TDiscCountEngine engine(8, TBoardKind::Octagon);
  TBook book("T", 10, 88, &engine);
  TBookBoard board;
  book.SetStartBoard(board);
  int playable = 0;
  for (int square = 0; square < 144; ++square) playable += board.Cells[square] != 2;
  EXPECT_EQ(playable, 88);
  for (const int32_t cut : OctagonCutSquares) EXPECT_FALSE(book.IsPlayable(cut));
  // 50 black, 30 white, 8 empty: black wins by 20 + 8.
  int placed = 0;
  for (int square = 0; square < 144; ++square) {
    if (board.Cells[square] == 2) continue;
    board.Cells[square] = placed < 50 ? 1 : placed < 80 ? 255 : 0;
    ++placed;
  }
  EXPECT_EQ(book.FinalMargin(board), 28);
  for (auto& cell : board.Cells) cell = cell == 1 ? 255 : cell == 255 ? 1 : cell;
  EXPECT_EQ(book.FinalMargin(board), -28);
}

// ---- Play ----

TEST(Book, EmptyBookAnswersNothing) {
  TDiscCountEngine engine(8, TBoardKind::Board8x8);
  TBook book("T", 8, 8, &engine);
  const std::vector<int> line = RandomGame(TBoardKind::Board8x8, 11);
  for (size_t plies = 0; plies <= line.size(); ++plies) {
    int move = -1;
    double value = 0;
    EXPECT_FALSE(book.GetBookMove(
        ImageOf(*EngineAfter(TBoardKind::Board8x8,
                             std::vector<int>(line.begin(), line.begin() + plies))),
        move, value));
    EXPECT_EQ(move, -1);
  }
}

// One learned game on every board: the line down to MinEmpties, the searched leaf, a searched
// deviation wherever one is missing, and the three symmetric first moves as links.
class FirstLearnedGame : public ::testing::TestWithParam<TBoardKind> {};

TEST_P(FirstLearnedGame, HoldsLineLeafDeviationsAndRootLinks) {
  const TBoardKind kind = GetParam();
  const TFixedSearchInfo level = LevelOf(1, 6);
  TDiscCountEngine engine(12, kind);
  TBook book("T", BoardSideOf(kind), static_cast<int>(kind), &engine);
  const std::vector<int> line = RandomGame(kind, 21);
  auto game = RecordOf(engine, line, level);
  book.AddGame(*game);
  EXPECT_EQ(book.MinEmpties, 5);
  for (const int8_t excluded : engine.ExcludedMoves) EXPECT_EQ(excluded, 0);

  // Root: the game's first move and its three images, which are links to it.
  const std::vector<TNode*> root = ChildrenOf(book.Root);
  ASSERT_EQ(root.size(), 4u);
  EXPECT_EQ(root[0]->Move, line[0]);
  EXPECT_FALSE(root[0]->IsLink);
  std::set<int> images;
  for (size_t i = 1; i < 4; ++i) {
    ASSERT_TRUE(root[i]->IsLink);
    EXPECT_EQ(root[i]->Target(), root[0]);
    EXPECT_EQ(book.TransformSquare(root[i]->Orientation, root[i]->Move), line[0]);
    images.insert(root[i]->Orientation);
  }
  EXPECT_EQ(images, (std::set<int>{1, 2, 3}));

  // Down the line.
  TNode* node = book.Root;
  std::vector<int> played;
  size_t ply = 0;
  for (; ply < line.size(); ++ply) {
    const TBookBoard board = BoardAfter(book, kind, played);
    if (book.CountEmpties(board) <= book.MinEmpties) break;
    TNode* next = ChildWithMove(node, line[ply]);
    ASSERT_NE(next, nullptr) << "ply " << ply;
    ASSERT_FALSE(next->IsLink);
    const std::vector<TNode*> children = ChildrenOf(node);
    const int legal = ExactMoves(kind, played);
    if (legal == 1) {
      EXPECT_EQ(children.size(), 1u);
    } else if (node != book.Root) {
      // Besides the line: links to known positions, then one searched leaf, unless every move
      // turned out to be a transposition.
      std::vector<int> excluded;
      int searched = 0;
      for (TNode* child : children) {
        if (child != next && !child->IsLink) {
          ++searched;
          EXPECT_EQ(child->Children(), nullptr);
          EXPECT_EQ(child->LineDepth, 4);
          EXPECT_NEAR(child->LeafValue, SearchedValue(kind, played, level, excluded), 1e-9)
              << "deviation at ply " << ply;
        }
        excluded.push_back(child->Move);
      }
      EXPECT_TRUE(searched == 1 || static_cast<int>(children.size()) == legal) << "ply " << ply;
      EXPECT_LE(searched, 1);
    }
    played.push_back(line[ply]);
    node = next;
  }

  // The end of the line in the book: a searched leaf below it (or the finished game).
  const TBookBoard last = BoardAfter(book, kind, played);
  if (book.IsGameOver(last)) {
    EXPECT_EQ(node->Children(), nullptr);
  } else {
    EXPECT_EQ(book.CountEmpties(last), book.MinEmpties);
    const std::vector<TNode*> children = ChildrenOf(node);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0]->Children(), nullptr);
    EXPECT_EQ(children[0]->LineDepth, 4);
    EXPECT_NEAR(children[0]->LeafValue, SearchedValue(kind, played, level), 1e-9);
    EXPECT_TRUE(book.IsLegalMove(last, children[0]->Move));
  }

  // No node of the book is ever on a cut octagon corner or off the board.
  std::function<void(const TNode*)> check = [&](const TNode* at) {
    for (const TNode* child : ChildrenOf(at)) {
      EXPECT_TRUE(child->Move == PassMove || book.IsPlayable(child->Move)) << child->Move;
      if (kind == TBoardKind::Octagon) {
        for (const int32_t cut : OctagonCutSquares) EXPECT_NE(child->Move, cut);
      }
      check(child);
    }
  };
  check(book.Root);

  // Every position of the line above MinEmpties is answered with a legal move.
  for (size_t i = 0; i < ply; ++i) {
    const std::vector<int> prefix(line.begin(), line.begin() + i);
    auto position = EngineAfter(kind, prefix);
    int move = 0;
    double value = 0;
    ASSERT_TRUE(book.GetBookMove(ImageOf(*position), move, value)) << "ply " << i;
    const std::vector<int> legal = LegalSquares(*position);
    EXPECT_TRUE(legal.empty() ? move == PassMove
                              : std::count(legal.begin(), legal.end(), move) == 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Boards, FirstLearnedGame,
                         ::testing::Values(TBoardKind::Board8x8, TBoardKind::Board10x10,
                                           TBoardKind::Octagon),
                         [](const auto& info) {
                           return std::to_string(static_cast<int>(info.param));
                         });

TEST(Book, SymmetricGameIsFoundUnderItsOrientationAndAnsweredInTheGamesOwn) {
  const TFixedSearchInfo level = LevelOf(1, 6);
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("T", 8, 8, &engine);
  const std::vector<int> first = RandomGame(TBoardKind::Board8x8, 5, {56});
  book.AddGame(*RecordOf(engine, first, level));
  const int64_t nodesAfterFirst = book.Stats().Nodes;

  // The second game opens with the images of the first game's first six moves (d3 for f5),
  // then goes its own way.
  std::vector<int> opening;
  for (size_t i = 0; i < 6; ++i) opening.push_back(book.TransformSquare(1, first[i]));
  ASSERT_EQ(opening[0], 34);
  const std::vector<int> second = RandomGame(TBoardKind::Board8x8, 99, opening);
  book.AddGame(*RecordOf(engine, second, level));
  EXPECT_GT(book.Stats().Nodes, nodesAfterFirst);

  // Still one plain first move at the root.
  int plain = 0;
  for (const TNode* child : ChildrenOf(book.Root)) plain += !child->IsLink;
  EXPECT_EQ(plain, 1);

  for (size_t plies = 1; plies < 30; ++plies) {
    const std::vector<int> prefix(second.begin(), second.begin() + plies);
    std::vector<int> image;
    for (const int move : prefix) image.push_back(book.TransformSquare(1, move));
    const TBookBoard position = BoardAfter(book, TBoardKind::Board8x8, prefix);
    const TPositionMatch match = book.FindPosition(position);
    ASSERT_NE(match.Node, nullptr) << "ply " << plies;
    EXPECT_EQ(match.Orientation, 1);

    int move = 0, mirrored = 0;
    double value = 0, mirroredValue = 0;
    ASSERT_TRUE(book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, prefix)), move, value));
    ASSERT_TRUE(book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, image)), mirrored,
                                 mirroredValue));
    EXPECT_EQ(move, book.TransformSquare(1, mirrored));
    EXPECT_EQ(value, mirroredValue);
    const std::vector<int> legal = LegalSquares(*EngineAfter(TBoardKind::Board8x8, prefix));
    EXPECT_TRUE(legal.empty() ? move == PassMove
                              : std::count(legal.begin(), legal.end(), move) == 1);
  }
}

// A hand-made book: after f5, white's answers f4, d6 and f6 with the given values.
class BookWithAnswers : public ::testing::Test {
 protected:
  BookWithAnswers() : Book("T", 8, 8, &Engine) {}

  void Build(double f4, double d6, double f6) {
    TNode* f5 = Book.FindOrAddChild(Book.Root, 0, 56, BoardAfter(Book, TBoardKind::Board8x8, {56}));
    for (const auto& [move, value] : {std::pair{46, f4}, std::pair{64, d6}, std::pair{66, f6}})
      Book.FindOrAddChild(f5, 0, move, BoardAfter(Book, TBoardKind::Board8x8, {56, move}))
          ->LeafValue = value;
    Book.Recompute();
  }

  int Answer() {
    int move = 0;
    double value = 0;
    EXPECT_TRUE(Book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, {56})), move, value));
    return move;
  }

  TDiscCountEngine Engine{8, TBoardKind::Board8x8};
  TBook Book;
};

TEST_F(BookWithAnswers, ValuesAreBackedUpByNegamax) {
  Build(1.0, 0.5, -3.0);
  TNode* f5 = ChildWithMove(Book.Root, 56);
  EXPECT_DOUBLE_EQ(f5->Value, -1.0);
  EXPECT_DOUBLE_EQ(Book.Root->Value, 1.0);
  EXPECT_EQ(f5->LineDepth, 1);  // its preferred child is a leaf made by hand
  int move = 0;
  double value = 0;
  ASSERT_TRUE(Book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, {})), move, value));
  EXPECT_EQ(move, 56);
  EXPECT_DOUBLE_EQ(value, -1.0);
  // The mirrored position after d3 is answered with the image of f4.
  ASSERT_TRUE(Book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, {34})), move, value));
  EXPECT_EQ(move, Book.TransformSquare(1, 46));
  EXPECT_DOUBLE_EQ(value, 1.0);
}

struct TRandomCase {
  const char* Name;
  double Budget;
  double F4, D6;  // the two best answers; f6 is far worse
  std::vector<int> Draws;
  std::vector<int> Expected;  // the answers, one per lookup
};

class Randomness : public BookWithAnswers, public ::testing::WithParamInterface<TRandomCase> {};

TEST_P(Randomness, SpendsTheBudgetOnSecondBestMovesOnly) {
  const TRandomCase& c = GetParam();
  Build(c.F4, c.D6, -10.0);
  size_t drawn = 0;
  Book.DrawPermille = [&] {
    EXPECT_LT(drawn, c.Draws.size()) << "more draws than planned";
    return drawn < c.Draws.size() ? c.Draws[drawn++] : 999;
  };
  Book.SetRandomness(c.Budget);
  std::vector<int> answers;
  for (size_t i = 0; i < c.Expected.size(); ++i) answers.push_back(Answer());
  EXPECT_EQ(answers, c.Expected);
  EXPECT_EQ(drawn, c.Draws.size());
  EXPECT_LE(Book.RandomSpent, c.Budget);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Randomness,
    ::testing::Values(
        // 0.5 + 0.5 fits a budget of 1.0; a third would make 1.5 and is never drawn for.
        TRandomCase{"TwoDeviationsWithinOneDisc", 1.0, 1.0, 0.5, {999, 999}, {64, 64, 46, 46, 46}},
        // Draws below 200 keep the best move and spend nothing.
        TRandomCase{
            "DrawsBelow200KeepTheBest", 1.0, 1.0, 0.5, {199, 200, 0, 500}, {46, 64, 46, 64, 46}},
        // Equal values: the earlier child, and no loss to spend.
        TRandomCase{"EqualValuesNeverDeviate", 100.0, 1.0, 1.0, {}, {46, 46, 46, 46}},
        TRandomCase{"NoBudgetNoDeviation", 0.4, 1.0, 0.5, {}, {46, 46, 46}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(BookWithAnswers, SeededDrawsDeviateFourTimesInFive) {
  Build(1.0, 0.5, -10.0);
  Book.SeedRandom(20240611);
  Book.SetRandomness(1e9);
  int deviations = 0;
  std::vector<int> answers;
  for (int i = 0; i < 2000; ++i) {
    answers.push_back(Answer());
    deviations += answers.back() == 64;
    EXPECT_TRUE(answers.back() == 64 || answers.back() == 46);
  }
  EXPECT_NEAR(deviations, 1600, 100);
  EXPECT_DOUBLE_EQ(Book.RandomSpent, deviations * 0.5);

  // The same seed gives the same answers.
  Book.SeedRandom(20240611);
  Book.SetRandomness(1e9);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(Answer(), answers[i]) << i;
}

TEST_F(BookWithAnswers, SetRandomnessSwitchesOnOnlyForAStoredBudget) {
  Book.SetRandomness(1e-13);
  EXPECT_FALSE(Book.UseRandomness);
  Book.SetRandomness(1.0);
  EXPECT_TRUE(Book.UseRandomness);
  Book.RandomSpent = 0.5;
  // "No randomness" only switches it off; the next run re-applies the stored budget.
  Book.UseRandomness = false;
  Book.SetRandomness(Book.RandomBudget);
  EXPECT_TRUE(Book.UseRandomness);
  EXPECT_EQ(Book.RandomSpent, 0);
  EXPECT_EQ(Book.RandomBudget, 1.0);
}

// ---- Learning ----

TEST(Book, MinEmptiesBoundsTheLineAndTheAnswers) {
  const TFixedSearchInfo level = LevelOf(1, 10);  // MinEmpties 9
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("T", 8, 8, &engine);
  // A game without passes that goes on below nine empties.
  std::vector<int> line;
  for (uint32_t seed = 1; line.empty(); ++seed) {
    line = RandomGame(TBoardKind::Board8x8, seed);
    if (std::count(line.begin(), line.end(), PassMove) || line.size() < 60) line.clear();
  }
  book.AddGame(*RecordOf(engine, line, level));
  ASSERT_EQ(book.MinEmpties, 9);

  // Moves from 60 down to 10 empties are the line: 51 plies, ending on nine empties.
  TNode* node = book.Root;
  for (size_t ply = 0; ply < 51; ++ply) {
    node = ChildWithMove(node, line[ply]);
    ASSERT_NE(node, nullptr) << ply;
  }
  // Below the nine-empties node only the searched leaf: the move played from nine empties did
  // not enter.
  const std::vector<TNode*> below = ChildrenOf(node);
  ASSERT_EQ(below.size(), 1u);
  EXPECT_EQ(below[0]->LineDepth, 4);
  EXPECT_EQ(below[0]->Children(), nullptr);
  EXPECT_EQ(book.Stats().Depth, 52);

  const std::vector<int> nine(line.begin(), line.begin() + 51);
  int move = 0;
  double value = 0;
  EXPECT_TRUE(book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, nine)), move, value));
  EXPECT_EQ(move, below[0]->Move);
  std::vector<int> eight = nine;
  eight.push_back(move);
  EXPECT_FALSE(book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, eight)), move, value));
}

TEST(Book, FinishedGameLeafIsValuedForItsMover) {
  // Black wipes white out on the ninth ply.
  const std::vector<int> wipeout{34, 33, 32, 24, 15, 64, 74, 35, 46};
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("T", 8, 8, &engine);
  book.AddGame(*RecordOf(engine, wipeout, LevelOf(1, 6)));
  TNode* node = book.Root;
  for (const int move : wipeout) {
    node = ChildWithMove(node, move);
    ASSERT_NE(node, nullptr);
  }
  EXPECT_EQ(node->Children(), nullptr);
  EXPECT_EQ(node->LeafValue, 64);  // black's view: black made the move
  // So black, one move before, plays the wipe-out from the book.
  const std::vector<int> before(wipeout.begin(), wipeout.end() - 1);
  int move = 0;
  double value = 0;
  ASSERT_TRUE(book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, before)), move, value));
  EXPECT_EQ(move, 46);
  EXPECT_EQ(value, 64);
}

TEST(Book, LineWithAnIllegalMoveLeavesNoTrace) {
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("T", 8, 8, &engine);
  book.AddGame(*RecordOf(engine, RandomGame(TBoardKind::Board8x8, 2), LevelOf(1, 6)));
  const std::vector<uint8_t> before = book.Serialize();
  TRecordingMessageSink messages;
  TScopedMessageSink sink(&messages);
  const std::vector<int> game = RandomGame(TBoardKind::Board8x8, 8);
  std::vector<int32_t> line(game.begin(), game.begin() + 20);
  line[12] = line[3];  // an occupied square
  EXPECT_FALSE(book.AddLine(line, true));
  ASSERT_EQ(messages.Messages, std::vector<std::string>{"ERROR: ILLEGAL MOVE"});
  EXPECT_EQ(book.Serialize(), before);
  // A move after the end of the game is no better.
  std::vector<int32_t> past{34, 33, 32, 24, 15, 64, 74, 35, 46, PassMove};
  EXPECT_FALSE(book.AddLine(past, false));
  EXPECT_EQ(book.Serialize(), before);
}

// ---- File ----

TEST(BookFile, WriterCodesAndBytes) {
  TDiscCountEngine engine(8, TBoardKind::Board8x8);
  TBook book("T", 8, 8, &engine);
  // Root -> f5 (inner) -> {d3 leaf, a link for the pass}; root -> c4, a link never resolved.
  TNode* f5 = book.NewNode();
  f5->Move = 56;
  book.Root->FirstChild = f5;
  TNode* leaf = book.NewNode();
  leaf->Move = 34;
  leaf->LineDepth = 4;
  leaf->LeafValue = 1.5;
  f5->FirstChild = leaf;
  TNode* pass = book.NewNode();
  pass->Move = PassMove;
  pass->IsLink = true;
  pass->FirstChild = f5;
  leaf->NextSibling = pass;
  TNode* loose = book.NewNode();
  loose->Move = 43;
  loose->IsLink = true;
  loose->LineDepth = 7;
  loose->LeafValue = -2.0;
  f5->NextSibling = loose;

  const std::vector<uint8_t> expected = {
      2,    0, 0, 0,                                // root: two children
      0x30, 2, 0, 0,                                // 560: inner node f5
      2,    0, 0, 0,                                // two children
      0x55, 1, 0, 0,                                // 341: leaf d3
      4,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F,  // depth 4, 1.5
      12,   0, 0, 0,                                // 12: link for the pass
      0xAF, 1, 0, 0,                                // 431: an unresolved link is a leaf
      7,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0xC0,  // depth 7, -2.0
  };
  EXPECT_EQ(book.Serialize(), expected);

  TBook empty("T", 8, 8, &engine);
  EXPECT_EQ(empty.Serialize(), Ints({0}));
}

// The tree of two learned games and a long line with a pass, for the file tests.
std::vector<uint8_t> LearnedBookBytes(TOthelloEngine& engine, TBook& book) {
  book.AddGame(*RecordOf(engine, RandomGame(TBoardKind::Board8x8, 31), LevelOf(1, 6)));
  book.AddGame(*RecordOf(engine, RandomGame(TBoardKind::Board8x8, 32), LevelOf(1, 6)));
  for (uint32_t seed = 1;; ++seed) {
    const std::vector<int> line = RandomGame(TBoardKind::Board8x8, seed);
    const auto pass = std::find(line.begin(), line.end(), PassMove);
    if (pass == line.end() || pass + 1 == line.end()) continue;
    book.MinEmpties = 0;
    EXPECT_TRUE(book.AddLine(std::vector<int32_t>(line.begin(), line.end()), false));
    break;
  }
  book.Recompute();
  return book.Serialize();
}

// Paths from the root as move lists, so that two trees can be compared node by node.
void Flatten(const TNode* node, const std::string& path,
             std::map<const TNode*, std::string>& paths) {
  paths[node] = path;
  for (const TNode* child : ChildrenOf(node))
    Flatten(child, path + "/" + std::to_string(child->Move), paths);
}

TEST(BookFile, SaveThenLoadGivesTheSameTree) {
  TScratchFolder folder;
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("Pellin_8x8_Novice", 8, 8, &engine, folder.Path);
  const std::vector<uint8_t> bytes = LearnedBookBytes(engine, book);
  book.Save();
  EXPECT_EQ(book.FilePath(), folder.Path / "books" / "Pellin_8x8_Novice" / "Pellin_8x8_Novice.boo");
  EXPECT_EQ(testing::ReadBytes(book.FilePath()), bytes);
  EXPECT_FALSE(std::filesystem::exists(book.FilePath().string() + ".tmp"));

  TRecordingMessageSink messages;
  TScopedMessageSink sink(&messages);
  TBook loaded("Pellin_8x8_Novice", 8, 8, &engine, folder.Path);
  loaded.Load();
  EXPECT_TRUE(messages.Messages.empty());
  EXPECT_EQ(loaded.Serialize(), bytes);

  std::map<const TNode*, std::string> original, copy;
  Flatten(book.Root, "", original);
  Flatten(loaded.Root, "", copy);
  ASSERT_EQ(original.size(), copy.size());
  std::map<std::string, const TNode*> byPath;
  for (const auto& [node, path] : copy) byPath[path] = node;
  int links = 0, passes = 0;
  for (const auto& [node, path] : original) {
    const TNode* twin = byPath.at(path);
    EXPECT_EQ(twin->IsLink, node->IsLink) << path;
    EXPECT_EQ(twin->LineDepth, node->LineDepth) << path;
    EXPECT_EQ(twin->Value, node->Value) << path;
    if (!node->FirstChild) {
      EXPECT_EQ(twin->LeafValue, node->LeafValue) << path;
    }
    passes += node->Move == PassMove;
    if (node->IsLink) {
      ++links;
      EXPECT_EQ(twin->Orientation, node->Orientation) << path;
      EXPECT_EQ(copy.at(twin->Target()), original.at(node->Target())) << path;
    }
  }
  EXPECT_GE(links, 3);
  EXPECT_GE(passes, 1);
  EXPECT_EQ(loaded.Stats().Nodes, book.Stats().Nodes);
}

TEST(BookFile, LoadReplacesTheTreeAndAMissingFileLeavesItAlone) {
  TScratchFolder folder;
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("B", 8, 8, &engine, folder.Path);
  book.Load();  // no file: nothing happens
  EXPECT_EQ(book.Stats().Nodes, 0);
  LearnedBookBytes(engine, book);
  const int64_t learned = book.Stats().Nodes;
  book.Load();
  EXPECT_EQ(book.Stats().Nodes, learned);
  // A one-leaf book replaces the learned tree.
  std::vector<uint8_t> small = Ints({1, 561, 4});
  Double(small, 0.5);
  testing::WriteBytes(book.FilePath(), small);
  book.Load();
  EXPECT_EQ(book.Stats().Nodes, 1);
  EXPECT_EQ(book.Root->FirstChild->Value, 0.5);
}

TEST(BookFile, UnresolvedLinkIsALeafWithoutValue) {
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("T", 8, 8, &engine);
  TRecordingMessageSink messages;
  TScopedMessageSink sink(&messages);
  // f5 as a leaf, d3 and e6 as links: d3 finds f5 under its image, e6 as well; c4 -> f4 links
  // to a position that is nowhere in the book.
  std::vector<uint8_t> bytes = Ints({4, 561, 4});
  Double(bytes, 2.0);
  Int32(bytes, 342);
  Int32(bytes, 652);
  Int32(bytes, 430);
  Int32(bytes, 1);
  Int32(bytes, 332);  // c3 after c4
  std::string problem;
  ASSERT_TRUE(book.ReadTree(bytes, problem)) << problem;
  EXPECT_EQ(messages.Messages,
            std::vector<std::string>{"Fatal Error : Link not found in CreateLinks2"});
  const TBookStats stats = book.Stats();
  EXPECT_EQ(stats.Links, 3);
  EXPECT_EQ(stats.UnresolvedLinks, 1);
  TNode* c4 = ChildWithMove(book.Root, 43);
  TNode* loose = c4->FirstChild;
  EXPECT_TRUE(loose->IsLink);
  EXPECT_EQ(loose->Target(), nullptr);
  EXPECT_EQ(loose->Value, NoValue);
  EXPECT_EQ(c4->Value, NoValue);

  int move = 0;
  double value = 0;
  // After c4 the only child is the unresolved link: no book move.
  EXPECT_FALSE(book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, {43})), move, value));
  // The position behind it is not found, although a walk could reach it through the link.
  EXPECT_EQ(book.FindPosition(BoardAfter(book, TBoardKind::Board8x8, {43, 33})).Node, nullptr);
  // At the root c4 is never chosen over the valued moves.
  ASSERT_TRUE(book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, {})), move, value));
  EXPECT_NE(move, 43);
  EXPECT_EQ(value, 2.0);
  // Learning through it stops there, and a deviation pass does not break on it.
  book.MinEmpties = 5;
  EXPECT_TRUE(book.AddLine(std::vector<int32_t>{43, 33, 34}, false));
  EXPECT_EQ(book.Stats().Nodes, stats.Nodes);
  book.Recompute();
  book.ExpandAll();
  // Written as a leaf without value, it loads again as one.
  const std::vector<uint8_t> written = book.Serialize();
  std::vector<uint8_t> tail = Ints({1, 331, 0});
  Double(tail, NoValue);
  EXPECT_TRUE(std::search(written.begin(), written.end(), tail.begin(), tail.end()) !=
              written.end());
  ASSERT_TRUE(book.ReadTree(written, problem)) << problem;
  EXPECT_EQ(book.Serialize(), written);
}

struct TDamageCase {
  const char* Name;
  std::vector<uint8_t> Bytes;
  const char* Problem;  // a piece of the reader's description
};

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> Leaf(int move, int depth, double value) {
  std::vector<uint8_t> out = Ints({move * 10 + 1, depth});
  Double(out, value);
  return out;
}

std::vector<uint8_t> DeepChain(int links) {
  std::vector<uint8_t> out;
  out.reserve(8 * static_cast<size_t>(links));
  for (int i = 0; i < links; ++i) {
    Int32(out, 1);
    Int32(out, 560);
  }
  return out;
}

const TDamageCase DamageCases[] = {
    {"Empty", {}, "ends in the middle"},
    {"Truncated", {1, 0, 0, 0, 0x31, 2, 0, 0, 4, 0, 0, 0, 0}, "ends in the middle"},
    {"TruncatedValue", Join(Ints({1, 561, 4}), {0, 0, 0, 0}), "ends in the middle"},
    {"CountZeroBelowRoot", Ints({1, 560, 0}), "below the root is empty"},
    {"CountTooLarge", Join(Ints({1, 560, 1000}), Leaf(46, 4, 1.0)), "more than the rest"},
    {"CountBeyondLegalMoves", Join(Ints({5}), Ints({342, 432, 562, 652, 342})), "legal moves"},
    {"NegativeCount", Ints({-3}), "negative"},
    {"UnknownKind", Ints({1, 565}), "unknown kind"},
    {"NegativeCode", Ints({1, -561}), "unknown kind"},
    {"SquareOffTheBoard", Join(Ints({1}), Leaf(99, 4, 0.0)), "not a square"},
    {"SquareFarOffTheBoard", Join(Ints({1}), Leaf(1000000, 4, 0.0)), "not a square"},
    {"BorderSquare", Join(Ints({1}), Leaf(10, 4, 0.0)), "not a square"},
    {"IllegalMove", Join(Ints({1}), Leaf(11, 4, 0.0)), "not legal"},
    {"PassWhileMovesExist", Join(Ints({1}), Leaf(1, 4, 0.0)), "not legal"},
    {"RepeatedMove", Join(Join(Ints({2}), Leaf(56, 4, 0.0)), Leaf(56, 4, 0.0)), "twice"},
    {"LineDepthOutOfRange", Join(Ints({1}), Leaf(56, 300, 0.0)), "line depth"},
    {"ValueNotANumber", Join(Ints({1}), Leaf(56, 4, std::nan(""))), "not a number"},
    {"ValueInfinite", Join(Ints({1}), Leaf(56, 4, INFINITY)), "not a number"},
    {"StrayBytes", Join(Join(Ints({1}), Leaf(56, 4, 0.0)), {0}), "stray bytes"},
    {"DeepNesting", DeepChain(20000), "not legal"},
};

class DamagedFile : public ::testing::TestWithParam<TDamageCase> {};

TEST_P(DamagedFile, LoadsAsAnEmptyBookAndIsKeptUntilAGameIsLearned) {
  const TDamageCase& c = GetParam();
  TScratchFolder folder;
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("D", 8, 8, &engine, folder.Path);
  LearnedBookBytes(engine, book);  // something in memory that the load must drop
  testing::WriteBytes(book.FilePath(), c.Bytes);

  TRecordingMessageSink messages;
  TScopedMessageSink sink(&messages);
  book.Load();
  EXPECT_EQ(book.Stats().Nodes, 0);
  ASSERT_EQ(messages.Messages.size(), 1u);
  const std::string& text = messages.Messages[0];
  EXPECT_EQ(text.rfind("The opening book \"" + book.FilePath().string() + "\" is damaged (", 0), 0u)
      << text;
  EXPECT_NE(text.find(c.Problem), std::string::npos) << text;
  EXPECT_NE(text.find(") and was not loaded; it will be replaced when the next game has been "
                      "learned."),
            std::string::npos)
      << text;
  int move = 0;
  double value = 0;
  EXPECT_FALSE(book.GetBookMove(ImageOf(*EngineAfter(TBoardKind::Board8x8, {})), move, value));

  // Saving without anything learned keeps the damaged file.
  book.Save();
  EXPECT_EQ(testing::ReadBytes(book.FilePath()), c.Bytes);

  // A learned game replaces it; the damaged bytes are kept beside it.
  book.AddGame(*RecordOf(engine, RandomGame(TBoardKind::Board8x8, 40), LevelOf(1, 6)));
  book.Save();
  EXPECT_EQ(testing::ReadBytes(book.FilePath().string() + ".damaged"), c.Bytes);
  EXPECT_EQ(testing::ReadBytes(book.FilePath()), book.Serialize());
  TBook reloaded("D", 8, 8, &engine, folder.Path);
  reloaded.Load();
  EXPECT_EQ(reloaded.Serialize(), book.Serialize());
  EXPECT_EQ(messages.Messages.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedFile, ::testing::ValuesIn(DamageCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(BookFile, FailedSaveLeavesTheOldFileIntact) {
  TScratchFolder folder;
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("S", 8, 8, &engine, folder.Path);
  book.AddGame(*RecordOf(engine, RandomGame(TBoardKind::Board8x8, 50), LevelOf(1, 6)));
  book.Save();
  const std::vector<uint8_t> old = testing::ReadBytes(book.FilePath());
  book.AddGame(*RecordOf(engine, RandomGame(TBoardKind::Board8x8, 51), LevelOf(1, 6)));
  ASSERT_NE(book.Serialize(), old);

  // Something that is not a file where the temporary file must go.
  const std::filesystem::path temporary = book.FilePath().string() + ".tmp";
  std::filesystem::create_directories(temporary / "blocked");
  try {
    book.Save();
    ADD_FAILURE() << "the save did not fail";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(book.FilePath().string()), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(testing::ReadBytes(book.FilePath()), old);
  std::filesystem::remove_all(temporary);
  book.Save();
  EXPECT_EQ(testing::ReadBytes(book.FilePath()), book.Serialize());
}

TEST(BookFile, SaveCreatesTheBooksFolderAndRefusesAReadOnlyOne) {
  TScratchFolder folder;
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook book("R", 8, 8, &engine, folder.Path / "fresh");
  book.AddGame(*RecordOf(engine, RandomGame(TBoardKind::Board8x8, 60), LevelOf(1, 6)));
  book.Save();
  const std::vector<uint8_t> old = testing::ReadBytes(book.FilePath());
  ASSERT_FALSE(old.empty());
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  std::filesystem::permissions(book.FilePath().parent_path(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  book.AddGame(*RecordOf(engine, RandomGame(TBoardKind::Board8x8, 61), LevelOf(1, 6)));
  EXPECT_THROW(book.Save(), std::runtime_error);
  EXPECT_EQ(testing::ReadBytes(book.FilePath()), old);
}

// Mutations and truncations of a real book: the reader must refuse or accept each cleanly, and
// whatever it accepts must be a tree that every walk handles.
TEST(BookFile, ReaderSurvivesThousandsOfDamagedFiles) {
  TDiscCountEngine engine(12, TBoardKind::Board8x8);
  TBook source("F", 8, 8, &engine);
  const std::vector<uint8_t> original = LearnedBookBytes(engine, source);
  ASSERT_GT(original.size(), 1000u);
  TRecordingMessageSink messages;
  TScopedMessageSink sink(&messages);
  TBook book("F", 8, 8, &engine);
  std::mt19937 random(7);
  const int32_t interesting[] = {0,   1,   -1,  2,    10,        11,       12,
                                 341, 560, 562, 1000, INT32_MAX, INT32_MIN};
  constexpr int Inputs = 6000;
  int accepted = 0, refused = 0;
  const PositionImage start = ImageOf(*EngineAfter(TBoardKind::Board8x8, {}));
  for (int n = 0; n < Inputs; ++n) {
    std::vector<uint8_t> bytes = original;
    const int mutations = 1 + static_cast<int>(random() % 4);
    for (int m = 0; m < mutations && !bytes.empty(); ++m) {
      const size_t at = random() % bytes.size();
      switch (random() % 6) {
        case 0:
          bytes.resize(at);
          break;
        case 1:
          bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
          break;
        case 2:
          bytes[at] = static_cast<uint8_t>(random());
          break;
        case 3: {
          const size_t aligned = at & ~size_t{3};
          if (aligned + 4 <= bytes.size()) {
            const int32_t value = interesting[random() % std::size(interesting)];
            for (int i = 0; i < 4; ++i) bytes[aligned + i] = static_cast<uint8_t>(value >> (8 * i));
          }
          break;
        }
        case 4:
          bytes.erase(bytes.begin() + at,
                      bytes.begin() + std::min(bytes.size(), at + 1 + random() % 12));
          break;
        default: {
          const size_t from = random() % bytes.size();
          const size_t length = std::min<size_t>(1 + random() % 24, bytes.size() - from);
          const std::vector<uint8_t> piece(bytes.begin() + from, bytes.begin() + from + length);
          bytes.insert(bytes.begin() + at, piece.begin(), piece.end());
        }
      }
    }
    std::string problem;
    if (!book.ReadTree(bytes, problem)) {
      ++refused;
      ASSERT_FALSE(problem.empty());
      ASSERT_EQ(book.Stats().Nodes, 0);
      continue;
    }
    ++accepted;
    // What was accepted walks, answers and writes; written and read again it stays the same.
    int move = 0;
    double value = 0;
    book.GetBookMove(start, move, value);
    const std::vector<uint8_t> written = book.Serialize();
    ASSERT_TRUE(book.ReadTree(written, problem)) << problem;
    ASSERT_EQ(book.Serialize(), written);
  }
  std::printf("[ fuzz     ] %d inputs: %d accepted, %d refused cleanly\n", Inputs, accepted,
              refused);
  ::testing::Test::RecordProperty("FuzzInputs", Inputs);
  EXPECT_EQ(accepted + refused, Inputs);
  EXPECT_GT(refused, Inputs / 2);
}

}  // namespace
}  // namespace morvane
