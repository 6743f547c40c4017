#include "game/Book.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "engine/Rays.h"
#include "engine/Widgets.h"
#include "evaluation/Patterns.h"
#include "game/GameInfo.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace morvane {

namespace {

constexpr int KindInner = 0;
constexpr int KindLeaf = 1;
constexpr int KindLink = 2;

const char* const IllegalMoveText = "ERROR: ILLEGAL MOVE";
const char* const LinkNotFoundText = "Fatal Error : Link not found in CreateLinks2";

// The file is little-endian whatever the machine.
void PutInt32(std::vector<uint8_t>& out, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(bits >> shift));
}

void PutDouble(std::vector<uint8_t>& out, double value) {
  const auto bits = std::bit_cast<uint64_t>(value);
  for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<uint8_t>(bits >> shift));
}

std::string Quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

// Reads a child list from the bytes of a book file into a fresh arena, checking every record
// against the position it is played in, so that the tree that comes out holds only legal lines
// of bounded length.
class TTreeReader {
 public:
  TTreeReader(const TBook& book, std::span<const uint8_t> bytes, std::deque<TNode>& arena)
      : Book(book), Bytes(bytes), Arena(arena), MaxDepth(2 * PlayableCount(book)) {}

  bool Read(TNode* root) {
    TBookBoard board;
    Book.SetStartBoard(board);
    if (!ReadChildren(root, board, 0, true)) return false;
    if (Offset != Bytes.size()) return Fail("there are stray bytes after the end of the tree");
    return true;
  }

  std::string Problem;

 private:
  static int PlayableCount(const TBook& book) {
    int count = 0;
    for (int square = 0; square < book.Width * book.Width; ++square)
      if (book.IsPlayable(square)) ++count;
    return count;
  }

  bool Fail(std::string what) {
    Problem = std::move(what);
    return false;
  }

  bool ReadInt32(int32_t& value) {
    if (Bytes.size() - Offset < 4) return Fail("the file ends in the middle of a record");
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(Bytes[Offset + i]) << (8 * i);
    Offset += 4;
    value = static_cast<int32_t>(bits);
    return true;
  }

  bool ReadDouble(double& value) {
    if (Bytes.size() - Offset < 8) return Fail("the file ends in the middle of a record");
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(Bytes[Offset + i]) << (8 * i);
    Offset += 8;
    value = std::bit_cast<double>(bits);
    return true;
  }

  bool ReadChildren(TNode* node, TBookBoard& board, int depth, bool isRoot) {
    int32_t count = 0;
    if (!ReadInt32(count)) return false;
    if (count < 0) return Fail("a child list has the negative count " + std::to_string(count));
    if (count == 0) {
      if (isRoot) return true;  // an empty book
      return Fail("a child list below the root is empty");
    }
    // Every record takes at least its four-byte code.
    if (static_cast<uint64_t>(count) * 4 > Bytes.size() - Offset)
      return Fail("a child list claims " + std::to_string(count) +
                  " entries, more than the rest of the file can hold");
    if (Book.IsGameOver(board)) return Fail("a finished game has children");
    if (count > Book.CountMovesOrPass(board))
      return Fail("a child list claims " + std::to_string(count) +
                  " entries, more than its position has legal moves");
    if (depth >= MaxDepth)
      return Fail("lines are nested deeper than " + std::to_string(MaxDepth) + " moves");

    bool seen[MaxCells] = {};
    TNode* previous = nullptr;
    for (int32_t i = 0; i < count; ++i) {
      int32_t code = 0;
      if (!ReadInt32(code)) return false;
      const int32_t move = code / 10;
      const int32_t kind = code - 10 * move;
      if (kind != KindInner && kind != KindLeaf && kind != KindLink)
        return Fail("record code " + std::to_string(code) + " has the unknown kind " +
                    std::to_string(kind));
      if (move != PassMove && !Book.IsPlayable(move))
        return Fail("move " + std::to_string(move) + " is not a square of this board");
      if (!Book.IsLegalMove(board, move))
        return Fail("move " + std::to_string(move) + " is not legal in its position");
      if (seen[move]) return Fail("move " + std::to_string(move) + " appears twice in one list");
      seen[move] = true;

      TNode* child = &Arena.emplace_back();
      child->Move = move;
      child->LeafValue = 0;
      child->Value = 0;
      if (previous)
        previous->NextSibling = child;
      else
        node->FirstChild = child;
      previous = child;

      if (kind == KindInner) {
        TBookUndo undo;
        Book.MakeMove(board, move, undo);
        TBook::SwitchSide(board);
        const bool read = ReadChildren(child, board, depth + 1, false);
        TBook::SwitchSide(board);
        Book.UndoMove(board, undo);
        if (!read) return false;
      } else if (kind == KindLeaf) {
        int32_t lineDepth = 0;
        double value = 0;
        if (!ReadInt32(lineDepth) || !ReadDouble(value)) return false;
        if (lineDepth < 0 || lineDepth > 255)
          return Fail("a line depth of " + std::to_string(lineDepth) + " is out of range");
        if (!std::isfinite(value) || std::fabs(value) > -NoValue)
          return Fail("a leaf value is not a number of discs");
        child->LineDepth = static_cast<uint8_t>(lineDepth);
        child->LeafValue = value;
      } else {
        child->IsLink = true;
      }
    }
    return true;
  }

