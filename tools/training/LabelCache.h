// Exact scores of the late positions of archived games, solved once and kept: one small binary
// file per archive, appended to as the solver goes, so that a run that is stopped resumes where
// it left off and no position is ever solved twice.
//
// File layout (little-endian): the 8 bytes "MVLABEL1", then records of 24 bytes:
//   uint32 game number in its archive | uint32 hash of its move text | int8 score[16]
// score[e] is the exact final margin, empties to the winner, for the side to move in the
// position with e empty squares (e = 0..15); Unknown where that position was not solved or does
// not occur in the game.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <unordered_map>

namespace morvane::training {

class TLabelCache {
 public:
  static constexpr int MaxEmpties = 15;
  static constexpr int8_t Unknown = -128;
  using TScores = std::array<int8_t, MaxEmpties + 1>;

  // Reads the records of `path` if it exists. A record cut short by an interrupted write is
  // dropped (and, when writable, cut off so that the next Append overwrites it). A read-only
  // cache never touches the file, so it may be read while a solver appends to it. Throws
  // std::runtime_error for a file that is not a label cache.
  explicit TLabelCache(std::filesystem::path path, bool writable = true);
  ~TLabelCache();
  TLabelCache(const TLabelCache&) = delete;
  TLabelCache& operator=(const TLabelCache&) = delete;

  // The scores of a game, or nullptr when it was not solved or its hash differs (the archive
  // changed: its labels must be solved again).
  const TScores* Find(uint32_t game, uint32_t hash) const;
  // Appends (and remembers) the scores of a game; Flush makes them durable.
  void Append(uint32_t game, uint32_t hash, const TScores& scores);
  void Flush();
  size_t Size() const { return Records.size(); }

 private:
  struct TRecord {
    uint32_t Hash;
    TScores Scores;
  };
  std::filesystem::path Path;
  std::unordered_map<uint32_t, TRecord> Records;
  std::FILE* Output = nullptr;
};

}  // namespace morvane::training
