#include "game/GgfFile.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "game/Text.h"

namespace morvane {

namespace {

const char* BoardName(TBoardKind kind) {
  switch (kind) {
    case TBoardKind::Board8x8:
      return "8 x 8";
    case TBoardKind::Board10x10:
      return "10 x 10";
    case TBoardKind::Octagon:
      break;
  }
  return "octagon";
}

// A property as it stands in the text: the key in capitals, the value with its escapes undone.
struct TProperty {
  std::string Key;
  std::string Value;
  int Line = 0;
};

struct TRecord {
  std::vector<TProperty> Properties;
  int Line = 0;  // where "(;" stands
};

class TScanner {
 public:
  explicit TScanner(std::string_view text) : Text(text) {}

  // Every record of the text; false with the problem set for a damaged one.
  bool Records(std::vector<TRecord>& records, std::string& problem) {
    for (;;) {
      const size_t start = Text.find("(;", Place);
      if (start == std::string_view::npos) break;
      Advance(start);
      TRecord record;
      record.Line = Line;
      Advance(Place + 2);
      if (!Record(record, problem)) return false;
      records.push_back(std::move(record));
    }
    if (records.empty()) {
      problem = "line 1: no game record \"(;\" in the text";
      return false;
    }
    return true;
  }

 private:
  // Moves to `place`, counting the lines passed.
  void Advance(size_t place) {
    for (; Place < place && Place < Text.size(); ++Place)
      if (Text[Place] == '\n') ++Line;
  }

  std::string Where() const { return "line " + std::to_string(Line) + ": "; }

  bool Record(TRecord& record, std::string& problem) {
    for (;;) {
      while (Place < Text.size() &&
             (std::isspace(static_cast<unsigned char>(Text[Place])) || Text[Place] == ';'))
        Advance(Place + 1);
      if (Place == Text.size()) {
        problem = "line " + std::to_string(record.Line) +
                  ": the game record that starts here has no end \";)\"";
        return false;
      }
      const char c = Text[Place];
      if (c == ')') {
        Advance(Place + 1);
        return true;
      }
      if (!std::isalpha(static_cast<unsigned char>(c))) {
        problem = Where() + "'" + std::string(1, c) + "' where a property KEY[value] belongs";
        return false;
      }
      TProperty property;
      property.Line = Line;
      while (Place < Text.size() && std::isalpha(static_cast<unsigned char>(Text[Place]))) {
        property.Key += static_cast<char>(std::toupper(static_cast<unsigned char>(Text[Place])));
        Advance(Place + 1);
      }
      while (Place < Text.size() && std::isspace(static_cast<unsigned char>(Text[Place])))
        Advance(Place + 1);
      if (Place == Text.size() || Text[Place] != '[') {
        problem = Where() + "property " + property.Key + " has no value [...]";
        return false;
      }
      Advance(Place + 1);
      bool closed = false;
      while (Place < Text.size()) {
        const char v = Text[Place];
        Advance(Place + 1);
        if (v == ']') {
          closed = true;
          break;
        }
        if (v == '\\' && Place < Text.size()) {
          property.Value += Text[Place];
          Advance(Place + 1);
          continue;
        }
        property.Value += v;
      }
      if (!closed) {
        problem = "line " + std::to_string(property.Line) + ": the value of " + property.Key +
                  " has no closing ']'";
        return false;
      }
      record.Properties.push_back(std::move(property));
    }
  }

