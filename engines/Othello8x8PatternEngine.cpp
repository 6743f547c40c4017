#include "engines/Othello8x8PatternEngine.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "engine/Rays.h"
#include "engine/ShallowSearch.h"
#include "engine/Widgets.h"

namespace morvane {

namespace {

constexpr int BoardSquares = 64;

// ---- Bitboard geometry ----

constexpr uint64_t EdgeColumns = 0x8181818181818181ull;
constexpr uint64_t EdgeRows = 0xFF000000000000FFull;
constexpr uint64_t Border = EdgeColumns | EdgeRows;

inline uint64_t FullRows(uint64_t occupied) {
  uint64_t x = occupied;
  x &= x >> 4;
  x &= x >> 2;
  x &= x >> 1;
  return (x & 0x0101010101010101ull) * 0xFF;
}

inline uint64_t FullColumns(uint64_t occupied) {
  uint64_t x = occupied;
  x &= x >> 32;
  x &= x >> 16;
  x &= x >> 8;
  return (x & 0xFF) * 0x0101010101010101ull;
}

// The squares whose diagonal (bit step 9 for kind 0, north-west to south-east; 7 for kind 1) is
// fully occupied: every empty square marks its whole diagonal, spread both ways in doubling
// steps. A step that would carry a mark across the side of the board drops the columns it would
// wrap into.
// Columns a mark may land on after moving 1, 2 or 4 columns right (left): the columns it would
// wrap into are dropped.
constexpr uint64_t Right1 = 0xFEFEFEFEFEFEFEFEull, Right2 = 0xFCFCFCFCFCFCFCFCull,
                   Right4 = 0xF0F0F0F0F0F0F0F0ull;
constexpr uint64_t Left1 = 0x7F7F7F7F7F7F7F7Full, Left2 = 0x3F3F3F3F3F3F3F3Full,
                   Left4 = 0x0F0F0F0F0F0F0F0Full;

// Marks spread along a diagonal both ways in doubling steps; a step of 9 bits moves a column
// right, a step of 7 a column left.
template <int Step>
inline uint64_t SpreadBothWays(uint64_t marks) {
  constexpr bool upMovesRight = Step == 9;
  uint64_t up = marks, down = marks;
  up |= (up << Step) & (upMovesRight ? Right1 : Left1);
  up |= (up << (2 * Step)) & (upMovesRight ? Right2 : Left2);
  up |= (up << (4 * Step)) & (upMovesRight ? Right4 : Left4);
  down |= (down >> Step) & (upMovesRight ? Left1 : Right1);
  down |= (down >> (2 * Step)) & (upMovesRight ? Left2 : Right2);
  down |= (down >> (4 * Step)) & (upMovesRight ? Left4 : Right4);
  return up | down;
}

// The squares whose diagonal (kind 0: bit step 9, north-west to south-east; kind 1: bit step 7)
// is fully occupied: every empty square marks its whole diagonal.
inline uint64_t FullDiagonals(uint64_t occupied, int kind) {
  return kind == 0 ? ~SpreadBothWays<9>(~occupied) : ~SpreadBothWays<7>(~occupied);
}

// Squares in the move list's order of preference, for the table-less tiers.
inline bool OddRegion(const int32_t* regionEmpties, const int32_t* regionOf, int square) {
  return (regionEmpties[regionOf[square]] & 1) != 0;
}

// Stable selection sort of a short linked list by OrderKey, largest first.
inline void SortByKey(MoveRecord* list) {
  for (MoveRecord* tail = list; tail->Next; tail = tail->Next) {
    MoveRecord* bestPrev = tail;
    for (MoveRecord* prev = tail->Next; prev->Next; prev = prev->Next)
      if (prev->Next->OrderKey > bestPrev->Next->OrderKey) bestPrev = prev;
    if (bestPrev != tail) {
      MoveRecord* best = bestPrev->Next;
      bestPrev->Next = best->Next;
      best->Next = tail->Next;
      tail->Next = best;
    }
  }
}

inline void BringToFront(MoveRecord* list, int square) {
  if (!list->Next || list->Next->Square == square) return;
  for (MoveRecord* prev = list->Next; prev->Next; prev = prev->Next) {
    if (prev->Next->Square == square) {
      MoveRecord* found = prev->Next;
      prev->Next = found->Next;
      found->Next = list->Next;
      list->Next = found;
      return;
    }
  }
}

}  // namespace

TOthello8x8PatternEngine::TOthello8x8PatternEngine(std::string name,
                                                   std::unique_ptr<TEvaluation> evaluation,
                                                   double hashSizeBits)
    : TOthelloPatternEngine(std::move(name), hashSizeBits, 8, std::move(evaluation)) {}

TOthello8x8PatternEngine::~TOthello8x8PatternEngine() = default;

// ---- Board-image rules ----

void TOthello8x8PatternEngine::BuildEmptyList() {
  ResetEmptyList();
  for (const int square : SquareOrder)
    if (Board[square] == EmptyCell) AppendEmpty(square);
  // The centre is filled from the first move on; a set-up position may still leave it empty.
  for (const int square : {44, 45, 54, 55})
    if (Board[square] == EmptyCell) AppendEmpty(square);
}

int TOthello8x8PatternEngine::ProbeMove(int square, MoveRecord& record) {
  record.Square = square;
  record.FlipCount =
      rays::RecordFlips<10, rays::TFlipOrder::Table>(Board, square, SideToMove, OpponentColour,
                                                     record.Flips);
  return record.FlipCount;
}

int TOthello8x8PatternEngine::ProbeMoveHashed(int square, MoveRecord& record) {
  const int count = ProbeMove(square, record);
  if (count > 0) AddHashDelta(record);
  return count;
}

void TOthello8x8PatternEngine::AddHashDelta(MoveRecord& record) const {
  const THashTable& keys = *HashTable;
  const int cell = SideToMove + 1;
  uint32_t lo = keys.MoveKey[0][cell][record.Square], hi = keys.MoveKey[1][cell][record.Square];
  for (int i = 0; i < record.FlipCount; ++i) {
    lo ^= keys.FlipKey[0][record.Flips[i]];
    hi ^= keys.FlipKey[1][record.Flips[i]];
  }
  record.HashDeltaLo = lo;
  record.HashDeltaHi = hi;
}

int TOthello8x8PatternEngine::FlipInPlace(int square, MoveRecord& record) {
  const int count = ProbeMove(square, record);
  if (count == 0) return 0;
  const int8_t own = SideToMove;
  Board[square] = own;
  for (int i = 0; i < count; ++i) Board[record.Flips[i]] = own;
  return count;
}

int TOthello8x8PatternEngine::CountFlips(int square) {
  return rays::CountFlips<10>(Board, square, SideToMove, OpponentColour);
}

bool TOthello8x8PatternEngine::IsLegalMove(int square) {
  return rays::FlipsAny<10>(Board, square, SideToMove, OpponentColour);
}

void TOthello8x8PatternEngine::ReadImage(uint64_t& player, uint64_t& gegner) const {
  bits::FromImage(Board, player, gegner);
  if (SideToMove != BlackCell) std::swap(player, gegner);
}

TOthello8x8PatternEngine::TImageMoves TOthello8x8PatternEngine::LegalMoves() const {
  uint64_t player, gegner;
  ReadImage(player, gegner);
  return {player, gegner, bits::Moves(player, gegner)};
}

void TOthello8x8PatternEngine::GenerateMoves(MoveRecord* list) {
  MoveRecord* last = list;
  MoveRecord* free = list + 1;
  const TImageMoves moves = LegalMoves();
  for (const TEmptyNode* node = EmptyHead.Next; node->Square; node = node->Next) {
    if (moves.Probe(node->Square, *free) > 0) {
      last->Next = free;
      last = free++;
    }
  }
  last->Next = nullptr;
}

void TOthello8x8PatternEngine::GenerateMovesHashed(MoveRecord* list) {
  MoveRecord* last = list;
  MoveRecord* free = list + 1;
  const TImageMoves moves = LegalMoves();
  for (const TEmptyNode* node = EmptyHead.Next; node->Square; node = node->Next) {
    if (moves.Probe(node->Square, *free) > 0) {
      AddHashDelta(*free);
      last->Next = free;
      last = free++;
    }
  }
  last->Next = nullptr;
}

int TOthello8x8PatternEngine::CornerStability(int colour) {
  static constexpr int Corners[4][3] = {{11, 21, 12}, {81, 82, 71}, {18, 17, 28}, {88, 87, 78}};
  int count = 0;
  for (const auto& corner : Corners) {
    if (Board[corner[0]] != colour) continue;
    count += 1 + (Board[corner[1]] == colour) + (Board[corner[2]] == colour);
  }
  return count;
}

// ---- Bitboards ----

void TOthello8x8PatternEngine::LoadBitboards() { ReadImage(PlayerBitboard, GegnerBitboard); }

int TOthello8x8PatternEngine::CornerStabilityOf(uint64_t discs) {
  // Corner bits with their two edge neighbours: a1 (b1, a2), h1 (g1, h2), a8 (b8, a7), h8.
  int count = 0;
  if (discs & (uint64_t{1} << 0)) count += 1 + ((discs >> 1) & 1) + ((discs >> 8) & 1);
  if (discs & (uint64_t{1} << 7)) count += 1 + ((discs >> 6) & 1) + ((discs >> 15) & 1);
  if (discs & (uint64_t{1} << 56)) count += 1 + ((discs >> 57) & 1) + ((discs >> 48) & 1);
  if (discs & (uint64_t{1} << 63)) count += 1 + ((discs >> 62) & 1) + ((discs >> 55) & 1);
  return count;
}

namespace {

// Along each of the four lines through a square, the squares where a disc cannot flip whatever
// happens: a disc flips only along a line with squares on both of its sides and an empty
// square somewhere on it.
struct TClosedLines {
  uint64_t Horizontal, Vertical, Diagonal9, Diagonal7;

