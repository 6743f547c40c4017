// Labelled positions from the game archives. A position's label is the final margin in discs for
// its side to move: the game's result, corrected backwards by the best exact value known later in
// the game (a solved late position, or the archive's theoretical score at 24 empties).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "training/GameArchive.h"

namespace morvane::training {

inline constexpr int8_t NoExact = -128;

struct TLabelledPosition {
  uint64_t Own = 0;
  uint64_t Opp = 0;
  int8_t Side = 1;
  uint8_t Empties = 0;
  int8_t Label = 0;        // discs for the side to move
  int8_t Result = 0;       // the game's final margin for the side to move (0 if abandoned)
  int8_t Exact = NoExact;  // the exact value of this position when known, else NoExact
  uint8_t Flags = 0;
};

// Flags of a labelled position.
inline constexpr uint8_t HeldOut = 1;      // its game belongs to the held-out tenth
inline constexpr uint8_t ExactLabel = 2;   // the label is the exact value of this very position
inline constexpr uint8_t Theoretical = 4;  // the archive's theoretical score is for this position
inline constexpr uint8_t Finished = 8;     // the game was played to its end

enum class TLabelKind { Results, Exact };

// Whole games are held out: every tenth by the hash of their move text, mixed first because the
// low digits of the text hash follow the last moves too closely.
inline bool IsHeldOut(uint32_t gameHash) {
  uint32_t h = gameHash;
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h % 10 == 0;
}

// The labelled positions of one game, appended to `out`. Exact labels take `solved` (scores by
// empties for the side to move, TLabelCache layout; may be null). A game that was abandoned
// before its end contributes only the positions some exact value reaches.
void LabelGame(const TArchiveGame& game, TLabelKind kind, const int8_t* solved,
               std::vector<TLabelledPosition>& out);

struct TTrainingSetOptions {
  TLabelKind Kind = TLabelKind::Results;
  std::filesystem::path LabelFolder;  // label caches; empty: none
  int64_t MaxGames = 0;               // per archive; 0: all
  int MinEmpties = 1;                 // positions with fewer empties are left out
};

// Reads every archive of the folder. Malformed lines go to `report`.
std::vector<TLabelledPosition> BuildTrainingSet(
    const std::filesystem::path& archives, const TTrainingSetOptions& options,
    const std::function<void(const std::string&)>& report);

// The cache file of an archive in a label folder.
std::filesystem::path LabelCachePath(const std::filesystem::path& folder,
                                     const std::filesystem::path& archive);

}  // namespace morvane::training
