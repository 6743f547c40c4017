#include "engine/HashTable.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/SearchInfo.h"

namespace morvane {
namespace {

TEST(HashTable, SizesFollowTheMenu) {
  struct TCase {
    double Bits;
    int64_t Entries;
  };
  for (const TCase& c : {TCase{17, 131071}, TCase{18, 262143}, TCase{23, 8388607},
                         TCase{23.5, 11863282}, TCase{24.5, 23726565}, TCase{25.5, 47453132},
                         TCase{25.8, 58421658}}) {
    EXPECT_EQ(THashTable::EntryCountFor(c.Bits), c.Entries) << c.Bits;
  }
  THashTable table(17);
  EXPECT_EQ(table.EntryCount, 131071);
  EXPECT_EQ(table.ByteSize(), 2228224u);
}

TEST(HashTable, AnImpossibleSizeIsReportedInWords) {
  try {
    THashTable table(40);
    FAIL() << "a table of 2^40 entries must be refused";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("Transposition table"), std::string::npos);
  }
}

// The keys come from a fixed generator and seed: recompute them independently here.
TEST(HashTable, KeysAreTheSeededGeneratorsAndIdenticalInEveryTable) {
  THashTable first(10), second(12);
  EXPECT_EQ(std::memcmp(first.MoveKey, second.MoveKey, sizeof(first.MoveKey)), 0);
  EXPECT_EQ(std::memcmp(first.FlipKey, second.FlipKey, sizeof(first.FlipKey)), 0);
  EXPECT_EQ(first.SideKey[0], second.SideKey[0]);

  uint64_t seed = 123456789;
  auto draw = [&] {
    seed = (seed * 134775813 + 1) % (1ull << 32);
    return static_cast<uint32_t>((seed * 4294967295ull) >> 32);
  };
  for (int word = 0; word < 2; ++word) {
    const uint32_t side = draw();
    EXPECT_EQ(first.SideKey[word], side);
    for (int square = 0; square < HashCells; ++square) {
      const uint32_t white = draw(), black = draw();
      ASSERT_EQ(first.PieceKey(word, -1, square), white);
      ASSERT_EQ(first.PieceKey(word, 1, square), black);
      ASSERT_EQ(first.FlipKey[word][square], white ^ black);
      ASSERT_EQ(first.BlackMoveKey(word, square), black ^ side);
      ASSERT_EQ(first.WhiteMoveKey(word, square), white ^ side);
      ASSERT_EQ(first.MoveKey[word][1][square], 0u);
    }
  }
}

TEST(HashTable, ProbeFindsOnlyTheStoredCheckWord) {
  THashTable table(10);
  EXPECT_FALSE(table.Probe(5, 77));
  table.Store(5, 77, 3, -10, 10, 4, 44, Infinity, false);
  const THashProbe entry = table.Probe(5, 77);
  ASSERT_TRUE(entry);
  // The packed 32-bit fields are copied out: the matchers take references, which a misaligned
  // field cannot give.
  EXPECT_EQ(int32_t{entry->Score}, 4);
  EXPECT_EQ(entry->BestMove, 44);
  EXPECT_EQ(entry->Depth, 3);
  EXPECT_TRUE(entry->IsLowerBound && entry->IsUpperBound);
  EXPECT_FALSE(table.Probe(5, 78));
  // The index is the low word modulo the odd entry count.
  EXPECT_TRUE(table.Probe(5 + table.EntryCount, 77));
}

TEST(HashTable, BoundFlagsFollowTheWindow) {
  struct TCase {
    int32_t Score;
    bool Lower, Upper;
  };
  for (const TCase& c : {TCase{-10, false, true}, TCase{10, true, false}, TCase{0, true, true},
                         TCase{-20, false, true}, TCase{30, true, false}}) {
    THashTable table(8);
    table.Store(1, 2, 5, -10, 10, c.Score, 11, Infinity, false);
    const THashProbe entry = table.Probe(1, 2);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->IsLowerBound, c.Lower) << c.Score;
    EXPECT_EQ(entry->IsUpperBound, c.Upper) << c.Score;
  }
}

TEST(HashTable, ReplacementKeepsEndgameAndDeeperEntries) {
  struct TStore {
    int Depth;
    bool Endgame;
    int32_t Score;
  };
  struct TCase {
    TStore First, Second;
    bool Replaced;
  };
  const TCase cases[] = {
      {{20, true, 1}, {30, false, 2}, false},  // midgame never replaces endgame
      {{20, false, 1}, {10, true, 2}, true},   // endgame replaces any midgame
      {{10, false, 1}, {10, false, 2}, true},  // ties go to the newer
      {{10, false, 1}, {9, false, 2}, false},
      {{10, true, 1}, {9, true, 2}, false},
      {{10, true, 1}, {10, true, 2}, true},
  };
  for (const TCase& c : cases) {
    THashTable table(8);
    table.Store(3, 4, c.First.Depth, -100, 100, c.First.Score, 11, Infinity, c.First.Endgame);
    table.Store(3, 9, c.Second.Depth, -100, 100, c.Second.Score, 12, Infinity, c.Second.Endgame);
    const THashEntry& slot = table.Slot(3);
    EXPECT_EQ(int32_t{slot.Score}, c.Replaced ? 2 : 1);
    EXPECT_EQ(uint32_t{slot.CheckWord}, c.Replaced ? 9u : 4u);
  }
}

TEST(HashTable, KeepMovesOnlyKeepsBestMovesButNoCutOffs) {
  THashTable table(8);
  table.Store(7, 8, 12, -5, 5, 3, 55, Infinity, true);
  table.KeepMovesOnly();
  const THashProbe entry = table.Probe(7, 8);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->BestMove, 55);
  EXPECT_EQ(entry->Depth, 0);
  EXPECT_EQ(entry->IsEndgame, 0);
  EXPECT_EQ(int32_t{entry->Selectivity}, -Infinity);
  // Every entry may now be replaced, even by a shallow midgame store.
  table.Store(7, 9, 0, -5, 5, 1, 66, Infinity, false);
  EXPECT_EQ(table.Slot(7).BestMove, 66);
}

TEST(HashTable, ClearEmptiesEverySlot) {
  THashTable table(6);
  for (uint32_t i = 0; i < 200; ++i) table.Store(i, i + 1, 3, -1, 1, 5, 11, 7, true);
  table.Clear();
  for (uint32_t i = 0; i <= static_cast<uint32_t>(table.EntryCount); ++i) {
    const THashEntry& slot = table.Slot(i);
    EXPECT_EQ(uint32_t{slot.CheckWord}, 0u);
    EXPECT_EQ(slot.BestMove, 0);
    EXPECT_EQ(int32_t{slot.Selectivity}, Infinity);
  }
}

}  // namespace
}  // namespace morvane