  explicit TClosedLines(uint64_t occupied)
      : Horizontal(FullRows(occupied) | EdgeColumns),
        Vertical(FullColumns(occupied) | EdgeRows),
        Diagonal9(FullDiagonals(occupied, 0) | Border),
        Diagonal7(FullDiagonals(occupied, 1) | Border) {}

  uint64_t Seeds(uint64_t discs) const {
    return discs & Horizontal & Vertical & Diagonal9 & Diagonal7;
  }
  // A disc whose neighbour on a line is a safe disc of its colour is safe along that line: a
  // run that flipped it would flip the neighbour too.
  uint64_t Grow(uint64_t discs, uint64_t stable) const {
    return discs & (Horizontal | (stable << 1) | (stable >> 1)) &
           (Vertical | (stable << 8) | (stable >> 8)) &
           (Diagonal9 | (stable << 9) | (stable >> 9)) &
           (Diagonal7 | (stable << 7) | (stable >> 7));
  }
};

}  // namespace

int TOthello8x8PatternEngine::StableDiscsEstimate(uint64_t discs, uint64_t occupied, int limit) {
  const TClosedLines closed(occupied);
  uint64_t stable = closed.Seeds(discs);
  if (stable == 0) return 0;
  if (limit <= 1) return 1;
  int count = std::popcount(stable);
  while (count < limit) {
    const uint64_t grown = closed.Grow(discs, stable);
    if (grown == stable) break;
    stable = grown;
    count = std::popcount(stable);
  }
  return count;
}

uint64_t TOthello8x8PatternEngine::StableDiscs(uint64_t discs, uint64_t occupied) {
  const TClosedLines closed(occupied);
  uint64_t stable = closed.Seeds(discs);
  for (;;) {
    const uint64_t grown = closed.Grow(discs, stable);
    if (grown == stable) return stable;
    stable = grown;
  }
}

// ---- The bitboard solver ----

namespace {

// The parity region of a square: 0 top left, 1 top right, 2 bottom left, 3 bottom right.
constexpr int QuadrantOf(int square) { return (square % 10 - 1) / 4 + ((square / 10 - 1) / 4) * 2; }

// The quadrant of each square as a bit of the parity mask, looked up rather than divided out in
// the innermost loops.
constexpr std::array<uint8_t, bits::BoardCells> MakeQuadrantBits() {
  std::array<uint8_t, bits::BoardCells> table{};
  for (int square = 0; square < bits::BoardCells; ++square)
    if (bits::IsSquare(square)) table[square] = static_cast<uint8_t>(1u << QuadrantOf(square));
  return table;
}
constexpr std::array<uint8_t, bits::BoardCells> QuadrantBit = MakeQuadrantBits();

inline int32_t MarginOf(uint64_t player, uint64_t gegner) {
  const int own = std::popcount(player), opp = std::popcount(gegner);
  if (own > opp) return BoardSquares - 2 * opp;
  if (own < opp) return 2 * own - BoardSquares;
  return 0;
}

inline int DiscDifference(uint64_t player, uint64_t gegner) {
  return std::popcount(player) - std::popcount(gegner);
}

// A reference value at least this close to the whole board asks for a wipe-out, or nearly one.
constexpr int NearWipeOutDiscs = 4;
// Discs of order key that each reply of the opponent costs a move there.
constexpr double WipeOutReplyWeight = 4.0;
// And each disc the opponent keeps (the side to move once the move is made).
constexpr double WipeOutDiscWeight = 1.0;
constexpr uint64_t Corners = 0x8100000000000081ull;

// A principal-variation node expects its null-window children to cut, and on leaving, its
// brothers.
class TCutParityScope {
 public:
  TCutParityScope(TOthello8x8PatternEngine& engine, bool principal)
      : Engine(principal ? &engine : nullptr) {
    if (Engine) Engine->CutNodeParity = (Engine->EmptyCount - 1) & 1;
  }
  ~TCutParityScope() {
    if (Engine) Engine->CutNodeParity = Engine->EmptyCount & 1;
  }
  TCutParityScope(const TCutParityScope&) = delete;
  TCutParityScope& operator=(const TCutParityScope&) = delete;

