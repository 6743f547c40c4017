// The game archives the evaluations are trained on: one game per line (gzip or plain text),
// "moves diff ..." with the moves as square names joined without separator. Every line is
// replayed with the 8 x 8 bitboard rules; a line that does not parse or replay is reported with
// its file and line number and skipped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::training {

// One position of a replayed game, from the side to move's point of view.
struct TGamePosition {
  uint64_t Own = 0;  // discs of the side to move (bit 8 * row + column, both from 0)
  uint64_t Opp = 0;
  int8_t Side = 1;  // colour to move: 1 black, -1 white
  uint8_t Empties = 60;
};

struct TArchiveGame {
  // Positions before each listed move, in order; the final position is `Final`.
  std::vector<TGamePosition> Positions;
  std::vector<uint8_t> Moves;  // bit numbers of the squares played
  TGamePosition Final;
  int BlackDiff = 0;                   // the archive's final difference for black
  std::optional<int> TheoreticalDiff;  // black's exact difference at TheoreticalEmpties
  int TheoreticalEmpties = 0;
  bool Finished = false;  // neither side can move on the final board
  uint32_t Hash = 0;      // of the move text; fixes the held-out split and keys the label cache
};

// FNV-1a of a text: stable across machines and runs.
uint32_t TextHash(std::string_view text);

// Black's final margin of a finished or abandoned board, empties given to the winner.
int FinalBlackDiff(const TGamePosition& position);

// The moves of a game (bit numbers) as the archives write them: square names joined ("f5d6c3").
std::string MovesText(const std::vector<int>& moves);

// Parses and replays one line. Returns the reason in plain words when the line is malformed
// (the game is then left in an unspecified state).
std::optional<std::string> ParseGameLine(std::string_view line, TArchiveGame& game);

struct TArchiveStats {
  int64_t Lines = 0;
  int64_t Games = 0;
  int64_t Rejected = 0;
};

// Reads every game of a file (gzip or plain) in order and hands it to `sink` with its game number
// (0-based, counting accepted games). Comment lines ("#") and blank lines are skipped; a
// malformed line goes to `report` as "file:line: reason". Throws std::runtime_error when the file
// cannot be opened. `sink` may return false to stop reading.
TArchiveStats ReadArchive(const std::filesystem::path& path,
                          const std::function<bool(int64_t, const TArchiveGame&)>& sink,
                          const std::function<void(const std::string&)>& report);

// The archive files of a folder in a fixed order (name order); "*.txt.gz" and "*.txt".
// Throws std::runtime_error in plain words when the folder cannot be read.
std::vector<std::filesystem::path> ArchiveFiles(const std::filesystem::path& folder);

// Bitboard rules on the 0..63 numbering.
uint64_t LegalMoves(uint64_t own, uint64_t opp);
// Plays `bit` for the side owning `own`; returns the flipped discs (0: illegal, nothing changed).
uint64_t PlayMove(int bit, uint64_t& own, uint64_t& opp);

}  // namespace morvane::training
