// The transposition table and the random keys of the position hash.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace morvane {

constexpr int HashCells = 151;

// One table slot, packed so that the most entries fit into the memory the user chose.
//
//   bytes  field
//   0..3   CheckWord     HashHi of the stored position
//   4      IsLowerBound  the true value is at least Score
//   5      IsUpperBound  the true value is at most Score
//   6..9   Score         millionths of a disc (midgame) or whole discs (endgame)
//   10     BestMove      square, 1 = pass, 0 = none
//   11     Depth         remaining depth, or the number of empties for endgame entries
//   12     IsEndgame     1 when the score is in whole discs
//   13..16 Selectivity   smallest cut margin below the node; 2,000,000,000 = no cut taken
#pragma pack(push, 1)
struct THashEntry {
  uint32_t CheckWord;
  bool IsLowerBound;
  bool IsUpperBound;
  int32_t Score;
  uint8_t BestMove;
  uint8_t Depth;
  uint8_t IsEndgame;
  int32_t Selectivity;
};
#pragma pack(pop)
static_assert(sizeof(THashEntry) == 17, "table entries are packed to 17 bytes");

// What a probe found: a copy of the entry, so that a search thread never reads a slot that another
// thread is rewriting. Used like a pointer that is null when the slot holds another position.
struct THashProbe {
  THashEntry Entry;
  bool Found = false;
  explicit operator bool() const { return Found; }
  const THashEntry* operator->() const { return &Entry; }
  const THashEntry& operator*() const { return Entry; }
};

class THashTable final {
 public:
  // Allocates round(2^bits) entries. Throws std::runtime_error with a plain message when the
  // memory cannot be had.
  explicit THashTable(double hashSizeBits);
  THashTable(const THashTable&) = delete;
  THashTable& operator=(const THashTable&) = delete;

  // Number of addressable entries N = round(2^bits) - 1 (an odd count, so that the index is a
  // plain remainder of the low hash word).
  static int64_t EntryCountFor(double hashSizeBits);

  void Clear();
  void KeepMovesOnly();

  THashProbe Probe(uint32_t hashLo, uint32_t hashHi) const {
    THashProbe probe;
    const uint32_t index = hashLo % static_cast<uint32_t>(EntryCount);
    if (Shared) {
      TSlotLock lock(*this, index);
      probe.Entry = Entries[index];
    } else {
      probe.Entry = Entries[index];
    }
    probe.Found = probe.Entry.CheckWord == hashHi;
    return probe;
  }

  void Store(uint32_t hashLo, uint32_t hashHi, int depth, int32_t alpha, int32_t beta,
             int32_t score, int bestMove, int32_t selectivity, bool isEndgame) {
    const uint32_t index = hashLo % static_cast<uint32_t>(EntryCount);
    if (Shared) {
      TSlotLock lock(*this, index);
      StoreAt(index, hashHi, depth, alpha, beta, score, bestMove, selectivity, isEndgame);
    } else {
      StoreAt(index, hashHi, depth, alpha, beta, score, bestMove, selectivity, isEndgame);
    }
  }

  // Several search threads probe and store at once: every slot access then takes one of the
  // table's striped locks, so that no probe sees half of one store and half of another. Set
  // only while no search runs.
  void SetShared(bool shared) { Shared = shared; }
  bool IsShared() const { return Shared; }

  // Marks of the deep nodes some thread is searching right now, so that another thread can
  // search its other moves first and find this one's result in the table afterwards. A mark is
  // a hint: a lost or stale one only changes the order of moves.
  void MarkBusy(uint32_t hashLo, uint32_t hashHi) {
    BusyMarks[hashLo & (BusyCount - 1)].store(hashHi | 1, std::memory_order_relaxed);
  }
  void ClearBusy(uint32_t hashLo, uint32_t hashHi) {
    uint32_t mine = hashHi | 1;
    BusyMarks[hashLo & (BusyCount - 1)].compare_exchange_strong(mine, 0,
                                                                std::memory_order_relaxed);
  }
  bool IsBusy(uint32_t hashLo, uint32_t hashHi) const {
    return BusyMarks[hashLo & (BusyCount - 1)].load(std::memory_order_relaxed) == (hashHi | 1);
  }

  THashEntry& Slot(uint32_t hashLo) const {
    return Entries[hashLo % static_cast<uint32_t>(EntryCount)];
  }
  size_t ByteSize() const { return (static_cast<size_t>(EntryCount) + 1) * sizeof(THashEntry); }

  // Keys of a black or white disc entering with the change of side folded in: the colour is
  // found from the signed cell value, MoveKey[word][cell + 1][square] (white, empty, black).
  uint32_t BlackMoveKey(int word, int square) const { return MoveKey[word][2][square]; }
  uint32_t WhiteMoveKey(int word, int square) const { return MoveKey[word][0][square]; }
  // The key of a disc of this colour alone (no change of side).
  uint32_t PieceKey(int word, int colour, int square) const {
    return MoveKey[word][colour + 1][square] ^ SideKey[word];
  }

  int32_t EntryCount = 0;
  uint32_t SideKey[2] = {};
  uint32_t MoveKey[2][3][HashCells] = {};
  uint32_t FlipKey[2][HashCells] = {};

 private:
  static constexpr uint32_t LockCount = 4096;  // a power of two: the lock is index & (count - 1)
  static constexpr uint32_t BusyCount = 4096;

  // A spin lock on one stripe of slots; held for a copy of 17 bytes, so spinning beats sleeping.
  class TSlotLock {
   public:
    TSlotLock(const THashTable& table, uint32_t index)
        : Flag(table.Locks[index & (LockCount - 1)]) {
      while (Flag.exchange(true, std::memory_order_acquire))
        while (Flag.load(std::memory_order_relaxed)) continue;
    }
    ~TSlotLock() { Flag.store(false, std::memory_order_release); }
    TSlotLock(const TSlotLock&) = delete;
    TSlotLock& operator=(const TSlotLock&) = delete;

   private:
    std::atomic<bool>& Flag;
  };

  void StoreAt(uint32_t index, uint32_t hashHi, int depth, int32_t alpha, int32_t beta,
               int32_t score, int bestMove, int32_t selectivity, bool isEndgame);

  struct TFreeEntries {
    void operator()(THashEntry* entries) const { std::free(entries); }
  };
  static THashEntry* AllocateEntries(size_t count);
  void GenerateKeys();
  std::unique_ptr<THashEntry[], TFreeEntries> Entries;
  bool Shared = false;
  mutable std::unique_ptr<std::atomic<bool>[]> Locks;
  std::unique_ptr<std::atomic<uint32_t>[]> BusyMarks;
};

}  // namespace morvane