 private:
  TOthello8x8PatternEngine* Engine;
};

// The opponent's stable discs bound the mover's result from above.
inline bool OpponentStabilityCut(uint64_t player, uint64_t gegner, int32_t alpha, int32_t& bound) {
  if (!(alpha > 49 || (alpha >= 0 && alpha - 24 >= DiscDifference(player, gegner)))) return false;
  bound = BoardSquares - 2 * TOthello8x8PatternEngine::StableDiscsEstimate(gegner, player | gegner,
                                                                           (65 - alpha) / 2);
  return alpha >= bound;
}

// The mover's own stable discs bound its result from below: against a low beta (the mover close
// to being wiped out) one stable disc may already be enough.
inline bool OwnStabilityCut(uint64_t player, uint64_t gegner, int32_t beta, int32_t& bound) {
  if (!(beta < -49 || (beta <= 0 && DiscDifference(player, gegner) >= beta + 24))) return false;
  bound = 2 * TOthello8x8PatternEngine::StableDiscsEstimate(player, player | gegner,
                                                            (beta + 65) / 2) -
          BoardSquares;
  return bound >= beta;
}

}  // namespace

void TOthello8x8PatternEngine::FillBitMove(int square, MoveRecord& record, bool hashed) {
  if (!hashed) {
    uint64_t mover = PlayerBitboard, opponent = GegnerBitboard;
    record.Square = square;
    record.FlipCount = bits::Play(square, mover, opponent);
    record.MoverBitsAfter = mover;
    record.OpponentBitsAfter = opponent;
    record.HashDeltaLo = HashLo;
    record.HashDeltaHi = HashHi;
    return;
  }
  const uint64_t player = PlayerBitboard, gegner = GegnerBitboard;
  const uint32_t hashLo = HashLo, hashHi = HashHi;
  const int cell = SideToMove + 1;
  record.Square = square;
  record.FlipCount = PlayBitsHashed(square);
  record.MoverBitsAfter = PlayerBitboard;
  record.OpponentBitsAfter = GegnerBitboard;
  // The mover's key carries the change of side, so this is the child's whole hash.
  record.HashDeltaLo = HashLo ^ HashTable->MoveKey[0][cell][square];
  record.HashDeltaHi = HashHi ^ HashTable->MoveKey[1][cell][square];
  PlayerBitboard = player;
  GegnerBitboard = gegner;
  HashLo = hashLo;
  HashHi = hashHi;
}

void TOthello8x8PatternEngine::BuildBitMoveList(MoveRecord* list) {
  BuildBitMoveList(list, MobilityMask(), 0);
}

void TOthello8x8PatternEngine::BuildBitMoveList(MoveRecord* list, uint64_t moves, int skipped,
                                                bool hashed) {
  MoveRecord* last = list;
  MoveRecord* free = list + 1;
  for (const TEmptyNode* node = EmptyHead.Next; node->Square; node = node->Next) {
    const int square = node->Square;
    if (!(moves & bits::SquareBits[square]) || square == skipped) continue;
    FillBitMove(square, *free, hashed);
    last->Next = free;
    last = free++;
  }
  last->Next = nullptr;
}

void TOthello8x8PatternEngine::OrderBitMoves(MoveRecord* list) {
  const bool parity = EmptyCount > 4;
  for (MoveRecord* move = list->Next; move; move = move->Next) {
    // A reply on a corner counts twice: it costs the mover more than an ordinary one.
    const uint64_t replies = MobilityMask(move->OpponentBitsAfter, move->MoverBitsAfter);
    int key = -32 * (BitCount(replies) + BitCount(replies & Corners)) +
              CornerStabilityOf(move->MoverBitsAfter);
    if (parity && OddRegion(RegionEmpties, RegionOf, move->Square)) key += 1;
    move->OrderKey = key;
  }
  SortByKey(list);
}

int32_t TOthello8x8PatternEngine::SolveWithBits(int32_t alpha, int32_t beta, bool passed) {
  // Every exact value lies in -64..64; a window reaching past that is narrowed so that the
  // solver's bounds stay meaningful and its answers keep their fail-soft sense.
  if (alpha < -BoardSquares - 1) alpha = -BoardSquares - 1;
  if (alpha > BoardSquares) alpha = BoardSquares;
  if (beta > BoardSquares + 1) beta = BoardSquares + 1;
  if (beta < -BoardSquares) beta = -BoardSquares;
  RecountRegions();
  LoadBitboards();
  return SolveEndgameBits(alpha, beta, passed);
}

int32_t TOthello8x8PatternEngine::SolveEndgameBits(int32_t alpha, int32_t beta, bool passed) {
  if (EmptyCount >= BitTableEmpties) return EndgameSearchBits(alpha, beta, passed);
  return SolveSmallBits(alpha, beta, passed);
}

int32_t TOthello8x8PatternEngine::EndgameSearchBits(int32_t alpha, int32_t beta, bool passed) {
  ++NodeCount;
  const TCutParityScope cutParity(*this, beta - alpha > 1);
  int32_t bound;
  if (OpponentStabilityCut(PlayerBitboard, GegnerBitboard, alpha, bound)) return bound;
  if (OwnStabilityCut(PlayerBitboard, GegnerBitboard, beta, bound)) return bound;

  const int32_t callAlpha = alpha, callBeta = beta;
  int hashMove = 0;
  if (const THashProbe entry = HashTable->Probe(HashLo, HashHi)) {
    hashMove = entry->BestMove;
    if (entry->IsEndgame && entry->Selectivity == Infinity && entry->Depth == EmptyCount) {
      const int32_t score = entry->Score;
      if (entry->IsUpperBound && score < beta) {
        beta = score;
        if (alpha >= score) return score;
      }
      if (entry->IsLowerBound && score > alpha) {
        alpha = score;
        if (score >= beta) return score;
      }
    }
  }

  const uint64_t moves = MobilityMask();
  if (!moves) {
    if (passed) return FinalMargin();
    SwapBitboards();
    MakePass();
    // After a pass the same empties belong to the other kind of node.
    CutNodeParity ^= 1;
    const int32_t value = -EndgameSearchBits(-beta, -alpha, true);
    CutNodeParity ^= 1;
    MakePass();
    SwapBitboards();
    HashTable->Store(HashLo, HashHi, EmptyCount, callAlpha, callBeta, value, PassMove, Infinity,
                     true);
    return value;
  }

  int32_t best = -Infinity;
  int bestMove = 0;
  // Plays a move, searches it (the first one with the whole window, the others with a null
  // window and a re-search when it falls inside) and takes it back.
  const auto searchMove = [&](const MoveRecord& move) {
    const uint64_t player = PlayerBitboard, gegner = GegnerBitboard;
    const uint32_t hashLo = HashLo, hashHi = HashHi;
    PlayerBitboard = move.OpponentBitsAfter;
    GegnerBitboard = move.MoverBitsAfter;
    HashLo = move.HashDeltaLo;
    HashHi = move.HashDeltaHi;
    EnterBitMove(move.Square, move.FlipCount);
    const bool small = EmptyCount < BitTableEmpties;
    int32_t value;
    if (best == -Infinity) {
      value =
          small ? -SolveSmallBits(-beta, -alpha, false) : -EndgameSearchBits(-beta, -alpha, false);
    } else {
      value = small ? -SolveSmallBits(-alpha - 1, -alpha, false)
                    : -EndgameSearchBits(-alpha - 1, -alpha, false);
      if (alpha < value && value < beta)
        value = small ? -SolveSmallBits(-beta, -value, false)
                      : -EndgameSearchBits(-beta, -value, false);
    }
    LeaveBitMove(move.Square, move.FlipCount);
    PlayerBitboard = player;
    GegnerBitboard = gegner;
    HashLo = hashLo;
    HashHi = hashHi;
    if (value > best) {
      best = value;
      bestMove = move.Square;
      if (value > alpha) alpha = value;
    }
  };

  // The children of the last table nodes are solved without the table: hashing their positions
  // would be wasted.
  const bool childrenHashed = EmptyCount > BitTableEmpties;
  // Below the enhanced transposition cut-offs the hash move is tried before the others are
  // generated: most nodes with one cut on it.
  const bool hashMoveFirst = hashMove > PassMove && EmptyCount < BitEtcEmpties &&
                             hashMove < bits::BoardCells && (moves & bits::SquareBits[hashMove]);
  if (hashMoveFirst) {
    MoveRecord move;
    FillBitMove(hashMove, move, childrenHashed);
    if (move.OpponentBitsAfter == 0) return BoardSquares;
    searchMove(move);
    if (best >= beta) {
      HashTable->Store(HashLo, HashHi, EmptyCount, callAlpha, callBeta, best, bestMove, Infinity,
                       true);
      return best;
    }
  }

  TMoveList list;
  BuildBitMoveList(list, moves, hashMoveFirst ? hashMove : 0, childrenHashed);
  // A move that leaves the opponent no disc wins every square.
  for (const MoveRecord* move = list->Next; move; move = move->Next)
    if (move->OpponentBitsAfter == 0) return BoardSquares;
  if (EmptyCount >= BitEtcEmpties) {
    for (const MoveRecord* move = list->Next; move; move = move->Next) {
      const THashProbe child = HashTable->Probe(move->HashDeltaLo, move->HashDeltaHi);
      if (child && child->IsEndgame && child->Selectivity == Infinity &&
          child->Depth + 1 == EmptyCount && child->IsUpperBound && -child->Score >= beta) {
        ++NodeCount;
        return -child->Score;
      }
    }
  }
  // As in the board-image nodes: the hash move first, the others ordered once it has not cut.
  bool orderLater = false;
  if (!hashMoveFirst && hashMove > PassMove) {
    BringToFront(list, hashMove);
    orderLater = list->Next && list->Next->Square == hashMove;
  }
  if (!orderLater) OrderBitMoves(list);

  for (MoveRecord* move = list->Next; move && best < beta; move = move->Next) {
    searchMove(*move);
    if (orderLater && move == list->Next && best < beta) OrderBitMoves(move);
  }
  HashTable->Store(HashLo, HashHi, EmptyCount, callAlpha, callBeta, best, bestMove, Infinity, true);
  return best;
}

// The tiers below eight empties keep everything in registers: the two bitboards, the empty
// squares in list order and the parity of the four quadrants as a bit mask. The engine's
// counters, list and colours are left alone; the disc margin is counted off the bitboards.
namespace {

// The squares worth trying, as bit masks over their list positions: those in quadrants with an
// odd number of empties first (the last move in a quadrant tends to be the mover's), then the
// others, each in list order. A square needs an opponent disc next to it to be a move. Built
// without branches, since which squares qualify is anybody's guess.
inline void SplitByParity(const int* squares, int n, uint64_t opponent, unsigned parity,
                          unsigned (&candidates)[2]) {
  unsigned odd = 0, even = 0;
  for (int i = 0; i < n; ++i) {
    const int square = squares[i];
    const unsigned touches = (bits::Neighbours[square] & opponent) != 0;
    const unsigned inOdd = (parity & QuadrantBit[square]) != 0;
    odd |= (touches & inOdd) << i;
    even |= (touches & (inOdd ^ 1u)) << i;
  }
  candidates[0] = odd;
  candidates[1] = even;
}

class TSmallSolver {
 public:
  int64_t Nodes = 0;