  const TBook& Book;
  std::span<const uint8_t> Bytes;
  std::deque<TNode>& Arena;
  size_t Offset = 0;
  const int MaxDepth;
};

}  // namespace

TBook::TBook(std::string name, int size, int boardKind, TOthelloEngine* engine,
             std::filesystem::path baseFolder)
    : Size(size),
      Width(size + 2),
      BoardKind(boardKind),
      Engine(engine),
      Name(std::move(name)),
      BaseFolder(std::move(baseFolder)) {
  const int w = Width;
  const int32_t directions[8] = {1, w, w - 1, w + 1, -1, -w, -(w - 1), -(w + 1)};
  std::memcpy(Directions, directions, sizeof(Directions));
  for (int code = 0; code < 4; ++code) {
    for (int square = 0; square < MaxCells; ++square) {
      const int r = square / w, c = square % w;
      int to = square;
      if (square < w * w && square != PassMove) {
        switch (code) {
          case 1:
            to = (w - 1 - c) * w + (w - 1 - r);
            break;
          case 2:
            to = c * w + r;
            break;
          case 3:
            to = (w - 1 - r) * w + (w - 1 - c);
            break;
          default:
            break;
        }
      }
      SquareMap[code][square] = to;
    }
  }
  TBookBoard start;
  SetStartBoard(start);
  for (int square = 0; square < MaxCells; ++square)
    Playable[square] = square < w * w && start.Cells[square] != BookOutside;
  Root = &Nodes.emplace_back();
}

TNode* TBook::NewNode() { return &Nodes.emplace_back(); }

// ---- Book board ----

void TBook::SetStartBoard(TBookBoard& board) const {
  std::memset(board.Cells, BookOutside, sizeof(board.Cells));
  for (int row = 1; row <= Size; ++row)
    for (int column = 1; column <= Size; ++column) board.Cells[row * Width + column] = 0;
  const int d = Size / 2;
  board.Cells[d * Width + d] = BookWhite;
  board.Cells[(d + 1) * Width + d + 1] = BookWhite;
  board.Cells[d * Width + d + 1] = BookBlack;
  board.Cells[(d + 1) * Width + d] = BookBlack;
  if (BoardKind == 88) {
    constexpr int corners[12][2] = {{1, 1}, {1, 2},  {2, 1},  {1, 9},  {1, 10}, {2, 10},
                                    {9, 1}, {10, 1}, {10, 2}, {9, 10}, {10, 9}, {10, 10}};
    for (const auto& [row, column] : corners) board.Cells[row * Width + column] = BookOutside;
  }
  board.Side = BookBlack;
}

int TBook::TransformSquare(int code, int square) const {
  if (square < 0 || square >= MaxCells) return square;
  return SquareMap[code & 3][square];
}

void TBook::Transform(int code, const TBookBoard& from, TBookBoard& to) const {
  to.Side = from.Side;
  std::memset(to.Cells, BookOutside, sizeof(to.Cells));
  const int cells = Width * Width;
  for (int square = 0; square < cells; ++square)
    to.Cells[square] = from.Cells[SquareMap[code][square]];
}

bool TBook::IsPlayable(int square) const {
  return square >= 0 && square < MaxCells && Playable[square];
}