  std::string_view Text;
  size_t Place = 0;
  int Line = 1;
};

std::optional<TBoardKind> KindOfType(std::string_view type) {
  const std::string lower = Lower(Trim(type));
  if (lower == "8") return TBoardKind::Board8x8;
  if (lower == "10") return TBoardKind::Board10x10;
  if (lower == "10o") return TBoardKind::Octagon;
  return std::nullopt;
}

// BO: the size, the squares row by row from a1 and the side to move. `kind` is the game type's
// board when TY came first; without one the size decides, a '#' making a 10 x 10 an octagon.
std::optional<TPosition> ReadBoard(const TProperty& property, std::optional<TBoardKind> kind,
                                   std::string& problem) {
  const std::string where = "line " + std::to_string(property.Line) + ": BO: ";
  std::string_view text = Trim(property.Value);
  size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  const int size = digits > 0 && digits < 4 ? std::stoi(std::string(text.substr(0, digits))) : 0;
  if (size != 8 && size != 10) {
    problem =
        where + "the board size \"" + std::string(text.substr(0, digits)) + "\" is not 8 or 10";
    return std::nullopt;
  }
  std::string squares;
  for (const char c : text.substr(digits))
    if (!std::isspace(static_cast<unsigned char>(c))) squares += c;
  if (!kind) {
    kind = size == 8                                ? TBoardKind::Board8x8
           : squares.find('#') != std::string::npos ? TBoardKind::Octagon
                                                    : TBoardKind::Board10x10;
  }
  TPosition position(*kind);
  if (position.Size() != size) {
    problem = where + "a board of size " + std::to_string(size) + " in a game of the " +
              BoardName(*kind) + " board";
    return std::nullopt;
  }
  const size_t cells = static_cast<size_t>(size * size);
  if (squares.size() != cells + 1) {
    problem = where + std::to_string(squares.size()) +
              " characters for the squares and the side to move, not " + std::to_string(cells + 1);
    return std::nullopt;
  }
  for (size_t index = 0; index < cells; ++index) {
    const char c = squares[index];
    const int square =
        position.SquareOf(static_cast<int>(index) % size + 1, static_cast<int>(index) / size + 1);
    const bool cut = !position.IsPlayable(square);
    const std::string name = position.MoveText(square);
    if (c == '#' && !cut) {
      problem = where + "'#' on " + name + ", which is no cut corner";
      return std::nullopt;
    }
    int8_t cell;
    if (c == '-' || c == '.' || c == '#')
      cell = EmptyCell;
    else if (c == '*' || c == 'x' || c == 'X')
      cell = BlackCell;
    else if (c == 'O' || c == 'o')
      cell = WhiteCell;
    else {
      problem = where + "'" + std::string(1, c) + "' on " + name + " is no square (-, * or O)";
      return std::nullopt;
    }
    if (cut) {
      if (cell != EmptyCell) {
        problem = where + name + " is a cut corner of the octagon and holds no disc";
        return std::nullopt;
      }
      continue;
    }
    position.SetCell(square, cell);
  }
  const char side = squares.back();
  if (side == '*' || side == 'x' || side == 'X') {
    position.SetSide(TColour::Black);
  } else if (side == 'O' || side == 'o') {
    position.SetSide(TColour::White);
  } else {
    problem = where + "'" + std::string(1, side) + "' is no side to move (* or O)";
    return std::nullopt;
  }
  return position;
}

// The eval of a move value "F5/1.20/3.5"; anything that is not a number is no eval.
std::optional<double> ReadEval(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<TGameFile> Interpret(const TRecord& record, std::string& problem) {
  TGameFile file;
  std::optional<TBoardKind> kind;
  const TProperty* board = nullptr;
  for (const TProperty& property : record.Properties) {
    const std::string where = "line " + std::to_string(property.Line) + ": ";
    if (property.Key == "GM" && Lower(Trim(property.Value)) != "othello") {
      problem = where + "game GM[" + property.Value + "] is not Othello";
      return std::nullopt;
    }
    if (property.Key == "TY") {
      kind = KindOfType(property.Value);
      if (!kind) {
        problem = where + "game type TY[" + property.Value + "] is not one Morvane plays";
        return std::nullopt;
      }
    }
    if (property.Key == "BO") board = &property;
    if (property.Key == "PB") file.Black = property.Value;
    if (property.Key == "PW") file.White = property.Value;
    if (property.Key == "DT") file.Date = property.Value;
    if (property.Key == "PC") file.Place = property.Value;
    if (property.Key == "RE") file.Result = property.Value;
  }
  if (board) {
    const auto start = ReadBoard(*board, kind, problem);
    if (!start) return std::nullopt;
    file.Game = TGame(*start);
  } else {
    file.Game = TGame(TPosition(kind.value_or(TBoardKind::Board8x8)));
  }

  TGame& game = file.Game;
  for (const TProperty& property : record.Properties) {
    if (property.Key != "B" && property.Key != "W") continue;
    const TColour mover = property.Key == "B" ? TColour::Black : TColour::White;
    const std::string_view value = property.Value;
    const size_t slash = value.find('/');
    const std::string_view moveText = Trim(value.substr(0, slash));
    const std::string where = "line " + std::to_string(property.Line) + ": move " +
                              std::to_string(game.Plies() + 1) + " " + property.Key + "[" +
                              property.Value + "]";
    const auto square = game.Current().ParseMove(moveText);
    if (!square) {
      problem = where + " is no square of the " + BoardName(game.Kind()) + " board";
      return std::nullopt;
    }
    // A record may leave out the pass of the side to move before the other side's move.
    bool legal;
    if (mover == game.Current().ToMove())
      legal = game.Play(*square);
    else
      legal = *square != PassMove && game.Current().MustPass() && game.PlayInsertingPass(*square);
    if (!legal) {
      problem = where + " is not legal";
      return std::nullopt;
    }
    file.Evals.resize(static_cast<size_t>(game.Plies()));
    if (slash != std::string_view::npos) {
      const std::string_view rest = value.substr(slash + 1);
      file.Evals.back() = ReadEval(rest.substr(0, rest.find('/')));
    }
  }
  return file;
}

std::string Escaped(const std::string& value) {
  if (Trim(value).empty()) return "?";
  std::string text;
  for (const char c : value) {
    if (c == ']' || c == '\\') text += '\\';
    text += c;
  }
  return text;
}

std::string BoardText(const TPosition& position) {
  const int size = position.Size();
  std::string text = std::to_string(size) + " ";
  for (int row = 1; row <= size; ++row) {
    for (int column = 1; column <= size; ++column) {
      const int square = position.SquareOf(column, row);
      const int8_t cell = position.Cell(square);
      text += !position.IsPlayable(square) ? '#'
              : cell == BlackCell          ? '*'
              : cell == WhiteCell          ? 'O'
                                           : '-';
    }
  }
  text += position.ToMove() == TColour::Black ? " *" : " O";
  return text;
}

std::string TypeText(TBoardKind kind) {
  switch (kind) {
    case TBoardKind::Board8x8:
      return "8";
    case TBoardKind::Board10x10:
      return "10";
    case TBoardKind::Octagon:
      break;
  }
  return "10o";
}

// The records of a GGF text; with `required`, a game of another board is refused.
std::optional<std::vector<TGameFile>> ReadRecords(std::string_view text, const TBoardKind* required,
                                                  std::string* problem) {
  std::string why;
  std::vector<TRecord> records;
  std::vector<TGameFile> files;
  if (TScanner(text).Records(records, why)) {
    for (const TRecord& record : records) {
      auto file = Interpret(record, why);
      if (!file) break;
      if (required && file->Game.Kind() != *required) {
        why = "line " + std::to_string(record.Line) + ": a game of the " +
              BoardName(file->Game.Kind()) + " board, not of the " + BoardName(*required) +
              " board";
        break;
      }
      files.push_back(std::move(*file));
    }
    if (files.size() == records.size()) return files;
  }
  if (problem) *problem = why;
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<TGameFile>> ReadGgf(std::string_view text, std::string* problem) {
  return ReadRecords(text, nullptr, problem);
}

std::string WriteGgf(const TGameFile& file) {
  const TGame& game = file.Game;
  std::string text = "(;GM[Othello]PC[" + Escaped(file.Place) + "]DT[" + Escaped(file.Date) +
                     "]PB[" + Escaped(file.Black) + "]PW[" + Escaped(file.White) + "]RE[" +
                     Escaped(file.Result) + "]TY[" + TypeText(game.Kind()) + "]BO[" +
                     BoardText(game.Start()) + "]";
  TPosition position = game.Start();
  for (int ply = 0; ply < game.Plies(); ++ply) {
    const int square = game.Moves()[static_cast<size_t>(ply)];
    text += position.ToMove() == TColour::Black ? "B[" : "W[";
    std::string move = position.MoveText(square);
    for (char& c : move) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    text += move;
    const size_t index = static_cast<size_t>(ply);
    if (index < file.Evals.size() && file.Evals[index]) {
      char eval[32];
      std::snprintf(eval, sizeof(eval), "/%.2f", *file.Evals[index]);
      // Never a negative zero.
      text += std::string(eval) == "/-0.00" ? "/0.00" : eval;
    }
    text += "]";
    position.Play(square);
  }
  return text + ";)\n";
}

std::optional<std::vector<TGameFile>> ReadGameText(std::string_view text, TBoardKind kind,
                                                   std::string* problem) {
  const auto fail = [&](const std::string& why) {
    if (problem) *problem = why;
    return std::nullopt;
  };
  if (text.find("(;") != std::string_view::npos) return ReadRecords(text, &kind, problem);
  std::vector<TGameFile> files;
  int line = 0;
  size_t place = 0;
  while (place <= text.size()) {
    size_t end = text.find('\n', place);
    if (end == std::string_view::npos) end = text.size();
    ++line;
    const std::string_view transcript = Trim(text.substr(place, end - place));
    place = end + 1;
    if (transcript.empty()) continue;
    std::string why;
    auto game = TGame::FromTranscript(TPosition(kind), transcript, &why);
    if (!game) return fail("line " + std::to_string(line) + ": " + why);
    TGameFile file;
    file.Evals.resize(static_cast<size_t>(game->Plies()));
    file.Game = std::move(*game);
    files.push_back(std::move(file));
  }
  if (files.empty()) return fail("line 1: no game in the text");
  return files;
}

}  // namespace morvane