  int32_t Solve(uint64_t p, uint64_t o, int32_t alpha, int32_t beta, const int* squares, int n,
                unsigned parity, bool passed, int cutParity) {
    if (n >= 5) return Small(p, o, alpha, beta, squares, n, parity, passed, cutParity);
    if (n == 4) return Four(p, o, alpha, beta, squares, parity, passed);
    if (n == 3) return Three(p, o, alpha, beta, squares, passed);
    if (n == 2) return Two(p, o, alpha, beta, squares[0], squares[1], passed);
    if (n == 1) return One(p, o, squares[0], passed);
    ++Nodes;
    return MarginOf(p, o);
  }

  int32_t Small(uint64_t p, uint64_t o, int32_t alpha, int32_t beta, const int* squares, int n,
                unsigned parity, bool passed, int cutParity) {
    ++Nodes;
    int32_t bound;
    if (OpponentStabilityCut(p, o, alpha, bound)) return bound;
    if (OwnStabilityCut(p, o, beta, bound)) return bound;
    const bool principal = beta - alpha > 1;
    // Where a cut is expected, the cutting move with the fewest replies leaves the smallest
    // subtree; elsewhere every move is searched anyway, and parity alone orders them.
    if (principal || (n & 1) == cutParity)
      return FastestFirst(p, o, alpha, beta, squares, n, parity, passed,
                          principal ? (n - 1) & 1 : cutParity);
    int32_t best = -Infinity;
    int child[8];
    unsigned candidates[2];
    SplitByParity(squares, n, o, parity, candidates);
    for (unsigned remaining : candidates) {
      for (; remaining; remaining &= remaining - 1) {
        const int i = std::countr_zero(remaining);
        const int square = squares[i];
        const unsigned quadrant = QuadrantBit[square];
        uint64_t mover = p, opponent = o;
        if (!bits::Play(square, mover, opponent)) continue;
        if (opponent == 0) return BoardSquares;
        for (int j = 0, k = 0; j < n; ++j)
          if (j != i) child[k++] = squares[j];
        const int32_t value =
            n - 1 == 4 ? -Four(opponent, mover, -beta, -alpha, child, parity ^ quadrant, false)
                       : -Small(opponent, mover, -beta, -alpha, child, n - 1, parity ^ quadrant,
                                false, cutParity);
        if (value > best) {
          best = value;
          if (value >= beta) return value;
          if (value > alpha) alpha = value;
        }
      }
    }
    if (best != -Infinity) return best;
    if (passed) return MarginOf(p, o);
    // After a pass the same empties belong to the other kind of node.
    return -Small(o, p, -beta, -alpha, squares, n, parity, true, cutParity ^ 1);
  }