int TBook::CountEmpties(const TBookBoard& board) const {
  int count = 0;
  const int cells = Width * Width;
  for (int square = 0; square < cells; ++square)
    if (board.Cells[square] == 0) ++count;
  return count;
}

namespace {
// The book's cells hold 255 for the second colour, which is the engine's -1 read as a signed
// byte, so the engine's rules read them unchanged.
const int8_t* SignedCells(const TBookBoard& board) {
  return reinterpret_cast<const int8_t*>(board.Cells);
}
int8_t SignedSide(const TBookBoard& board) { return static_cast<int8_t>(board.Side); }

// Whether a disc of the side to move on `square` closes at least one line of opposing discs.
bool Flips(const TBookBoard& board, int width, int square) {
  const int8_t own = SignedSide(board);
  return rays::FlipsAny(width, SignedCells(board), square, own, static_cast<int8_t>(-own));
}
}  // namespace

int TBook::CountMoves(const TBookBoard& board) const {
  int count = 0;
  const int cells = Width * Width;
  for (int square = 0; square < cells; ++square)
    if (board.Cells[square] == 0 && Flips(board, Width, square)) ++count;
  return count;
}

int TBook::CountMovesOrPass(const TBookBoard& board) const {
  const int count = CountMoves(board);
  return count == 0 ? 1 : count;
}

bool TBook::IsLegalMove(const TBookBoard& board, int square) const {
  if (square == PassMove) return CountMoves(board) == 0;
  return IsPlayable(square) && board.Cells[square] == 0 && Flips(board, Width, square);
}

bool TBook::IsGameOver(const TBookBoard& board) const {
  if (CountMoves(board) != 0) return false;
  TBookBoard other = board;
  SwitchSide(other);
  return CountMoves(other) == 0;
}

void TBook::MakeMove(TBookBoard& board, int square, TBookUndo& undo) const {
  undo.Square = square;
  undo.FlipCount = 0;
  if (square == PassMove) return;
  const int8_t own = SignedSide(board);
  undo.FlipCount = rays::RecordFlips(Width, SignedCells(board), square, own,
                                     static_cast<int8_t>(-own), undo.Flips);
  board.Cells[square] = board.Side;
  for (int i = 0; i < undo.FlipCount; ++i) board.Cells[undo.Flips[i]] = board.Side;
}

void TBook::UndoMove(TBookBoard& board, const TBookUndo& undo) const {
  if (undo.Square == PassMove) return;
  const uint8_t opp = board.Side == BookBlack ? BookWhite : BookBlack;
  for (int i = 0; i < undo.FlipCount; ++i) board.Cells[undo.Flips[i]] = opp;
  board.Cells[undo.Square] = 0;
}

bool TBook::SamePosition(const TBookBoard& a, const TBookBoard& b) const {
  return a.Side == b.Side && std::memcmp(a.Cells, b.Cells, Width * Width) == 0;
}

int TBook::FinalMargin(const TBookBoard& board) const {
  int black = 0, white = 0;
  const int cells = Width * Width;
  for (int square = 0; square < cells; ++square) {
    if (board.Cells[square] == BookBlack) ++black;
    if (board.Cells[square] == BookWhite) ++white;
  }
  const int blocked = BoardKind == 88 ? 12 : 0;
  if (black == white) return 0;
  if (white < black) return Size * Size - blocked - 2 * white;
  return blocked + 2 * black - Size * Size;
}

TBookBoard TBook::FromImage(const PositionImage& image) const {
  TBookBoard board;
  board.Side = image.SideToMove == WhiteCell ? BookWhite : BookBlack;
  std::memset(board.Cells, BookOutside, sizeof(board.Cells));
  const int cells = Width * Width;
  for (int square = 0; square < cells; ++square)
    board.Cells[square] = static_cast<uint8_t>(image.Board[square]);
  return board;
}

// ---- Finding positions ----

bool TBook::FindIn(TNode* node, TBookBoard& scratch, const TBookBoard& target, TNode*& found) {
  if (SamePosition(scratch, target)) {
    found = node;
    return true;
  }
  for (TNode* child = node->Children(); child; child = child->NextSibling) {
    // Links are never followed; discs never disappear, so a line through a square that is
    // empty in the target cannot lead there.
    if (child->IsLink) continue;
    if (child->Move != PassMove && target.Cells[child->Move] == 0) continue;
    TBookUndo undo;
    MakeMove(scratch, child->Move, undo);
    SwitchSide(scratch);
    const bool hit = FindIn(child, scratch, target, found);
    SwitchSide(scratch);
    UndoMove(scratch, undo);
    if (hit) return true;
  }
  return false;
}

