// A game as a value: a start position and the plies played from it, passes included. It is what
// the window's move list, the game files, the book's learning, the self-play loop and the engine
// protocol hold; it needs no engine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Position.h"

namespace morvane {

class TGame {
 public:
  explicit TGame(TBoardKind kind = TBoardKind::Board8x8) : StartPosition(kind), Last(kind) {}
  explicit TGame(const TPosition& start) : StartPosition(start), Last(start) {}

  TBoardKind Kind() const { return StartPosition.Kind(); }
  const TPosition& Start() const { return StartPosition; }
  // The game starts from the standard start position of its board (the book learns only those).
  bool StartsFromStandard() const { return StartPosition == TPosition(Kind()); }
  int Plies() const { return static_cast<int>(Squares.size()); }
  // The squares played, in order; PassMove for a pass.
  const std::vector<int>& Moves() const { return Squares; }
  // The position after all plies.
  const TPosition& Current() const { return Last; }
  // The position after the first `ply` plies (0: the start), replayed from the start.
  TPosition PositionAt(int ply) const;
  bool IsFinished() const { return Last.IsFinished(); }

  // Appends a legal move or a forced pass; false, and nothing changed, for anything else.
  bool Play(int square);
  // Play, with the pass put in first when the side to move has none but the move is the
  // opponent's (transcripts leave passes out).
  bool PlayInsertingPass(int square);
  // Keeps the first `plies` plies.
  void Truncate(int plies);

  // The moves run together ("f5d6c3"), passes left out.
  std::string Transcript() const;
  // Reads a transcript from `start`: squares run together or apart ("f5 d6", "F5-D6"), passes
  // optional ("pa"); nothing for an illegal or unreadable move, with `problem` naming it.
  static std::optional<TGame> FromTranscript(const TPosition& start, std::string_view text,
                                             std::string* problem = nullptr);

 private:
  TPosition StartPosition;
  TPosition Last;
  std::vector<int> Squares;
};

}  // namespace morvane