  // The moves in order of the opponent's replies (a corner reply counts twice), those in
  // quadrants of odd parity first among equals, then list order.
  int32_t FastestFirst(uint64_t p, uint64_t o, int32_t alpha, int32_t beta, const int* squares,
                       int n, unsigned parity, bool passed, int childCutParity) {
    struct TCandidate {
      uint64_t Mover, Opponent;
      int Key;
    };
    TCandidate candidates[8];
    int count = 0;
    for (int i = 0; i < n; ++i) {
      const int square = squares[i];
      if (!(bits::Neighbours[square] & o)) continue;
      uint64_t mover = p, opponent = o;
      if (!bits::Play(square, mover, opponent)) continue;
      if (opponent == 0) return BoardSquares;
      const uint64_t replies = bits::Moves(opponent, mover);
      const int even = (parity & QuadrantBit[square]) == 0;
      const int key = std::popcount(replies) + std::popcount(replies & Corners);
      // The list position in the low bits keeps the order stable and names the square.
      candidates[count++] = {mover, opponent, ((key * 2 + even) << 3) | i};
    }
    if (count == 0) {
      if (passed) return MarginOf(p, o);
      return -Small(o, p, -beta, -alpha, squares, n, parity, true, childCutParity ^ 1);
    }
    int32_t best = -Infinity;
    int child[8];
    for (int c = 0; c < count; ++c) {
      int next = c;
      for (int d = c + 1; d < count; ++d)
        if (candidates[d].Key < candidates[next].Key) next = d;
      std::swap(candidates[c], candidates[next]);
      const int i = candidates[c].Key & 7;
      for (int j = 0, k = 0; j < n; ++j)
        if (j != i) child[k++] = squares[j];
      const uint64_t mover = candidates[c].Mover, opponent = candidates[c].Opponent;
      const unsigned childParity = parity ^ QuadrantBit[squares[i]];
      const int32_t value = n - 1 == 4
                                ? -Four(opponent, mover, -beta, -alpha, child, childParity, false)
                                : -Small(opponent, mover, -beta, -alpha, child, n - 1, childParity,
                                         false, childCutParity);
      if (value > best) {
        best = value;
        if (value >= beta) return value;
        if (value > alpha) alpha = value;
      }
    }
    return best;
  }