TPositionMatch TBook::FindPosition(const TBookBoard& position) {
  TBookBoard target, scratch;
  for (int s = 0; s < 4; ++s) {
    Transform(s, position, target);
    SetStartBoard(scratch);
    TNode* found = nullptr;
    if (FindIn(Root, scratch, target, found)) return {found, s};
  }
  return {};
}

TNode* TBook::FindOrAddChild(TNode* node, int s, int move, const TBookBoard& positionAfterMove) {
  const int m = TransformSquare(s, move);
  TNode* last = nullptr;
  for (TNode* child = node->Children(); child; child = child->NextSibling) {
    if (child->Move == m) return child;
    last = child;
  }
  const TPositionMatch match = FindPosition(positionAfterMove);
  TNode* child = NewNode();
  child->Move = m;
  if (last)
    last->NextSibling = child;
  else
    node->FirstChild = child;
  if (match.Node) {
    child->IsLink = true;
    child->Orientation = match.Orientation ^ s;
    child->FirstChild = match.Node;
  }
  return child;
}

// ---- Learning ----

bool TBook::SearchBoard(const TBookBoard& board, const uint8_t* excluded, int& best,
                        double& score) {
  int8_t cells[MaxCells];
  std::memset(cells, OutsideCell, sizeof(cells));
  const int count = Width * Width;
  for (int square = 0; square < count; ++square)
    cells[square] = static_cast<int8_t>(board.Cells[square]);
  Engine->SetPosition(cells, board.Side == BookWhite ? WhiteCell : BlackCell);
  if (excluded)
    for (int square = 0; square < MaxCells; ++square)
      Engine->ExcludedMoves[square] = static_cast<int8_t>(excluded[square]);
  const TFixedSearchInfo& level = Engine->Evaluation ? Engine->Evaluation->Level : OwnLevel;
  const TSearchResult result = Engine->SearchFixedLevel(level);
  std::memset(Engine->ExcludedMoves, 0, sizeof(Engine->ExcludedMoves));
  // A stopped search has no trustworthy answer, and the rest of the pass is thrown away.
  if (Engine->StopRequested || StopLearning) {
    StopLearning = true;
    return false;
  }
  best = result.BestSquare;
  score = static_cast<double>(result.Score) / DiscUnit;
  return true;
}

bool TBook::AddLine(std::span<const int32_t> line, bool evaluateLeaf) {
  if (StopLearning) return false;
  TBookBoard board;
  SetStartBoard(board);
  // The whole line is checked first: a line with an illegal move leaves no trace.
  for (const int32_t move : line) {
    if (IsGameOver(board) || !IsLegalMove(board, move)) {
      ShowMessage(IllegalMoveText);
      return false;
    }
    TBookUndo undo;
    MakeMove(board, move, undo);
    SwitchSide(board);
  }

  SetStartBoard(board);
  TNode* node = Root;
  int orientation = 0;
  for (const int32_t move : line) {
    if (CountEmpties(board) <= MinEmpties) break;
    TBookUndo undo;
    MakeMove(board, move, undo);
    SwitchSide(board);
    node = FindOrAddChild(node, orientation, move, board);
    if (node->IsLink) {
      if (!node->FirstChild) return true;  // unresolved: a leaf without value
      orientation ^= node->Orientation;
      node = node->FirstChild;
    }
  }
  if (node->Children()) return true;
  if (IsGameOver(board)) {
    // From the view of the player who made the last move, like every other value.
    const int margin = FinalMargin(board);
    node->LeafValue = board.Side == BookWhite ? margin : -margin;
  } else if (evaluateLeaf) {
    int best = PassMove;
    double score = 0;
    if (!SearchBoard(board, nullptr, best, score)) return true;
    if (!IsLegalMove(board, best)) return true;
    TBookUndo undo;
    MakeMove(board, best, undo);
    SwitchSide(board);
    TNode* child = FindOrAddChild(node, orientation, best, board);
    child->LeafValue = score;
    child->LineDepth = 4;
  }
  return true;
}

