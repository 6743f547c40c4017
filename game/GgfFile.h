// Game files: the GGF records of Othello servers and GUIs, and plain transcripts. Morvane writes
// 8 x 8 games as TY[8] and 10 x 10 games as TY[10]; the octagon has no public game type, so it
// is written as TY[10o] (size 10, variant letter o) with its cut corners as '#' in BO.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BoardKind.h"
#include "game/Game.h"

namespace morvane {

// One game record.
struct TGameFile {
  // The start position from BO (the standard start when BO is absent), the moves from B and W;
  // passes a record left out are put in.
  TGame Game;
  // PB PW DT PC RE; "?" when unknown.
  std::string Black = "?", White = "?", Date = "?", Place = "?", Result = "?";
  // One entry per ply of Game: the /eval of the move in discs, from the mover's view.
  std::vector<std::optional<double>> Evals;
};

// Every game record of a text. Nothing for a damaged or foreign text; then `problem` says
// "line L: what is wrong". Unknown properties are skipped.
std::optional<std::vector<TGameFile>> ReadGgf(std::string_view text, std::string* problem);

// One record on one line: GM PC DT PB PW RE TY BO and the moves, each with its /eval when
// known.
std::string WriteGgf(const TGameFile& file);

// The text of a game file: GGF when it holds "(;", else plain transcripts ("f5d6c3...", one game
// per line, from the standard start of `kind`). Games of another board are refused.
std::optional<std::vector<TGameFile>> ReadGameText(std::string_view text, TBoardKind kind,
                                                   std::string* problem);

}  // namespace morvane
