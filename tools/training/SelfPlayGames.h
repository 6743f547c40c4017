// Self-play games on the 10-wide boards: playing them (random opening, then both sides searching
// at a fixed level) and keeping them compactly. A game file is the 8 bytes "MVSPGAM1", one byte
// for the board kind (10 or 88), then one record per game:
//   uint8 move count n | uint8 random opening moves | int8 black's final margin |
//   uint8 empties at the hand-over to the exact search (0: none) | int8 black's exact value there |
//   n x uint8 squares played (passes are implied) | uint8 check (sum of the record's bytes)
// Records are appended whole and flushed game by game; a record cut short by a stopped run is
// dropped when the file is opened again for appending.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engines/OthelloPatternEngine.h"
#include "engine/Position.h"

namespace morvane::training {

inline constexpr int NoHandover = 0;

struct TSelfPlayGame {
  uint8_t OpeningLength = 0;  // the first moves were random; their positions are not trained on
  std::vector<uint8_t> Moves;
  int8_t BlackDiff = 0;  // empties to the winner
  uint8_t HandoverEmpties = NoHandover;
  int8_t HandoverBlackScore = 0;
};

std::vector<uint8_t> EncodeGame(const TSelfPlayGame& game);

struct TGameFileContents {
  TBoardKind Kind = TBoardKind::Board10x10;
  std::vector<TSelfPlayGame> Games;
  uint64_t CompleteBytes = 0;  // the header and the whole records
  bool Truncated = false;      // a partial or damaged last record follows them
};

// Reads a game file; throws std::runtime_error when it is not one. A damaged record ends the
// reading there (everything after it is treated as the cut-off tail).
TGameFileContents ReadGameFile(const std::filesystem::path& path);

// The board of a game file, from its header alone; throws as ReadGameFile.
TBoardKind GameFileKind(const std::filesystem::path& path);

// Appends games to a file, creating it with its header, and first cutting off a partial last
// record. Throws when the file holds games of another board kind.
class TGameFileWriter {
 public:
  TGameFileWriter(const std::filesystem::path& path, TBoardKind kind);
  ~TGameFileWriter();
  TGameFileWriter(const TGameFileWriter&) = delete;
  TGameFileWriter& operator=(const TGameFileWriter&) = delete;

  size_t GameCount() const { return Count; }
  void Append(const TSelfPlayGame& game);

 private:
  std::FILE* File = nullptr;
  size_t Count = 0;
};

// One position of a replayed game, before a move (or at the end).
struct TReplayedPosition {
  const TPosition* Board;
  int Ply;  // moves played before it
};

// Replays a game, calling `visit` with every position in which the side to move has a move, and
// checks every move's legality and the recorded result. Returns the fault in plain words.
std::optional<std::string> ReplayGame(TBoardKind kind, const TSelfPlayGame& game,
                                      const std::function<void(const TReplayedPosition&)>& visit);

// `count` random legal moves from the start, drawn from `random`.
std::vector<int> RandomOpening(TBoardKind kind, uint32_t seed, int count);

// Plays the opening, then lets `black` and `white` search at their levels to the end. The first
// search that solves exactly (at most ExactEmpties empties) gives the hand-over value. Throws
// std::runtime_error when an engine answers with an illegal move.
TSelfPlayGame PlaySelfPlayGame(TBoardKind kind, TOthelloPatternEngine& black,
                           const TFixedSearchInfo& blackLevel, TOthelloPatternEngine& white,
                           const TFixedSearchInfo& whiteLevel, const std::vector<int>& opening);

// The opening of self-play game `index` of a run: a length drawn from [minRandom, maxRandom] and
// its moves, both from the seed and the index, so that a rerun replays the same games.
std::vector<int> SelfPlayOpening(TBoardKind kind, uint32_t seed, uint64_t index, int minRandom,
                                 int maxRandom);

}  // namespace morvane::training