void TBook::ResetLeaves(TNode* node) {
  if (node->IsLink) return;
  if (!node->FirstChild) {
    node->Value = node->LeafValue;
    return;
  }
  for (TNode* child = node->FirstChild; child; child = child->NextSibling) ResetLeaves(child);
}

void TBook::Propagate(TNode* node) {
  node->Visit = UnderWay;
  double best = NoValue;
  for (TNode* child = node->Children(); child; child = child->NextSibling) {
    if (!child->IsLink) {
      if (child->FirstChild && child->Visit != Done && child->Visit != UnderWay) Propagate(child);
    } else {
      TNode* target = child->FirstChild;
      if (target && target->FirstChild && target->Visit != Done && target->Visit != UnderWay)
        Propagate(target);
      if (target && target->Visit != UnderWay) {
        child->LineDepth = target->LineDepth;
        child->Value = target->Value;
      } else {
        // Unresolved (or, in a damaged tree, circular): a link without value.
        child->Value = NoValue;
      }
    }
    if (child->Value > best) best = child->Value;
  }
  if (node->Children()) {
    const TNode* preferred = SelectChild(node, 0, nullptr);
    node->LineDepth =
        static_cast<uint8_t>(std::min(255, 1 + (preferred ? preferred->LineDepth : 0)));
  } else {
    node->LineDepth = 1;
  }
  node->Value = best > NoValue ? -best : NoValue;
  node->Visit = Done;
}

void TBook::Recompute() {
  const bool randomness = UseRandomness;
  UseRandomness = false;
  ResetLeaves(Root);
  // Fresh marks for this pass; after a wrap-around every old mark is cleared once.
  if (Done >= UINT32_MAX - 2) {
    for (TNode& node : Nodes) node.Visit = 0;
    Done = 0;
  }
  UnderWay = Done + 1;
  Done = Done + 2;
  Propagate(Root);
  UseRandomness = randomness;
}

int TBook::Draw() {
  if (DrawPermille) return DrawPermille();
  return std::uniform_int_distribution<int>(0, 999)(Random);
}

TNode* TBook::SelectChild(TNode* node, int s, uint8_t* excluded) {
  uint8_t none[MaxCells] = {};
  if (!excluded) excluded = none;
  TNode* best = nullptr;
  for (TNode* child = node->Children(); child; child = child->NextSibling) {
    if (excluded[TransformSquare(s, child->Move)]) continue;
    if (child->Value > NoValue && (!best || child->Value > best->Value)) best = child;
  }
  if (!UseRandomness || !best) return best;

  const int square = TransformSquare(s, best->Move);
  excluded[square] = 2;
  UseRandomness = false;
  TNode* second = SelectChild(node, s, excluded);
  UseRandomness = true;
  excluded[square] = 0;
  if (!second) return best;
  const double loss = best->Value - second->Value;
  if (loss > 0 && RandomSpent + loss <= RandomBudget && Draw() >= 200) {
    RandomSpent += loss;
    return second;
  }
  return best;
}

