#include "engine/HashTable.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <sstream>
#include <stdexcept>

#include "engine/SearchInfo.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace morvane {

namespace {

// The linear congruential generator whose keys every Morvane table shares: the same seed gives
// the same keys in every run and every engine.
class TKeyGenerator {
 public:
  explicit TKeyGenerator(uint32_t seed) : Seed(seed) {}
  uint32_t Next() {
    Seed = Seed * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(Seed) * 0xFFFFFFFFull) >> 32);
  }

 private:
  uint32_t Seed;
};

// Every probe of a large table lands on a page of its own; on huge pages the address
// translations of the whole table fit the processor's caches, which saves a page walk per probe.
constexpr size_t HugePage = size_t{2} << 20;

}  // namespace

THashEntry* THashTable::AllocateEntries(size_t count) {
  const size_t bytes = count * sizeof(THashEntry);
  if (bytes < HugePage) return static_cast<THashEntry*>(std::malloc(bytes));
  const size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
  void* memory = std::aligned_alloc(HugePage, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only a hint: without huge pages the table works the same, a little slower.
  if (memory) madvise(memory, rounded, MADV_HUGEPAGE);
#endif
  return static_cast<THashEntry*>(memory);
}

int64_t THashTable::EntryCountFor(double hashSizeBits) {
  return static_cast<int64_t>(std::llround(std::pow(2.0, hashSizeBits))) - 1;
}

THashTable::THashTable(double hashSizeBits) {
  const int64_t count = EntryCountFor(hashSizeBits);
  if (!(hashSizeBits >= 1.0 && hashSizeBits <= 30.0) || count < 1) {
    std::ostringstream message;
    message << "Transposition table size 2^" << hashSizeBits
            << " is out of range (2^1 to 2^30 entries).";
    throw std::runtime_error(message.str());
  }
  EntryCount = static_cast<int32_t>(count);
  Entries.reset(AllocateEntries(static_cast<size_t>(count) + 1));
  if (!Entries) {
    std::ostringstream message;
    message << "Not enough memory for a transposition table of "
            << (static_cast<double>(count + 1) * sizeof(THashEntry)) / (1024.0 * 1024.0)
            << " MB; choose a smaller table size.";
    throw std::runtime_error(message.str());
  }
  Locks = std::make_unique<std::atomic<bool>[]>(LockCount);
  BusyMarks = std::make_unique<std::atomic<uint32_t>[]>(BusyCount);
  GenerateKeys();
  Clear();
}

void THashTable::GenerateKeys() {
  TKeyGenerator random(123456789u);
  for (int word = 0; word < 2; ++word) {
    SideKey[word] = random.Next();
    for (int square = 0; square < HashCells; ++square) {
      const uint32_t white = random.Next();
      const uint32_t black = random.Next();
      MoveKey[word][1][square] = 0;
      FlipKey[word][square] = black ^ white;
      MoveKey[word][2][square] = black ^ SideKey[word];
      MoveKey[word][0][square] = white ^ SideKey[word];
    }
  }
}

void THashTable::Clear() {
  for (int64_t i = 0; i <= EntryCount; ++i) {
    THashEntry& entry = Entries[i];
    entry.CheckWord = 0;
    entry.IsLowerBound = false;
    entry.IsUpperBound = false;
    entry.Score = 0;
    entry.BestMove = 0;
    entry.Depth = 0;
    entry.IsEndgame = 0;
    entry.Selectivity = Infinity;
  }
}

void THashTable::KeepMovesOnly() {
  for (int64_t i = 0; i <= EntryCount; ++i) {
    THashEntry& entry = Entries[i];
    entry.Depth = 0;
    entry.IsEndgame = 0;
    entry.Selectivity = -Infinity;
  }
}

void THashTable::StoreAt(uint32_t index, uint32_t hashHi, int depth, int32_t alpha, int32_t beta,
                         int32_t score, int bestMove, int32_t selectivity, bool isEndgame) {
  THashEntry& slot = Entries[index];
  // An endgame entry is never overwritten by a midgame one; among entries of one kind the
  // deeper stays, ties go to the newer.
  const bool replace = isEndgame ? (!slot.IsEndgame || slot.Depth <= depth)
                                 : (!slot.IsEndgame && slot.Depth <= depth);
  if (!replace) return;
  slot.CheckWord = hashHi;
  slot.Depth = static_cast<uint8_t>(depth);
  slot.Score = score;
  slot.BestMove = static_cast<uint8_t>(bestMove);
  slot.Selectivity = selectivity;
  slot.IsEndgame = isEndgame ? 1 : 0;
  slot.IsUpperBound = score < beta;
  slot.IsLowerBound = score > alpha;
}

}  // namespace morvane
