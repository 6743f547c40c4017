#include "PositionInput.h"

#include "engine/Catalogue.h"

namespace morvane::cli {

namespace {

std::string BoardName(TBoardKind kind) { return std::to_string(static_cast<int>(kind)); }

}  // namespace

TPosition ReadPosition(TBoardKind kind, const std::string& text) {
  std::string problem;
  const auto position = TPosition::Parse(kind, text, &problem);
  if (!position) throw TUsageError("not a position of board " + BoardName(kind) + ": " + problem);
  if (position->Discs(TColour::Black) + position->Discs(TColour::White) == 0)
    throw TUsageError("the position has no disc");
  return *position;
}

std::string EvaluationOption(const TArguments& arguments, TBoardKind kind) {
  std::string name;
  for (const TBoardEntry& board : Boards) {
    if (board.Kind == kind) {
      name = board.Evaluation;
      break;
    }
  }
  name = arguments.OptionOr("eval", name);
  const TEvaluationEntry* evaluation = FindEvaluation(name);
  if (!evaluation)
    throw TUsageError("unknown evaluation \"" + name + "\"; known: " + EvaluationNameList());
  if (evaluation->Kind != kind)
    throw TUsageError("evaluation " + name + " belongs to board " +
                      BoardName(evaluation->Kind) + ", not to board " + BoardName(kind));
  return name;
}

}  // namespace morvane::cli