bool TBook::GetBookMove(const PositionImage& position, int& move, double& value) {
  if (ReseedFromClock)
    Random.seed(static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  const TBookBoard board = FromImage(position);
  const TPositionMatch match = FindPosition(board);
  if (CountEmpties(board) < MinEmpties || !match.Node) return false;
  const TNode* child = SelectChild(match.Node, match.Orientation, nullptr);
  if (!child || !(child->Value > NoValue)) return false;
  move = TransformSquare(match.Orientation, child->Move);
  value = child->Value;
  return true;
}

void TBook::SetRandomness(double budget) {
  RandomBudget = budget;
  RandomSpent = 0;
  UseRandomness = std::fabs(budget) >= 1e-12;
}

bool TBook::NeedsDeviation(TNode* node, TBookBoard& board) {
  if (IsGameOver(board) || CountEmpties(board) < MinEmpties) return false;
  int children = 0;
  for (const TNode* child = node->Children(); child; child = child->NextSibling) {
    ++children;
    // A node that still has an unexpanded leaf below it gets no other deviation.
    const TNode* holder = child->IsLink ? child->FirstChild : child;
    if (!holder || !holder->Children()) return false;
  }
  return children != CountMovesOrPass(board);
}

void TBook::ExpandNode(TNode* node, TBookBoard& board) {
  if (StopLearning) return;
  if (NeedsDeviation(node, board)) {
    for (;;) {
      uint8_t excluded[MaxCells] = {};
      int children = 0;
      for (const TNode* child = node->Children(); child; child = child->NextSibling) {
        excluded[child->Move] = 2;
        ++children;
      }
      if (CountMovesOrPass(board) == children) break;
      int best = PassMove;
      double score = 0;
      if (!SearchBoard(board, excluded, best, score)) return;
      if (best == PassMove) break;
      // A search that offers a move it was told to leave out has nothing new to add.
      if (!IsLegalMove(board, best) || excluded[best]) break;
      TBookUndo undo;
      MakeMove(board, best, undo);
      SwitchSide(board);
      TNode* child = FindOrAddChild(node, 0, best, board);
      SwitchSide(board);
      UndoMove(board, undo);
      child->LeafValue = score;
      child->LineDepth = 4;
      if (ProgressBar) ProgressBar->StepIt();
      // A transposition gives no new line, so the next best move is searched at once.
      if (!child->IsLink) break;
    }
  }
  for (TNode* child = node->Children(); child; child = child->NextSibling) {
    if (child->IsLink || !child->FirstChild) continue;
    TBookUndo undo;
    MakeMove(board, child->Move, undo);
    SwitchSide(board);
    ExpandNode(child, board);
    SwitchSide(board);
    UndoMove(board, undo);
  }
}

void TBook::ExpandAll() {
  TBookBoard board;
  SetStartBoard(board);
  ExpandNode(Root, board);
}

void TBook::AddGame(const TGameInfo& game) {
  if (!Engine) return;  // a book opened only to be read
  StopLearning = false;
  const bool randomness = UseRandomness;
  UseRandomness = false;
  MinEmpties = std::clamp(game.Level.ExactEmpties - 1, 0, 19);
  OwnLevel = game.Level;
  if (Engine->Evaluation) Engine->Evaluation->Level = game.Level;
  Engine->SetupStartPosition();
  std::vector<int32_t> line;
  line.reserve(game.MoveCount);
  for (int ply = 1; ply <= game.MoveCount; ++ply) line.push_back(game.Moves[ply].MoveSquare);
  if (AddLine(line, true)) {
    Recompute();
    ExpandAll();
    Recompute();
    if (!StopLearning) LearnedSinceLoad = true;
  }
  UseRandomness = randomness;
}

// ---- Statistics ----

TBookStats TBook::Stats() const {
  TBookStats stats;
  struct TWalk {
    static void Visit(const TNode* node, int depth, TBookStats& stats) {
      stats.Depth = std::max(stats.Depth, depth);
      for (const TNode* child = node->Children(); child; child = child->NextSibling) {
        ++stats.Nodes;
        if (child->IsLink) {
          ++stats.Links;
          if (!child->FirstChild) ++stats.UnresolvedLinks;
          stats.Depth = std::max(stats.Depth, depth + 1);
        } else if (!child->FirstChild) {
          ++stats.Leaves;
          stats.Depth = std::max(stats.Depth, depth + 1);
        } else {
          Visit(child, depth + 1, stats);
        }
      }
    }
  };
  TWalk::Visit(Root, 0, stats);
  return stats;
}

// ---- File ----

std::filesystem::path TBook::FilePath() const {
  if (!File.empty()) return File;
  return BaseFolder / "books" / Name / (Name + ".boo");
}

std::vector<uint8_t> TBook::Serialize() const {
  std::vector<uint8_t> out;
  struct TWriter {
    static void WriteChildren(const TNode* node, std::vector<uint8_t>& out) {
      int32_t count = 0;
      for (const TNode* child = node->Children(); child; child = child->NextSibling) ++count;
      PutInt32(out, count);
      for (const TNode* child = node->Children(); child; child = child->NextSibling) {
        // An unresolved link has no FirstChild and so goes out as a leaf.
        if (!child->FirstChild) {
          PutInt32(out, child->Move * 10 + KindLeaf);
          PutInt32(out, child->LineDepth);
          PutDouble(out, child->LeafValue);
        } else if (child->IsLink) {
          PutInt32(out, child->Move * 10 + KindLink);
        } else {
          PutInt32(out, child->Move * 10 + KindInner);
          WriteChildren(child, out);
        }
      }
    }
  };
  TWriter::WriteChildren(Root, out);
  return out;
}

void TBook::PreserveDamagedFile(const std::filesystem::path& path) const {
  std::filesystem::path copy = path;
  copy += ".damaged";
  for (int n = 2; std::filesystem::exists(copy); ++n) {
    copy = path;
    copy += ".damaged." + std::to_string(n);
  }
  std::error_code error;
  std::filesystem::copy_file(path, copy, error);
  if (error)
    throw std::runtime_error("Could not keep a copy of the damaged opening book " + Quoted(path) +
                             " as " + Quoted(copy) + ": " + error.message());
}

void TBook::Save() {
  const std::filesystem::path path = FilePath();
  // A damaged file stays as it is until there is something new to put in its place.
  if (LoadedFileDamaged && !LearnedSinceLoad) return;
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  if (error)
    throw std::runtime_error("Could not save the opening book " + Quoted(path) +
                             ": cannot create its folder (" + error.message() + ")");
  if (LoadedFileDamaged && std::filesystem::exists(path)) PreserveDamagedFile(path);

  const std::vector<uint8_t> bytes = Serialize();
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  const auto failure = [&](const std::string& reason) {
    std::filesystem::remove(temporary, error);
    return std::runtime_error("Could not save the opening book " + Quoted(path) + ": " + reason);
  };
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file)
    throw failure("cannot create " + Quoted(temporary) + " (" + std::strerror(errno) + ")");
  errno = 0;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = std::fflush(file) == 0 && written;
#if defined(__unix__) || defined(__APPLE__)
  written = ::fsync(fileno(file)) == 0 && written;
#endif
  const int writeErrno = errno;
  written = std::fclose(file) == 0 && written;
  if (!written) throw failure(std::string("writing failed (") + std::strerror(writeErrno) + ")");
  // Only a complete file takes the old one's place.
  std::filesystem::rename(temporary, path, error);
  if (error) throw failure("cannot replace the old file (" + error.message() + ")");
  LoadedFileDamaged = false;
}