  int32_t Four(uint64_t p, uint64_t o, int32_t alpha, int32_t beta, const int* squares,
               unsigned parity, bool passed) {
    ++Nodes;
    if (beta < -50 || (beta < 1 && DiscDifference(p, o) >= beta + 24)) {
      // The mover ends with at least its stable discs.
      const int limit = beta + BoardSquares + 1 > 0 ? (beta + BoardSquares + 1) / 2 : 0;
      const int32_t bound =
          2 * TOthello8x8PatternEngine::StableDiscsEstimate(p, p | o, limit) - BoardSquares;
      if (bound >= beta) return bound;
    }
    int32_t best = -Infinity;
    int child[3];
    unsigned candidates[2];
    SplitByParity(squares, 4, o, parity, candidates);
    for (unsigned remaining : candidates) {
      for (; remaining; remaining &= remaining - 1) {
        const int i = std::countr_zero(remaining);
        uint64_t mover = p, opponent = o;
        if (!bits::Play(squares[i], mover, opponent)) continue;
        if (opponent == 0) return BoardSquares;
        for (int j = 0, k = 0; j < 4; ++j)
          if (j != i) child[k++] = squares[j];
        const int32_t value = -Three(opponent, mover, -beta, -alpha, child, false);
        if (value > best) {
          best = value;
          if (value >= beta) return value;
          if (value > alpha) alpha = value;
        }
      }
    }
    if (best != -Infinity) return best;
    if (passed) return MarginOf(p, o);
    return -Four(o, p, -beta, -alpha, squares, parity, true);
  }

