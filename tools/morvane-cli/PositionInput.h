// The position and evaluation arguments of the searching commands, checked before any engine
// is built.
#pragma once

#include <string>

#include "Arguments.h"
#include "engine/Position.h"

namespace morvane::cli {

// A position text of the board; a usage error naming the character and its place, or saying
// that the board holds no disc.
TPosition ReadPosition(TBoardKind kind, const std::string& text);

// --eval, or the board's first evaluation; a usage error for an unknown evaluation or one that
// belongs to another board.
std::string EvaluationOption(const TArguments& arguments, TBoardKind kind);

}  // namespace morvane::cli