bool TBook::ReadTree(std::span<const uint8_t> bytes, std::string& problem) {
  std::deque<TNode> fresh;
  TNode* root = &fresh.emplace_back();
  TTreeReader reader(*this, bytes, fresh);
  if (!reader.Read(root)) {
    problem = reader.Problem;
    Clear();
    return false;
  }
  // The old tree goes with the old arena.
  Nodes.swap(fresh);
  Root = root;
  UnderWay = Done = 0;
  TBookBoard board;
  SetStartBoard(board);
  if (!CreateLinks(Root, board)) ShowMessage(LinkNotFoundText);
  Recompute();
  return true;
}

bool TBook::CreateLinks(TNode* node, TBookBoard& board) {
  bool allFound = true;
  for (TNode* child = node->Children(); child; child = child->NextSibling) {
    if (!child->IsLink && !child->FirstChild) continue;
    TBookUndo undo;
    MakeMove(board, child->Move, undo);
    SwitchSide(board);
    if (child->IsLink) {
      const TPositionMatch match = FindPosition(board);
      child->Orientation = match.Orientation;
      child->FirstChild = match.Node;
      if (!match.Node) {
        // Kept as a leaf without value; no walk ever follows it.
        child->LeafValue = child->Value = NoValue;
        allFound = false;
      }
    } else if (!CreateLinks(child, board)) {
      allFound = false;
    }
    SwitchSide(board);
    UndoMove(board, undo);
  }
  return allFound;
}

bool TBook::LoadFrom(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return true;
  std::string problem;
  std::vector<uint8_t> bytes;
  const auto size = std::filesystem::file_size(path, error);
  std::ifstream file(path, std::ios::binary);
  if (error || !file) {
    problem = "it cannot be read";
  } else {
    bytes.resize(size);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
      problem = "it cannot be read";
  }
  if (problem.empty()) {
    if (ReadTree(bytes, problem)) return true;
  } else {
    Clear();
  }
  ShowMessage("The opening book " + Quoted(path) + " is damaged (" + problem +
              ") and was not loaded; it will be replaced when the next game has been learned.");
  return false;
}

void TBook::Clear() {
  std::deque<TNode> fresh;
  Root = &fresh.emplace_back();
  Nodes.swap(fresh);
  UnderWay = Done = 0;
}

void TBook::Load() {
  const bool loaded = LoadFrom(FilePath());
  LoadedFileDamaged = !loaded;
  LearnedSinceLoad = false;
}

}  // namespace morvane