  int32_t Three(uint64_t p, uint64_t o, int32_t alpha, int32_t beta, const int* squares,
                bool passed) {
    // Each square with the other two in list order.
    static constexpr int Others[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    int32_t best = -Infinity;
    for (int i = 0; i < 3; ++i) {
      if (!(bits::Neighbours[squares[i]] & o)) continue;
      uint64_t mover = p, opponent = o;
      if (!bits::Play(squares[i], mover, opponent)) continue;
      ++Nodes;
      const int32_t value =
          -Two(opponent, mover, -beta, -alpha, squares[Others[i][0]], squares[Others[i][1]], false);
      if (value > best) {
        best = value;
        if (value >= beta) return value;
        if (value > alpha) alpha = value;
      }
    }
    if (best != -Infinity) return best;
    if (passed) {
      ++Nodes;
      return MarginOf(p, o);
    }
    return -Three(o, p, -beta, -alpha, squares, true);
  }

  int32_t Two(uint64_t p, uint64_t o, int32_t alpha, int32_t beta, int a, int b, bool passed) {
    // One move flips at most MaxFlipsPerMove discs, so after the first move e the final margin
    // lies within e - 2 * MaxFlipsPerMove .. e + 2 * MaxFlipsPerMove + 2.
    constexpr int Spread = 2 * bits::MaxFlipsPerMove;
    const int d = DiscDifference(p, o);
    int32_t best = -Infinity;
    const int lines[2][2] = {{a, b}, {b, a}};
    for (const auto& line : lines) {
      if (best >= beta) break;
      if (!(bits::Neighbours[line[0]] & o)) continue;
      uint64_t mover = p, opponent = o;
      const int flips = bits::Play(line[0], mover, opponent);
      if (flips == 0) continue;
      ++Nodes;
      const int e = d + 2 * flips;
      int32_t value;
      if (e - Spread >= beta) return e - Spread;
      if (e + Spread + 2 <= alpha) {
        // This line cannot raise alpha; its bound stands in for its value, since the other
        // line may still do better.
        value = e + Spread + 2;
      } else if (const int replies = bits::LastFlipCount(line[1], opponent)) {
        ++Nodes;
        value = e - 2 * replies;
      } else if (const int more = bits::LastFlipCount(line[1], mover)) {
        ++Nodes;
        value = e + 2 * more + 2;
      } else {
        ++Nodes;
        value = e + 1 > 0 ? e + 2 : (e + 1 < 0 ? e : 0);
      }
      if (value > best) best = value;
    }
    if (best != -Infinity) return best;
    if (passed) {
      ++Nodes;
      return d > 0 ? d + 2 : (d < 0 ? d - 2 : 0);
    }
    return -Two(o, p, -beta, -alpha, a, b, true);
  }

  int32_t One(uint64_t p, uint64_t o, int square, bool passed) {
    ++Nodes;
    const int d = DiscDifference(p, o);
    if (const int flips = bits::LastFlipCount(square, p)) return d + 2 * flips + 1;
    if (!passed) {
      if (const int flips = bits::LastFlipCount(square, o)) return d - 2 * flips - 1;
    }
    return d > 0 ? d + 1 : (d < 0 ? d - 1 : 0);
  }
};

}  // namespace

int TOthello8x8PatternEngine::SmallSolverSquares(int* squares, unsigned& parity) const {
  int n = 0;
  parity = 0;
  for (const TEmptyNode* node = EmptyHead.Next; node->Square && n < 8; node = node->Next) {
    squares[n++] = node->Square;
    parity ^= QuadrantBit[node->Square];
  }
  return n;
}

int32_t TOthello8x8PatternEngine::SolveSmallBits(int32_t alpha, int32_t beta, bool passed) {
  if (EmptyCount >= BitTableEmpties) return EndgameSearchBits(alpha, beta, passed);
  int squares[8];
  unsigned parity;
  const int n = SmallSolverSquares(squares, parity);
  TSmallSolver solver;
  const int32_t value = solver.Solve(PlayerBitboard, GegnerBitboard, alpha, beta, squares, n,
                                     parity, passed, CutNodeParity);
  NodeCount += solver.Nodes;
  return value;
}

int32_t TOthello8x8PatternEngine::SolveFourBits(int32_t alpha, int32_t beta, bool passed) {
  return SolveSmallBits(alpha, beta, passed);
}

int32_t TOthello8x8PatternEngine::SolveThreeBits(int32_t alpha, int32_t beta, bool passed) {
  return SolveSmallBits(alpha, beta, passed);
}

int32_t TOthello8x8PatternEngine::SolveTwoBits(int32_t alpha, int32_t beta, int a, int b,
                                               bool passed) {
  TSmallSolver solver;
  const int32_t value = solver.Two(PlayerBitboard, GegnerBitboard, alpha, beta, a, b, passed);
  NodeCount += solver.Nodes;
  return value;
}

// ---- Endgame entry ----

int32_t TOthello8x8PatternEngine::EndSearchPV(int32_t alpha, int32_t beta, bool passed,
                                              int32_t& margin) {
  int32_t value;
  if (SettledWithoutImageSearch(alpha, beta, passed, margin, value)) return value;
  const TCutParityScope cutParity(*this, true);
  return TOthelloPatternEngine::EndSearchPV(alpha, beta, passed, margin);
}

int32_t TOthello8x8PatternEngine::EndSearchZW(int32_t alpha, int32_t beta, bool passed,
                                              int32_t& margin) {
  int32_t value;
  if (SettledWithoutImageSearch(alpha, beta, passed, margin, value)) return value;
  return TOthelloPatternEngine::EndSearchZW(alpha, beta, passed, margin);
}

// Near a wipe-out the window sits at the end of the scale, and one stable disc of the losing
// side settles it: without this test such lines were searched down to the bitboard solver.
bool TOthello8x8PatternEngine::SettledWithoutImageSearch(int32_t alpha, int32_t beta, bool passed,
                                                         int32_t& margin, int32_t& value) {
  margin = Infinity;
  if (EmptyCount < BitSolverEmpties) {
    value = SolveWithBits(alpha, beta, passed);
    return true;
  }
  uint64_t player, gegner;
  ReadImage(player, gegner);
  if (!OpponentStabilityCut(player, gegner, alpha, value) &&
      !OwnStabilityCut(player, gegner, beta, value))
    return false;
  ++NodeCount;
  return true;
}

void TOthello8x8PatternEngine::OrderEndgameMoves(MoveRecord* list, int32_t beta) {
  OrderMovesEndgame(list, beta);
}

int32_t TOthello8x8PatternEngine::EndCutProbe(int32_t alpha, int32_t beta, int depth, bool passed) {
  return OrderingSearch(depth, alpha, beta, passed);
}

// ---- Ordering by shallow searches ----

void TOthello8x8PatternEngine::OrderMovesShallow(MoveRecord* list, int depth) {
  const int k = OrderingDepth[depth < 0 ? 0 : (depth > 30 ? 30 : depth)];
  for (MoveRecord* move = list->Next; move; move = move->Next) {
    MakeMove(*move);
    SwapSides();
    if (k == 0) {
      ++NodeCount;
      move->OrderKey = -Evaluate();
    } else {
      move->OrderKey = -OrderingSearch(k, -Infinity, Infinity, false);
    }
    SwapSides();
    UnmakeMove(*move);
  }
  SortByKey(list);
}

int32_t TOthello8x8PatternEngine::OrderingSearch(int depth, int32_t alpha, int32_t beta,
                                                 bool passed) {
  if (StopRequested) return 0;
  if (depth < 4) return search::ShallowSearchOf(*this, alpha, beta, depth, passed);
  ++NodeCount;

  const int32_t callAlpha = alpha, callBeta = beta;
  int hashMove = 0;
  if (const THashProbe entry = HashTable->Probe(HashLo, HashHi)) {
    hashMove = entry->BestMove;
    if (entry->Depth == depth && entry->Selectivity == Infinity) {
      const int32_t score = entry->IsEndgame ? entry->Score * DiscUnit : entry->Score;
      if (entry->IsUpperBound && score < beta) {
        beta = score;
        if (alpha >= score) return score;
      }
      if (entry->IsLowerBound && score > alpha) {
        alpha = score;
        if (score >= beta) return score;
      }
    }
  }

  TMoveList list;
  GenerateMovesHashed(list);
  if (!list->Next) {
    if (passed) return FinalMargin() * DiscUnit;
    MakePass();
    const int32_t value = -OrderingSearch(depth, -beta, -alpha, true);
    MakePass();
    return value;
  }
  OrderMovesShallow(list, depth);
  if (hashMove > PassMove) BringToFront(list, hashMove);

  int32_t best = -Infinity;
  int bestMove = 0;
  for (MoveRecord* move = list->Next; move && alpha < beta; move = move->Next) {
    MakeMove(*move);
    SwapSides();
    int32_t value;
    if (best == -Infinity) {
      value = -OrderingSearch(depth - 1, -beta, -alpha, false);
    } else {
      value = -OrderingSearch(depth - 1, -alpha - 1, -alpha, false);
      if (alpha < value && value < beta) value = -OrderingSearch(depth - 1, -beta, -value, false);
    }
    SwapSides();
    UnmakeMove(*move);
    if (StopRequested) return 0;
    if (value > best) {
      best = value;
      bestMove = move->Square;
      if (value > alpha) alpha = value;
    }
  }
  HashTable->Store(HashLo, HashHi, depth, callAlpha, callBeta, best, bestMove, Infinity, false);
  return best;
}

void TOthello8x8PatternEngine::OrderMovesEndgame(MoveRecord* list, int32_t reference) {
  const bool exact = EndCutThreshold == Infinity;
  const double threshold = exact ? 1500.0 : EndCutThreshold;
  const double allowance = exact ? threshold / 600.0 : (threshold - 450.0) / 600.0;
  const int32_t nearWipeOut = PlayableSquares() - NearWipeOutDiscs;
  for (MoveRecord* move = list->Next; move; move = move->Next) {
    MakeMove(*move);
    ++NodeCount;
    SwapSides();
    const int empties = EmptyCount > 50 ? 50 : EmptyCount;
    const int k = EndgameOrderingDepth[empties];
    int32_t value;
    if (k == 0) {
      ++NodeCount;
      value = -Evaluate();
    } else {
      value = -OrderingSearch(k, -Infinity, Infinity, false);
    }
    const double s = static_cast<double>(value) / DiscUnit;
    const int corners = CornerStability(OpponentColour);
    if (static_cast<int64_t>(value) < static_cast<int64_t>(reference) * DiscUnit) {
      // Proving a wipe-out (or nearly one) takes lines that leave the opponent nothing to
      // play and little to lose: the shallow value cannot see that far, the number of replies
      // and of the opponent's discs can.
      const double shortfall =
          reference >= nearWipeOut
              ? WipeOutReplyWeight * LegalMoves().Count() + WipeOutDiscWeight * OwnDiscs
              : 0.0;
      move->OrderKey = static_cast<int32_t>(std::lround(1000.0 * (s + 2.5 * corners - shortfall)));
    } else {
      const double f = std::abs(s - reference) / 38.0 + allowance;
      const int replies = LegalMoves().Count();
      move->OrderKey =
          static_cast<int32_t>(std::lround(1000.0 * (s - f * replies + 1.5 * corners))) +
          1'990'000'000;
    }
    SwapSides();
    UnmakeMove(*move);
  }
  SortByKey(list);
}

}  // namespace morvane
