// The threaded search: helpers on the owner's table never change an exact score, a stop ends
// every thread, and the shared table never hands out half of one entry and half of another.
#include "engine/SearchThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "engine/SearchTestSupport.h"
#include "engine/Widgets.h"
#include "engines/DiscCountEngine.h"
#include "engines/EngineFactory.h"
#include "game/GameTestSupport.h"

namespace morvane {
namespace {

using namespace searchtest;
using testing::RandomCoefficientEngine;
using testing::TScratchFolder;

constexpr TBoardKind AllKinds[] = {TBoardKind::Board8x8, TBoardKind::Board10x10,
                                   TBoardKind::Octagon};

void GiveThreads(TOthelloEngine& engine, TBoardKind kind, int threads) {
  engine.Threads = std::make_unique<TSearchThreads>(
      engine, threads, [kind] { return std::make_unique<TDiscCountEngine>(1.0, kind); });
}

int32_t SolveRoot(TOthelloEngine& engine) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  const int32_t playable = engine.PlayableSquares();
  return engine.ExactSolveAspirated(-playable * DiscUnit, playable * DiscUnit, list) / DiscUnit;
}

// A position reached by random moves from the start, with the side to move able to move.
TReferenceBoard RandomLine(TBoardKind kind, int empties, std::mt19937& rng) {
  for (;;) {
    TReferenceBoard board = reference::RandomPosition(GeometryOf(kind), empties, rng);
    if (!board.Moves().empty()) return board;
  }
}

class ThreadedSolveTest : public ::testing::TestWithParam<TBoardKind> {};

// Brute force is the oracle; the best move must be worth the score (its child solved alone).
TEST_P(ThreadedSolveTest, ScoresAndBestMovesMatchBruteForceForAnyThreadCount) {
  const TBoardKind kind = GetParam();
  std::mt19937 rng(900 + static_cast<int>(kind));
  for (int round = 0; round < 6; ++round) {
    const TReferenceBoard board = RandomLine(kind, 9 + round % 3, rng);
    const int exact = board.Solve();
    for (const int threads : {1, 2, 4}) {
      TDiscCountEngine engine(12, kind);
      if (threads > 1) GiveThreads(engine, kind, threads);
      Load(engine, board);
      const TPositionSnapshot before(engine);
      TMoveList list;
      engine.GenerateMovesHashed(list);
      const int32_t playable = engine.PlayableSquares();
      const int32_t score =
          engine.ExactSolveAspirated(-playable * DiscUnit, playable * DiscUnit, list) / DiscUnit;
      EXPECT_EQ(score, exact) << board.ToText() << " threads " << threads;
      EXPECT_TRUE(TPositionSnapshot(engine) == before);
      // The root list's first move is the one the search chose.
      const int best = list[0].Next->Square;
      TReferenceBoard child = board;
      bool played = false;
      for (const reference::TSquare square : board.Moves())
        if (SquareOf(engine, square) == best) {
          child.Play(square);
          played = true;
        }
      ASSERT_TRUE(played);
      EXPECT_EQ(-child.Solve(), exact) << board.ToText() << " threads " << threads;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllBoards, ThreadedSolveTest, ::testing::ValuesIn(AllKinds),
                         [](const auto& info) { return std::string(KindName(info.param)); });

// The 8 x 8 engine's bitboard solver and its table use at 16 to 20 empties, where the helpers
// really share work: one thread is the oracle (itself checked against brute force elsewhere).
TEST(ThreadedSolve, BitboardSolverScoresDoNotDependOnTheThreadCount) {
  TScratchFolder folder;
  auto engine = RandomCoefficientEngine("Pellin", folder.Path, 5);
  std::mt19937 rng(4242);
  for (int round = 0; round < 4; ++round) {
    const TReferenceBoard board = RandomLine(TBoardKind::Board8x8, 16 + round, rng);
    SetSearchThreads(*engine, 1);
    Load(*engine, board);
    engine->HashTable->Clear();
    const int32_t alone = SolveRoot(*engine);
    for (const int threads : {2, 3}) {
      SetSearchThreads(*engine, threads);
      Load(*engine, board);
      engine->HashTable->Clear();
      const TPositionSnapshot before(*engine);
      EXPECT_EQ(SolveRoot(*engine), alone) << board.ToText() << " threads " << threads;
      EXPECT_TRUE(TPositionSnapshot(*engine) == before);
      EXPECT_FALSE(engine->Threads->Running());
    }
  }
}

TEST(ThreadedSolve, FixedLevelExactScoreAndMidgameMoveWithHelpers) {
  TScratchFolder folder;
  auto engine = RandomCoefficientEngine("Pellin", folder.Path, 6);
  std::mt19937 rng(77);
  const TReferenceBoard late = RandomLine(TBoardKind::Board8x8, 15, rng);
  const TReferenceBoard early = RandomLine(TBoardKind::Board8x8, 40, rng);
  TFixedSearchInfo exactLevel;
  exactLevel.Depth = 4;
  exactLevel.ExactEmpties = 16;
  Load(*engine, late);
  const TSearchResult alone = engine->SearchFixedLevel(exactLevel);
  SetSearchThreads(*engine, 2);
  Load(*engine, late);
  engine->HashTable->Clear();
  const TSearchResult shared = engine->SearchFixedLevel(exactLevel);
  EXPECT_EQ(shared.Score, alone.Score) << late.ToText();

  TFixedSearchInfo midgame;
  midgame.Depth = 7;
  Load(*engine, early);
  const TPositionSnapshot before(*engine);
  const TSearchResult chosen = engine->SearchFixedLevel(midgame);
  const std::vector<int> legal = LegalSquares(*engine);
  EXPECT_NE(std::find(legal.begin(), legal.end(), chosen.BestSquare), legal.end());
  EXPECT_TRUE(TPositionSnapshot(*engine) == before);
  EXPECT_FALSE(engine->Threads->Running());
}

// A long solve on several threads that something stops: afterwards no helper may run and the
// position must be as it was.
class ThreadedStopTest : public ::testing::Test {
 protected:
  void Prepare(int threads, int empties, uint32_t seed) {
    Engine = RandomCoefficientEngine("Pellin", Folder.Path, seed);
    SetSearchThreads(*Engine, threads);
    std::mt19937 rng(seed);
    Load(*Engine, RandomLine(TBoardKind::Board8x8, empties, rng));
    Before = std::make_unique<TPositionSnapshot>(*Engine);
  }
  void ExpectEverythingStopped() {
    EXPECT_TRUE(Engine->StopRequested);
    EXPECT_FALSE(Engine->Threads->Running());
    EXPECT_TRUE(TPositionSnapshot(*Engine) == *Before);
  }
  TScratchFolder Folder;
  std::unique_ptr<TOthelloPatternEngine> Engine;
  std::unique_ptr<TPositionSnapshot> Before;
};

// "Force move": the window's pump sets the stop flag from inside the owner's search. Every
// helper must stop too, and no helper may ever run the pump.
TEST_F(ThreadedStopTest, AStopFromThePumpEndsEveryThread) {
  Prepare(3, 30, 7);
  struct TContext {
    TOthelloEngine* Engine;
    std::thread::id Window;
    int Calls = 0;
    bool ForeignThread = false;
  } context{Engine.get(), std::this_thread::get_id()};
  TRecordingEventPump pump;
  pump.Context = &context;
  pump.OnPump = [](void* raw) {
    auto& seen = *static_cast<TContext*>(raw);
    if (std::this_thread::get_id() != seen.Window) seen.ForeignThread = true;
    if (++seen.Calls == 3) seen.Engine->RequestStop();
  };
  const TScopedEventPump scope(&pump);
  SolveRoot(*Engine);
  EXPECT_GE(context.Calls, 3);
  EXPECT_FALSE(context.ForeignThread);
  ExpectEverythingStopped();
}

// The engine protocol stops a search from its input thread.
TEST_F(ThreadedStopTest, AStopFromAnotherThreadEndsEveryThread) {
  Prepare(2, 32, 8);
  std::atomic<bool> searching{false};
  TRecordingEventPump pump;
  pump.Context = &searching;
  pump.OnPump = [](void* raw) { static_cast<std::atomic<bool>*>(raw)->store(true); };
  const TScopedEventPump scope(&pump);
  std::thread input([&] {
    while (!searching.load()) std::this_thread::yield();
    Engine->RequestStop();
  });
  SolveRoot(*Engine);
  input.join();
  ExpectEverythingStopped();
}

TEST(SearchThreads, CountsTableSharingAndRefusals) {
  TScratchFolder folder;
  auto engine = RandomCoefficientEngine("Pellin", folder.Path, 9);
  EXPECT_FALSE(engine->HashTable->IsShared());
  SetSearchThreads(*engine, 3);
  ASSERT_TRUE(engine->Threads);
  EXPECT_EQ(engine->Threads->Count(), 3);
  EXPECT_TRUE(engine->HashTable->IsShared());
  SetSearchThreads(*engine, 1);
  EXPECT_FALSE(engine->Threads);
  EXPECT_FALSE(engine->HashTable->IsShared());
  EXPECT_THROW(SetSearchThreads(*engine, 0), std::invalid_argument);
  // A helper of another board cannot search the owner's root.
  EXPECT_THROW(TSearchThreads(*engine, 2,
                              [] {
                                return std::make_unique<TDiscCountEngine>(
                                    1.0, TBoardKind::Board10x10);
                              }),
               std::invalid_argument);
  EXPECT_FALSE(engine->HashTable->IsShared());
}

// Every field of a stored entry is a function of its check word, so a probe that mixed two
// stores would show it. Four threads hammer four slots of a small table.
TEST(SharedHashTable, ProbesNeverSeeHalfOfOneStoreAndHalfOfAnother) {
  THashTable table(9.0);
  table.SetShared(true);
  std::atomic<int64_t> torn{0}, hits{0};
  auto work = [&](uint32_t seed) {
    std::mt19937 rng(seed);
    for (int i = 0; i < 300000; ++i) {
      // Eight positions on each of four slots (the table has 511), so stores collide all the time.
      const uint32_t key = rng() % 8 * 511 + rng() % 4 + 1;
      const uint32_t check = key * 2654435761u;
      if (i % 2 == 0) {
        table.Store(key, check, static_cast<int>(key % 60), -Infinity, Infinity,
                    static_cast<int32_t>(check >> 1), static_cast<int>(key % 200),
                    static_cast<int32_t>(check >> 2), key % 3 == 0);
      } else if (const THashProbe entry = table.Probe(key, check)) {
        ++hits;
        const bool whole = entry->Score == static_cast<int32_t>(check >> 1) &&
                           entry->BestMove == key % 200 && entry->Depth == key % 60 &&
                           entry->Selectivity == static_cast<int32_t>(check >> 2) &&
                           entry->IsEndgame == (key % 3 == 0 ? 1 : 0);
        if (!whole) ++torn;
      }
    }
  };
  std::vector<std::thread> threads;
  for (uint32_t seed = 1; seed <= 4; ++seed) threads.emplace_back(work, seed);
  for (std::thread& thread : threads) thread.join();
  EXPECT_GT(hits.load(), 0);
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace morvane
