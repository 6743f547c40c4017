#include "engine/Catalogue.h"

#include <cctype>

namespace morvane {

namespace {

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

const TBoardEntry* FindBoard(TMenuBoard menu) {
  for (const TBoardEntry& board : Boards)
    if (board.Menu == menu) return &board;
  return nullptr;
}

const TBoardEntry* FindBoard(std::string_view text) {
  for (const TBoardEntry& board : Boards)
    if (text == std::to_string(static_cast<int>(board.Menu)) || SameWord(text, board.Evaluation))
      return &board;
  if (SameWord(text, "octagon")) return FindBoard(TMenuBoard::Octagon);
  return nullptr;
}

const TEvaluationEntry* FindEvaluation(std::string_view name) {
  for (const TEvaluationEntry& evaluation : Evaluations)
    if (name == evaluation.Name) return &evaluation;
  return nullptr;
}

const TLevelEntry* FindLevel(std::string_view name) {
  for (const TLevelEntry& level : Levels)
    if (SameWord(name, level.Name()) || name == level.Caption) return &level;
  return nullptr;
}

std::string LevelNameList() {
  std::string list;
  for (const TLevelEntry& level : Levels)
    list += (list.empty() ? "" : ", ") + std::string(level.Name());
  return list;
}

std::string EvaluationNameList() {
  std::string list;
  for (const TEvaluationEntry& evaluation : Evaluations)
    list += (list.empty() ? "" : ", ") + std::string(evaluation.Name);
  return list;
}

TFixedSearchInfo LevelInfo(const TLevelEntry& level) {
  TFixedSearchInfo info;
  info.Depth = level.Depth;
  info.ExactEmpties = level.ExactEmpties;
  info.SelSolveCount = 0;
  return info;
}

std::string BookName(const TBoardEntry& board, const TLevelEntry& level) {
  return std::string(board.BookStem) + level.Suffix;
}

}  // namespace morvane
