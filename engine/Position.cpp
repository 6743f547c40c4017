#include "engine/Position.h"

#include <cctype>
#include <cstring>

#include "engine/Rays.h"

namespace morvane {

namespace {

void SetProblem(std::string* problem, std::string text) {
  if (problem) *problem = std::move(text);
}

// The text character of a cell, and back.
std::optional<int8_t> CellOfCharacter(char c) {
  switch (c) {
    case 'X':
    case 'x':
    case 'b':
    case '*':
      return BlackCell;
    case 'O':
    case 'o':
    case 'w':
      return WhiteCell;
    case '-':
    case '.':
      return EmptyCell;
    default:
      return std::nullopt;
  }
}

}  // namespace

TPosition::TPosition(TBoardKind kind) : BoardKind(kind) {
  std::memset(Cells, OutsideCell, sizeof(Cells));
  const int size = Size();
  for (int row = 1; row <= size; ++row)
    for (int column = 1; column <= size; ++column) Cells[SquareOf(column, row)] = EmptyCell;
  if (kind == TBoardKind::Octagon) BlockOctagonCorners(Cells);
  const int h = size / 2;
  Cells[SquareOf(h, h)] = Cells[SquareOf(h + 1, h + 1)] = WhiteCell;
  Cells[SquareOf(h + 1, h)] = Cells[SquareOf(h, h + 1)] = BlackCell;
}

std::optional<TPosition> TPosition::FromImage(TBoardKind kind, const PositionImage& image,
                                              std::string* problem) {
  TPosition position(kind);
  if (image.SideToMove != BlackCell && image.SideToMove != WhiteCell) {
    SetProblem(problem, "the side to move is neither black nor white");
    return std::nullopt;
  }
  position.Side = image.SideToMove;
  const int size = position.Size();
  for (int row = 1; row <= size; ++row) {
    for (int column = 1; column <= size; ++column) {
      const int square = position.SquareOf(column, row);
      if (!position.IsPlayable(square)) continue;
      const int8_t cell = image.Board[square];
      if (cell != EmptyCell && cell != BlackCell && cell != WhiteCell) {
        SetProblem(problem, "square " + position.MoveText(square) + " holds no disc value");
        return std::nullopt;
      }
      position.Cells[square] = cell;
    }
  }
  return position;
}

std::optional<TPosition> TPosition::Parse(TBoardKind kind, std::string_view text,
                                          std::string* problem) {
  TPosition position(kind);
  const int size = position.Size();
  const int cells = size * size;
  int read = -1;  // -1: the side to move comes next
  for (size_t place = 0; place < text.size(); ++place) {
    const char c = text[place];
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    const std::string where =
        "character " + std::to_string(place + 1) + " '" + std::string(1, c) + "'";
    if (read == -1) {
      const auto side = CellOfCharacter(c);
      if (!side || *side == EmptyCell) {
        SetProblem(problem, where + " is no side to move (X, b, O or w)");
        return std::nullopt;
      }
      position.Side = *side;
      read = 0;
      continue;
    }
    if (read == cells) {
      SetProblem(problem, "more than " + std::to_string(cells) + " squares for a " +
                              std::to_string(size) + " x " + std::to_string(size) + " board");
      return std::nullopt;
    }
    const int square = position.SquareOf(read % size + 1, read / size + 1);
    const auto cell = c == '#' ? std::optional<int8_t>(OutsideCell) : CellOfCharacter(c);
    if (!cell) {
      SetProblem(problem, where + " is no square (X, b, O, w, - or .)");
      return std::nullopt;
    }
    if (position.IsPlayable(square)) {
      if (*cell == OutsideCell) {
        SetProblem(problem, where + ": " + position.MoveText(square) + " is no cut corner");
        return std::nullopt;
      }
      position.Cells[square] = *cell;
    } else if (*cell != EmptyCell && *cell != OutsideCell) {
      SetProblem(problem, where + ": " + position.MoveText(square) +
                              " is a cut corner of the octagon and holds no disc");
      return std::nullopt;
    }
    ++read;
  }
  if (read < cells) {
    SetProblem(problem, read < 0 ? std::string("the position is empty")
                                 : std::to_string(read) + " squares where a " +
                                       std::to_string(size) + " x " + std::to_string(size) +
                                       " board has " + std::to_string(cells));
    return std::nullopt;
  }
  return position;
}

PositionImage TPosition::Image() const {
  PositionImage image;
  image.SideToMove = Side;
  std::memcpy(image.Board, Cells, sizeof(Cells));
  return image;
}

bool TPosition::IsPlayable(int square) const {
  if (square <= 0 || square >= MaxCells) return false;
  const int row = RowOf(square), column = ColumnOf(square);
  if (row < 1 || row > Size() || column < 1 || column > Size()) return false;
  return Cells[square] != OutsideCell;
}

int TPosition::PlayableSquares() const {
  return Size() * Size() - (BoardKind == TBoardKind::Octagon ? 12 : 0);
}

int TPosition::Discs(TColour colour) const {
  const int8_t cell = CellOf(colour);
  int count = 0;
  for (const int8_t c : Cells) count += c == cell;
  return count;
}

int TPosition::Empties() const {
  int count = 0;
  const int last = Stride() * Stride();
  for (int square = 0; square < last; ++square) count += Cells[square] == EmptyCell;
  return count;
}

int TPosition::FlipsOf(int square, int32_t* flips) const {
  if (!IsPlayable(square) || Cells[square] != EmptyCell) return 0;
  return rays::RecordFlips(Stride(), Cells, square, Side, static_cast<int8_t>(-Side), flips);
}

int TPosition::LegalMoves(int* squares) const {
  int count = 0;
  const int last = Stride() * Stride();
  rays::WithWidth(Stride(), [&]<int W>() {
    for (int square = W + 1; square < last - W; ++square)
      if (Cells[square] == EmptyCell &&
          rays::FlipsAny<W>(Cells, square, Side, static_cast<int8_t>(-Side)))
        squares[count++] = square;
  });
  return count;
}

bool TPosition::HasMove() const {
  const int last = Stride() * Stride();
  return rays::WithWidth(Stride(), [&]<int W>() {
    for (int square = W + 1; square < last - W; ++square)
      if (Cells[square] == EmptyCell &&
          rays::FlipsAny<W>(Cells, square, Side, static_cast<int8_t>(-Side)))
        return true;
    return false;
  });
}

bool TPosition::IsLegal(int square) const {
  if (square == PassMove) return MustPass();
  return IsPlayable(square) && Cells[square] == EmptyCell &&
         rays::FlipsAny(Stride(), Cells, square, Side, static_cast<int8_t>(-Side));
}

bool TPosition::MustPass() const {
  if (HasMove()) return false;
  TPosition other = *this;
  other.SwapSide();
  return other.HasMove();
}

bool TPosition::IsFinished() const {
  if (HasMove()) return false;
  TPosition other = *this;
  other.SwapSide();
  return !other.HasMove();
}

bool TPosition::Play(int square) {
  if (square == PassMove) {
    if (!MustPass()) return false;
    SwapSide();
    return true;
  }
  int32_t flips[MaxFlips];
  const int count = FlipsOf(square, flips);
  if (count == 0) return false;
  Cells[square] = Side;
  for (int i = 0; i < count; ++i) Cells[flips[i]] = Side;
  SwapSide();
  return true;
}

void TPosition::SetCell(int square, int8_t cell) {
  if (IsPlayable(square) && (cell == EmptyCell || cell == BlackCell || cell == WhiteCell))
    Cells[square] = cell;
}

std::string TPosition::WhyNotPlayable() const {
  if (Discs(TColour::Black) + Discs(TColour::White) == 0) return "The board has no disc.";
  if (Empties() == 0) return "The board is full.";
  if (IsFinished()) return "Neither side has a move in this position.";
  return {};
}

int TPosition::FinalScore() const {
  const int black = Discs(TColour::Black), white = Discs(TColour::White);
  if (black > white) return PlayableSquares() - 2 * white;
  if (black < white) return 2 * black - PlayableSquares();
  return 0;
}

std::string TPosition::Text() const {
  std::string text(1, Side == BlackCell ? 'X' : 'O');
  const int size = Size();
  for (int row = 1; row <= size; ++row) {
    for (int column = 1; column <= size; ++column) {
      const int8_t cell = At(column, row);
      text += cell == BlackCell ? 'X' : cell == WhiteCell ? 'O' : '-';
    }
  }
  return text;
}

std::string TPosition::MoveText(int square) const {
  if (square == PassMove) return "pa";
  return static_cast<char>('a' + ColumnOf(square) - 1) + std::to_string(RowOf(square));
}

std::optional<int> TPosition::ParseMove(std::string_view text) const {
  std::string lower;
  for (const char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "pa" || lower == "pass") return PassMove;
  if (lower.size() < 2 || lower.size() > 3 || lower[0] < 'a' || lower[0] >= 'a' + Size())
    return std::nullopt;
  int row = 0;
  for (size_t i = 1; i < lower.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(lower[i]))) return std::nullopt;
    row = row * 10 + (lower[i] - '0');
  }
  if (lower[1] == '0' || row < 1 || row > Size()) return std::nullopt;
  const int square = SquareOf(lower[0] - 'a' + 1, row);
  if (!IsPlayable(square)) return std::nullopt;
  return square;
}

bool TPosition::operator==(const TPosition& other) const {
  const int cells = Stride() * Stride();
  return BoardKind == other.BoardKind && Side == other.Side &&
         std::memcmp(Cells, other.Cells, cells) == 0;
}

}  // namespace morvane
