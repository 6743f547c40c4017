#include "support/ReferenceBoard.h"

#include <algorithm>

namespace morvane::reference {

namespace {
constexpr int Steps[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};
}  // namespace

TReferenceBoard::TReferenceBoard(int side, const std::vector<TSquare>& blocked) : Side(side) {
  for (auto& row : Cells) row.fill(Blocked);
  for (int row = 1; row <= side; ++row)
    for (int column = 1; column <= side; ++column) Set(column, row, Empty);
  for (const TSquare& square : blocked) Set(square.Column, square.Row, Blocked);
}

TReferenceBoard TReferenceBoard::Octagon() {
  std::vector<TSquare> cut;
  for (const int column : {1, 10})
    for (const int row : {1, 10}) {
      const int inward = column == 1 ? 1 : -1, down = row == 1 ? 1 : -1;
      cut.push_back({column, row});
      cut.push_back({column + inward, row});
      cut.push_back({column, row + down});
    }
  return TReferenceBoard(10, cut);
}

void TReferenceBoard::SetupStart() {
  for (int row = 1; row <= Side; ++row)
    for (int column = 1; column <= Side; ++column)
      if (At(column, row) != Blocked) Set(column, row, Empty);
  const int h = Side / 2;
  Set(h, h, White);
  Set(h + 1, h + 1, White);
  Set(h + 1, h, Black);
  Set(h, h + 1, Black);
  ToMove = Black;
}

int TReferenceBoard::FlipsFor(TSquare square, int colour) const {
  if (At(square.Column, square.Row) != Empty) return 0;
  int total = 0;
  for (const auto& step : Steps) {
    int column = square.Column + step[0], row = square.Row + step[1], run = 0;
    while (Inside(column, row) && At(column, row) == -colour) {
      column += step[0];
      row += step[1];
      ++run;
    }
    if (run > 0 && Inside(column, row) && At(column, row) == colour) total += run;
  }
  return total;
}

std::vector<TSquare> TReferenceBoard::Moves() const {
  std::vector<TSquare> moves;
  for (int row = 1; row <= Side; ++row)
    for (int column = 1; column <= Side; ++column)
      if (FlipsFor({column, row}, ToMove) > 0) moves.push_back({column, row});
  return moves;
}

bool TReferenceBoard::OpponentHasMove() const {
  for (int row = 1; row <= Side; ++row)
    for (int column = 1; column <= Side; ++column)
      if (FlipsFor({column, row}, -ToMove) > 0) return true;
  return false;
}

void TReferenceBoard::Play(TSquare square) {
  for (const auto& step : Steps) {
    int column = square.Column + step[0], row = square.Row + step[1], run = 0;
    while (Inside(column, row) && At(column, row) == -ToMove) {
      column += step[0];
      row += step[1];
      ++run;
    }
    if (run == 0 || !Inside(column, row) || At(column, row) != ToMove) continue;
    for (int k = 1; k <= run; ++k)
      Set(square.Column + k * step[0], square.Row + k * step[1], ToMove);
  }
  Set(square.Column, square.Row, ToMove);
  ToMove = -ToMove;
}

int TReferenceBoard::Count(int cell) const {
  int count = 0;
  for (int row = 1; row <= Side; ++row)
    for (int column = 1; column <= Side; ++column)
      if (At(column, row) == cell) ++count;
  return count;
}

int TReferenceBoard::FinalMargin() const {
  const int own = Count(ToMove), opponent = Count(-ToMove), empty = Count(Empty);
  if (own > opponent) return own - opponent + empty;
  if (own < opponent) return own - opponent - empty;
  return 0;
}

int TReferenceBoard::Solve(int alpha, int beta) const {
  const std::vector<TSquare> moves = Moves();
  if (moves.empty()) {
    if (!OpponentHasMove()) return FinalMargin();
    ++PassesSeen;
    TReferenceBoard passed = *this;
    passed.Pass();
    const int value = -passed.Solve(-beta, -alpha);
    PassesSeen = passed.PassesSeen;
    return value;
  }
  int best = -1000;
  for (const TSquare& move : moves) {
    TReferenceBoard child = *this;
    child.Play(move);
    const int value = -child.Solve(-beta, -alpha);
    PassesSeen = child.PassesSeen;
    best = std::max(best, value);
    alpha = std::max(alpha, value);
    if (alpha >= beta) break;
  }
  return best;
}

int64_t TReferenceBoard::Minimax(
    int depth, const std::function<int64_t(const TReferenceBoard&)>& evaluate) const {
  if (depth == 0) return evaluate(*this);
  const std::vector<TSquare> moves = Moves();
  if (moves.empty()) {
    if (!OpponentHasMove()) return FinalMargin() * int64_t{1'000'000};
    ++PassesSeen;
    TReferenceBoard passed = *this;
    passed.Pass();
    const int64_t value = -passed.Minimax(depth, evaluate);
    PassesSeen = passed.PassesSeen;
    return value;
  }
  int64_t best = INT64_MIN;
  for (const TSquare& move : moves) {
    TReferenceBoard child = *this;
    child.Play(move);
    best = std::max(best, -child.Minimax(depth - 1, evaluate));
    PassesSeen = child.PassesSeen;
  }
  return best;
}

std::string TReferenceBoard::ToText() const {
  std::string text(1, ToMove == Black ? 'X' : 'O');
  for (int row = 1; row <= Side; ++row)
    for (int column = 1; column <= Side; ++column) {
      const int cell = At(column, row);
      text += cell == Empty ? '-' : cell == Black ? 'X' : cell == White ? 'O' : '#';
    }
  return text;
}

std::optional<TReferenceBoard> TReferenceBoard::FromText(const std::string& text) const {
  if (text.size() != static_cast<size_t>(Side * Side + 1)) return std::nullopt;
  TReferenceBoard board = *this;
  if (text[0] == 'X' || text[0] == 'b')
    board.ToMove = Black;
  else if (text[0] == 'O' || text[0] == 'w')
    board.ToMove = White;
  else
    return std::nullopt;
  size_t next = 1;
  for (int row = 1; row <= Side; ++row)
    for (int column = 1; column <= Side; ++column) {
      const char c = text[next++];
      if (At(column, row) == Blocked) continue;
      int cell;
      switch (c) {
        case '-':
        case '.':
          cell = Empty;
          break;
        case 'X':
        case 'b':
          cell = Black;
          break;
        case 'O':
        case 'w':
          cell = White;
          break;
        case '#':
          cell = Blocked;
          break;
        default:
          return std::nullopt;
      }
      board.Set(column, row, cell);
    }
  return board;
}

TReferenceBoard RandomPosition(const TReferenceBoard& geometry, int empties, std::mt19937& rng) {
  for (;;) {
    TReferenceBoard board = geometry;
    board.SetupStart();
    while (board.Count(Empty) > empties && !board.GameOver()) {
      const std::vector<TSquare> moves = board.Moves();
      if (moves.empty()) {
        board.Pass();
        continue;
      }
      board.Play(moves[std::uniform_int_distribution<size_t>(0, moves.size() - 1)(rng)]);
    }
    if (board.Count(Empty) == empties && !board.GameOver()) return board;
  }
}

std::vector<TReferenceBoard> RandomPassPositions(const TReferenceBoard& geometry, int maxEmpties,
                                                 int wanted, std::mt19937& rng) {
  std::vector<TReferenceBoard> found;
  while (static_cast<int>(found.size()) < wanted) {
    TReferenceBoard board = geometry;
    board.SetupStart();
    while (!board.GameOver()) {
      const std::vector<TSquare> moves = board.Moves();
      if (moves.empty()) {
        if (board.Count(Empty) <= maxEmpties) found.push_back(board);
        board.Pass();
        continue;
      }
      board.Play(moves[std::uniform_int_distribution<size_t>(0, moves.size() - 1)(rng)]);
    }
  }
  found.erase(found.begin() + wanted, found.end());
  return found;
}

}  // namespace morvane::reference
