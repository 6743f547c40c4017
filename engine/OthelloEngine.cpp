#include "engine/OthelloEngine.h"

#include <chrono>
#include <cstring>

#include "engine/SearchThreads.h"
#include "evaluation/Patterns.h"

namespace morvane {

int64_t TickCount() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TOthelloEngine::TOthelloEngine(std::string name, double hashSizeBits, int boardSide)
    : Name(std::move(name)), HashSizeBits(hashSizeBits), BoardSide(boardSide) {
  const int b = boardSide + 2;
  RowStride = b;
  FirstCell = 0;
  LastCell = b * b - 1;
  FirstInner = b + 1;
  LastInner = b * b - b - 2;
  // East, south, south-west, south-east, west, north, north-east, north-west; scans run them
  // from the last to the first.
  const int32_t directions[9] = {0, 1, b, b - 1, b + 1, -1, -b, -(boardSide + 1), -b - 1};
  std::memcpy(Directions, directions, sizeof(Directions));
  // A ray of n cells up to the edge can flip n - 1 discs. Blocked cells only shorten rays, so the
  // full grid bounds every board built on it.
  for (int row = 1; row <= boardSide; ++row) {
    for (int column = 1; column <= boardSide; ++column) {
      int flips = 0;
      for (int dr = -1; dr <= 1; ++dr) {
        for (int dc = -1; dc <= 1; ++dc) {
          if (dr == 0 && dc == 0) continue;
          int cells = 0;
          for (int r = row + dr, c = column + dc;
               r >= 1 && r <= boardSide && c >= 1 && c <= boardSide; r += dr, c += dc)
            ++cells;
          if (cells > 1) flips += cells - 1;
        }
      }
      if (flips > MaxFlipsPerMove) MaxFlipsPerMove = flips;
    }
  }
  std::memset(Board, OutsideCell, sizeof(Board));
  HashTable = std::unique_ptr<THashTable, TTableOwnership>(new THashTable(hashSizeBits));
  ResetEmptyList();
}

TOthelloEngine::~TOthelloEngine() = default;

// ---- Empty list ----

void TOthelloEngine::ResetEmptyList() {
  EmptyHead = TEmptyNode{0, nullptr, &EmptyTail};
  EmptyTail = TEmptyNode{0, &EmptyHead, nullptr};
  AppendedNodes = 0;
  for (auto& node : SquareNode) node = nullptr;
}

void TOthelloEngine::AppendEmpty(int square) {
  TEmptyNode* node = &EmptyPool[AppendedNodes++];
  node->Square = square;
  node->Prev = EmptyTail.Prev;
  node->Next = &EmptyTail;
  EmptyTail.Prev->Next = node;
  EmptyTail.Prev = node;
  SquareNode[square] = node;
}

void TOthelloEngine::BuildEmptyList() {
  ResetEmptyList();
  for (int square = FirstInner; square <= LastInner; ++square)
    if (Board[square] == EmptyCell) AppendEmpty(square);
}

// ---- Ray scans ----

int TOthelloEngine::ProbeMove(int square, MoveRecord& record) {
  const int8_t own = SideToMove, opp = OpponentColour;
  int count = 0;
  for (int d = 8; d >= 1; --d) {
    const int step = Directions[d];
    int p = square + step;
    while (Board[p] == opp) p += step;
    if (Board[p] == own)
      for (int q = square + step; q != p; q += step) record.Flips[count++] = q;
  }
  record.Square = square;
  record.FlipCount = count;
  return count;
}

int TOthelloEngine::ProbeMoveHashed(int square, MoveRecord& record) {
  const int count = ProbeMove(square, record);
  if (count == 0) return 0;
  const THashTable& keys = *HashTable;
  const int cell = SideToMove + 1;
  uint32_t lo = keys.MoveKey[0][cell][square], hi = keys.MoveKey[1][cell][square];
  for (int i = 0; i < count; ++i) {
    lo ^= keys.FlipKey[0][record.Flips[i]];
    hi ^= keys.FlipKey[1][record.Flips[i]];
  }
  record.HashDeltaLo = lo;
  record.HashDeltaHi = hi;
  return count;
}

int TOthelloEngine::FlipInPlace(int square, MoveRecord& record) {
  const int count = ProbeMove(square, record);
  if (count == 0) return 0;
  Board[square] = SideToMove;
  for (int i = 0; i < count; ++i) Board[record.Flips[i]] = SideToMove;
  return count;
}

void TOthelloEngine::UndoFlipInPlace(const MoveRecord& record) {
  Board[record.Square] = EmptyCell;
  for (int i = 0; i < record.FlipCount; ++i) Board[record.Flips[i]] = OpponentColour;
}

int TOthelloEngine::ProbeAndFlipHashed(int square, MoveRecord& record) {
  const int count = ProbeMoveHashed(square, record);
  if (count == 0) return 0;
  Board[square] = SideToMove;
  for (int i = 0; i < count; ++i) Board[record.Flips[i]] = SideToMove;
  return count;
}

int TOthelloEngine::CountFlips(int square) {
  const int8_t own = SideToMove, opp = OpponentColour;
  int count = 0;
  for (int d = 8; d >= 1; --d) {
    const int step = Directions[d];
    int p = square + step;
    while (Board[p] == opp) p += step;
    if (Board[p] == own) count += (p - square) / step - 1;
  }
  return count;
}

bool TOthelloEngine::IsLegalMove(int square) {
  const int8_t own = SideToMove, opp = OpponentColour;
  for (int d = 8; d >= 1; --d) {
    const int step = Directions[d];
    int p = square + step;
    if (Board[p] != opp) continue;
    do p += step;
    while (Board[p] == opp);
    if (Board[p] == own) return true;
  }
  return false;
}

void TOthelloEngine::GenerateMoves(MoveRecord* list) {
  MoveRecord* last = list;
  MoveRecord* free = list + 1;
  for (const TEmptyNode* node = EmptyHead.Next; node->Square; node = node->Next) {
    if (ProbeMove(node->Square, *free) > 0) {
      last->Next = free;
      last = free++;
    }
  }
  last->Next = nullptr;
}

void TOthelloEngine::GenerateMovesHashed(MoveRecord* list) {
  MoveRecord* last = list;
  MoveRecord* free = list + 1;
  for (const TEmptyNode* node = EmptyHead.Next; node->Square; node = node->Next) {
    if (ProbeMoveHashed(node->Square, *free) > 0) {
      last->Next = free;
      last = free++;
    }
  }
  last->Next = nullptr;
}

int TOthelloEngine::CornerStability(int) { return 0; }

// ---- Make and unmake ----

void TOthelloEngine::MakeMove(const MoveRecord& record) {
  const int8_t own = SideToMove;
  Board[record.Square] = own;
  for (int i = 0; i < record.FlipCount; ++i) Board[record.Flips[i]] = own;
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
  UnlinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TOthelloEngine::UnmakeMove(const MoveRecord& record) {
  Board[record.Square] = EmptyCell;
  const int8_t opp = OpponentColour;
  for (int i = 0; i < record.FlipCount; ++i) Board[record.Flips[i]] = opp;
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
  RelinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TOthelloEngine::MakeMoveParity(const MoveRecord& record) {
  MakeMove(record);
  --RegionEmpties[RegionOf[record.Square]];
}

void TOthelloEngine::UnmakeMoveParity(const MoveRecord& record) {
  UnmakeMove(record);
  ++RegionEmpties[RegionOf[record.Square]];
}

void TOthelloEngine::MakeMoveLight(const MoveRecord& record) {
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
  UnlinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TOthelloEngine::UnmakeMoveLight(const MoveRecord& record) {
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
  RelinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

// ---- Positions ----

void TOthelloEngine::SetPosition(const int8_t* board, int side) {
  std::memcpy(Board, board, MaxCells);
  SideToMove = static_cast<int8_t>(side);
  OpponentColour = static_cast<int8_t>(Opposite(side));
  NodeCount = 0;
  OwnDiscs = OppDiscs = EmptyCount = 0;
  for (int square = FirstInner; square <= LastInner; ++square) {
    const int8_t cell = Board[square];
    if (cell == SideToMove)
      ++OwnDiscs;
    else if (cell == OpponentColour)
      ++OppDiscs;
    else if (cell == EmptyCell)
      ++EmptyCount;
  }
  ComputeRegions();
  BuildEmptyList();
  RecountRegions();  // so that the parity moves start from true counts
  ComputeHash(HashLo, HashHi);
}

void TOthelloEngine::SetupStartPosition() {
  int8_t board[MaxCells];
  std::memset(board, OutsideCell, sizeof(board));
  for (int row = 1; row <= BoardSide; ++row)
    for (int column = 1; column <= BoardSide; ++column) board[SquareAt(column, row)] = EmptyCell;
  const int h = BoardSide / 2;
  board[SquareAt(h, h)] = WhiteCell;
  board[SquareAt(h + 1, h + 1)] = WhiteCell;
  board[SquareAt(h + 1, h)] = BlackCell;
  board[SquareAt(h, h + 1)] = BlackCell;
  SetPosition(board, BlackCell);
}

void TOthelloEngine::ComputeHash(uint32_t& lo, uint32_t& hi) const {
  const THashTable& keys = *HashTable;
  lo = SideToMove == WhiteCell ? keys.SideKey[0] : 0;
  hi = SideToMove == WhiteCell ? keys.SideKey[1] : 0;
  for (int square = FirstCell; square <= LastCell; ++square) {
    const int8_t cell = Board[square];
    if (cell != BlackCell && cell != WhiteCell) continue;
    lo ^= keys.PieceKey(0, cell, square);
    hi ^= keys.PieceKey(1, cell, square);
  }
}

PositionImage TOthelloEngine::CurrentPosition() const {
  PositionImage image;
  image.SideToMove = SideToMove;
  std::memcpy(image.Board, Board, MaxCells);
  return image;
}

void TOthelloEngine::ComputeRegions() {
  const int h = BoardSide / 2;
  for (int cell = 0; cell < MaxCells; ++cell) {
    const int row = cell / RowStride, column = cell % RowStride;
    const bool inside = cell <= LastCell && row >= 1 && row <= BoardSide && column >= 1 &&
                        column <= BoardSide;
    RegionOf[cell] = inside ? (column - 1) / h + ((row - 1) / h) * 2 : 4;
  }
}

void TOthelloEngine::RecountRegions() {
  for (auto& count : RegionEmpties) count = 0;
  for (const TEmptyNode* node = EmptyHead.Next; node->Square; node = node->Next)
    ++RegionEmpties[RegionOf[node->Square]];
}

int TOthelloEngine::MobilityCount() {
  int count = 0;
  for (const TEmptyNode* node = EmptyHead.Next; node->Square; node = node->Next)
    if (IsLegalMove(node->Square)) ++count;
  return count;
}

int TOthelloEngine::FinalScore() const {
  int black = 0, white = 0;
  for (int square = FirstInner; square <= LastInner; ++square) {
    if (Board[square] == BlackCell) ++black;
    if (Board[square] == WhiteCell) ++white;
  }
  if (black == white) return 0;
  return black > white ? PlayableSquares() - 2 * white : 2 * black - PlayableSquares();
}

// ---- Texts ----

std::string TOthelloEngine::MoveToText(int square) const {
  const int row = square / RowStride, column = square % RowStride;
  if (row == 0) return " 0";  // the pass
  return static_cast<char>('a' + column - 1) + std::to_string(row);
}

bool TOthelloEngine::ParsePosition(const std::string& text, PositionImage& image) const {
  const size_t cells = static_cast<size_t>(BoardSide) * BoardSide;
  if (text.size() != cells + 1) return false;
  switch (text[0]) {
    case 'X':
    case 'b':
      image.SideToMove = BlackCell;
      break;
    case 'O':
    case 'w':
      image.SideToMove = WhiteCell;
      break;
    default:
      break;  // the side byte stays as it was
  }
  std::memset(image.Board, OutsideCell, sizeof(image.Board));
  size_t next = 1;
  for (int row = 1; row <= BoardSide; ++row) {
    for (int column = 1; column <= BoardSide; ++column) {
      int8_t cell;
      switch (text[next++]) {
        case '-':
        case '.':
          cell = EmptyCell;
          break;
        case 'X':
        case 'b':
          cell = BlackCell;
          break;
        case 'O':
        case 'w':
          cell = WhiteCell;
          break;
        default:
          cell = OutsideCell;
      }
      image.Board[SquareAt(column, row)] = cell;
    }
  }
  return true;
}

}  // namespace morvane
