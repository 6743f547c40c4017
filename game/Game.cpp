#include "game/Game.h"

#include <cctype>

namespace morvane {

TPosition TGame::PositionAt(int ply) const {
  TPosition position = StartPosition;
  const int last = ply < Plies() ? ply : Plies();
  for (int index = 0; index < last; ++index) position.Play(Squares[index]);
  return position;
}

bool TGame::Play(int square) {
  if (!Last.Play(square)) return false;
  Squares.push_back(square);
  return true;
}

bool TGame::PlayInsertingPass(int square) {
  if (Play(square)) return true;
  if (square == PassMove || !Last.MustPass()) return false;
  TPosition passed = Last;
  passed.Play(PassMove);
  if (!passed.IsLegal(square)) return false;
  Play(PassMove);
  return Play(square);
}

void TGame::Truncate(int plies) {
  if (plies < 0) plies = 0;
  if (plies >= Plies()) return;
  Squares.resize(static_cast<size_t>(plies));
  Last = PositionAt(plies);
}

std::string TGame::Transcript() const {
  std::string text;
  for (const int square : Squares)
    if (square != PassMove) text += StartPosition.MoveText(square);
  return text;
}

std::optional<TGame> TGame::FromTranscript(const TPosition& start, std::string_view text,
                                           std::string* problem) {
  TGame game(start);
  size_t place = 0;
  const auto fail = [&](const std::string& why) {
    if (problem) *problem = why;
    return std::nullopt;
  };
  while (place < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[place]);
    if (std::isspace(c) || c == '-' || c == ',' || c == '.') {
      ++place;
      continue;
    }
    // A move is a letter and one or two digits; "pa" or "pass" is the pass.
    const auto startsWith = [&](std::string_view word) {
      if (text.size() - place < word.size()) return false;
      for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[place + i])) != word[i]) return false;
      return true;
    };
    size_t end = place + 1;
    if (startsWith("pass")) {
      end = place + 4;
    } else if (startsWith("pa") && !(place + 2 < text.size() &&
                                     std::isdigit(static_cast<unsigned char>(text[place + 2])))) {
      end = place + 2;
    } else {
      while (end < text.size() && end - place < 3 &&
             std::isdigit(static_cast<unsigned char>(text[end])))
        ++end;
    }
    const std::string word(text.substr(place, end - place));
    const std::string where = "move " + std::to_string(game.Plies() + 1) + " \"" + word + "\"";
    const auto square = game.Current().ParseMove(word);
    if (!square) return fail(where + " is no square of the board");
    if (*square == PassMove ? !game.Play(PassMove) : !game.PlayInsertingPass(*square))
      return fail(where + " is not legal");
    place = end;
  }
  return game;
}

}  // namespace morvane
