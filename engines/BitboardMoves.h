// The per-square move routines of the 8 x 8 bitboards. Every square gets its own fully unrolled
// routine: for each direction the run of opponent discs and its closing own disc are found with
// a handful of bit operations on that direction's constant mask, and a closed run costs one OR,
// one XOR and, in the hashed routine, one constant hash change per run length. Masks and keys
// are computed here at compile time from the board geometry and the key generator of the
// transposition table, so nothing is typed in by hand.
//
// A build for a processor with AVX2 (see MORVANE_AVX2 in CMakeLists.txt) works the flips and
// the mobility mask in vector registers instead: the four line directions in the four lanes,
// both ways at once. Both twins stay compiled where the processor allows, so the tests hold
// them against each other; the engine calls the one chosen for the build.
//
// Bit numbering: the bordered square 10 * row + column (both 1..8) is bit
// 8 * (row - 1) + (column - 1); square 11 is bit 0, 88 is bit 63.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__AVX2__) || defined(__SSE2__)
#include <immintrin.h>
#endif

namespace morvane::bits {

constexpr int BoardCells = 151;

constexpr bool IsSquare(int square) {
  return square >= 11 && square <= 88 && square % 10 >= 1 && square % 10 <= 8;
}
constexpr int BitOf(int square) { return (square % 10 - 1) + 8 * (square / 10 - 1); }
constexpr int SquareOf(int bit) { return (bit / 8 + 1) * 10 + bit % 8 + 1; }
constexpr uint64_t BitMask(int square) { return uint64_t{1} << BitOf(square); }

// Bordered steps in the engine's direction order: east, south, south-west, south-east, west,
// north, north-east, north-west.
constexpr int Steps[8] = {1, 10, 9, 11, -1, -10, -9, -11};

// The flip keys of the position hash, drawn exactly as the transposition table draws them: the
// library's linear congruential generator from seed 123456789, per hash word the side key and
// then a white and a black key per cell.
struct TFlipKeyTable {
  uint32_t Word[2][BoardCells];
};

constexpr TFlipKeyTable MakeFlipKeys() {
  TFlipKeyTable table{};
  uint32_t seed = 123456789u;
  auto next = [&seed]() {
    seed = seed * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(seed) * 0xFFFFFFFFull) >> 32);
  };
  for (int word = 0; word < 2; ++word) {
    next();  // the side key
    for (int cell = 0; cell < BoardCells; ++cell) {
      const uint32_t white = next();
      const uint32_t black = next();
      table.Word[word][cell] = black ^ white;
    }
  }
  return table;
}

inline constexpr TFlipKeyTable FlipKeys = MakeFlipKeys();

// One direction out of a square: Mask holds its squares up to the edge; KeyLo[g] and KeyHi[g]
// are the hash change of turning the first g of them over.
struct TRay {
  int Length = 0;  // squares between the origin and the edge
  uint64_t Mask = 0;
  uint32_t KeyLo[7] = {};
  uint32_t KeyHi[7] = {};
};

struct TSquareRays {
  TRay Ray[8];
};

constexpr TSquareRays MakeRays(int square) {
  TSquareRays rays{};
  if (!IsSquare(square)) return rays;
  for (int d = 0; d < 8; ++d) {
    TRay& ray = rays.Ray[d];
    uint32_t lo = 0, hi = 0;
    for (int cell = square + Steps[d]; IsSquare(cell); cell += Steps[d]) {
      ray.Mask |= BitMask(cell);
      ++ray.Length;
      if (ray.Length < 7) {
        lo ^= FlipKeys.Word[0][cell];
        hi ^= FlipKeys.Word[1][cell];
        ray.KeyLo[ray.Length] = lo;
        ray.KeyHi[ray.Length] = hi;
      }
    }
  }
  return rays;
}

template <int Square>
inline constexpr TSquareRays RaysOf = MakeRays(Square);

// The most discs one move can flip on this board: a run along a ray needs a closing disc, so a
// ray of length n flips at most n - 1.
constexpr int MakeMaxFlips() {
  int most = 0;
  for (int square = 11; square <= 88; ++square) {
    if (!IsSquare(square)) continue;
    const TSquareRays rays = MakeRays(square);
    int sum = 0;
    for (const TRay& ray : rays.Ray) sum += ray.Length > 1 ? ray.Length - 1 : 0;
    most = sum > most ? sum : most;
  }
  return most;
}

inline constexpr int MaxFlipsPerMove = MakeMaxFlips();
static_assert(MaxFlipsPerMove == 19, "the centre squares flip 2 + 3 + 2 + 3 + 2 + 3 + 2 + 2");

// The squares next to each cell: a move needs an opponent disc among them, which rules most
// empty squares out before any ray is walked.
constexpr std::array<uint64_t, BoardCells> MakeNeighbours() {
  std::array<uint64_t, BoardCells> neighbours{};
  for (int square = 0; square < BoardCells; ++square) {
    if (!IsSquare(square)) continue;
    for (const int step : Steps)
      if (IsSquare(square + step)) neighbours[square] |= BitMask(square + step);
  }
  return neighbours;
}

inline constexpr std::array<uint64_t, BoardCells> Neighbours = MakeNeighbours();

namespace detail {

// The discs one direction flips, without a branch: the first square along the ray that is not
// an opponent disc is found by isolating a bit (the lowest one where bit numbers grow along the
// ray, the highest where they fall), and the run before it flips when that square is the mover's.
// A chain of single-bit tests would branch on every disc, and whether a run closes is anybody's
// guess, so the solver's inner nodes mispredicted on most moves.
template <int Square, int Dir>
[[gnu::always_inline]] inline uint64_t RayFlips(uint64_t player, uint64_t gegner) {
  constexpr const TRay& ray = RaysOf<Square>.Ray[Dir];
  if constexpr (ray.Length < 2) {
    return 0;
  } else {
    constexpr uint64_t mask = ray.Mask;
    const uint64_t stops = ~gegner & mask;
    if constexpr (Steps[Dir] > 0) {
      const uint64_t first = stops & (0 - stops);
      const uint64_t run = (first - 1) & mask;
      return run & (0 - static_cast<uint64_t>((first & player) != 0));
    } else {
      // With no stop at all the guard bit 0 is found; the mask test below then refuses it.
      const uint64_t first = (uint64_t{1} << 63) >> std::countl_zero(stops | 1);
      const uint64_t run = mask & (0 - (first << 1));
      return run & (0 - static_cast<uint64_t>((first & player & mask) != 0));
    }
  }
}

template <int Square, int... Dir>
[[gnu::always_inline]] inline uint64_t AllRayFlips(uint64_t player, uint64_t gegner,
                                                   std::integer_sequence<int, Dir...>) {
  return (RayFlips<Square, Dir>(player, gegner) | ...);
}

// The hash change of a run is a constant per run length; a run of none changes nothing.
template <int Square, int Dir>
[[gnu::always_inline]] inline uint64_t RayFlipsHashed(uint64_t player, uint64_t gegner,
                                                      uint32_t& lo, uint32_t& hi) {
  constexpr const TRay& ray = RaysOf<Square>.Ray[Dir];
  const uint64_t run = RayFlips<Square, Dir>(player, gegner);
  if constexpr (ray.Length >= 2) {
    const int length = std::popcount(run);
    lo ^= ray.KeyLo[length];
    hi ^= ray.KeyHi[length];
  }
  return run;
}

template <int Square, int... Dir>
[[gnu::always_inline]] inline uint64_t AllRayFlipsHashed(uint64_t player, uint64_t gegner,
                                                         uint32_t& lo, uint32_t& hi,
                                                         std::integer_sequence<int, Dir...>) {
  return (RayFlipsHashed<Square, Dir>(player, gegner, lo, hi) | ...);
}

template <int Square>
int PlayHashedAt(uint64_t& player, uint64_t& gegner, uint32_t& hashLo, uint32_t& hashHi) {
  uint32_t lo = 0, hi = 0;
  const uint64_t flips =
      AllRayFlipsHashed<Square>(player, gegner, lo, hi, std::make_integer_sequence<int, 8>{});
  if (!flips) return 0;
  player |= flips | BitMask(Square);
  gegner ^= flips;
  hashLo ^= lo;
  hashHi ^= hi;
  return std::popcount(flips);
}

template <int Square>
uint64_t FlipsAt(uint64_t player, uint64_t gegner) {
  return AllRayFlips<Square>(player, gegner, std::make_integer_sequence<int, 8>{});
}

inline int PlayHashedNowhere(uint64_t&, uint64_t&, uint32_t&, uint32_t&) { return 0; }
inline uint64_t FlipsNowhere(uint64_t, uint64_t) { return 0; }

using TPlayHashedFn = int (*)(uint64_t&, uint64_t&, uint32_t&, uint32_t&);
using TFlipsFn = uint64_t (*)(uint64_t, uint64_t);

template <int Cell>
constexpr TPlayHashedFn PlayHashedEntry() {
  if constexpr (IsSquare(Cell))
    return &PlayHashedAt<Cell>;
  else
    return &PlayHashedNowhere;
}

template <int Cell>
constexpr TFlipsFn FlipsEntry() {
  if constexpr (IsSquare(Cell))
    return &FlipsAt<Cell>;
  else
    return &FlipsNowhere;
}

template <int... Cell>
constexpr std::array<TFlipsFn, BoardCells> MakeFlipsTable(std::integer_sequence<int, Cell...>) {
  return {FlipsEntry<Cell>()...};
}
template <int... Cell>
constexpr std::array<TPlayHashedFn, BoardCells> MakePlayHashedTable(
    std::integer_sequence<int, Cell...>) {
  return {PlayHashedEntry<Cell>()...};
}

inline constexpr std::array<TPlayHashedFn, BoardCells> PlayHashedTable =
    MakePlayHashedTable(std::make_integer_sequence<int, BoardCells>{});
inline constexpr std::array<TFlipsFn, BoardCells> FlipsTable =
    MakeFlipsTable(std::make_integer_sequence<int, BoardCells>{});

// The moves of `player` along one direction, both ways: runs of opponent discs grown from the
// player's discs by doubling steps (a run of up to six needs three), and the square after a
// run. `through` holds the opponent discs a run may pass in this direction; sideways directions
// leave out the edge columns so that no run wraps around the board.
template <int Shift>
inline uint64_t MovesAlong(uint64_t player, uint64_t through) {
  uint64_t up = through & (player << Shift);
  uint64_t down = through & (player >> Shift);
  up |= through & (up << Shift);
  down |= through & (down >> Shift);
  const uint64_t pairsUp = through & (through << Shift);
  const uint64_t pairsDown = through & (through >> Shift);
  up |= pairsUp & (up << (2 * Shift));
  down |= pairsDown & (down >> (2 * Shift));
  up |= pairsUp & (up << (2 * Shift));
  down |= pairsDown & (down >> (2 * Shift));
  return (up << Shift) | (down >> Shift);
}

constexpr uint64_t NotEdgeColumns = 0x7E7E7E7E7E7E7E7Eull;

}  // namespace detail

// The portable twin: one unrolled routine per square, one direction after another.
namespace portable {

// The discs a move of `player` on `square` would flip; 0 when it is no move (or no square).
inline uint64_t Flips(int square, uint64_t player, uint64_t gegner) {
  return detail::FlipsTable[square](player, gegner);
}

// The empty squares where `player` has a move.
inline uint64_t Moves(uint64_t player, uint64_t gegner) {
  const uint64_t inner = gegner & detail::NotEdgeColumns;
  const uint64_t moves =
      detail::MovesAlong<1>(player, inner) | detail::MovesAlong<8>(player, gegner) |
      detail::MovesAlong<7>(player, inner) | detail::MovesAlong<9>(player, inner);
  return moves & ~(player | gegner);
}

}  // namespace portable

#if defined(__AVX2__)
// The vector twin. Lane d holds the line of shift 1, 8, 7, 9 (east-west, north-south and the
// two diagonals); bit numbers grow along "up" and fall along "down".
namespace vector {

struct alignas(32) TLineMasks {
  uint64_t Up[4];
  uint64_t Down[4];
};

// The rays of the per-square routines: their first four directions (+1, +10, +9, +11) raise the
// bit number, the last four are the same lines the other way.
constexpr std::array<TLineMasks, BoardCells> MakeLineMasks() {
  std::array<TLineMasks, BoardCells> masks{};
  for (int square = 0; square < BoardCells; ++square) {
    const TSquareRays rays = MakeRays(square);
    for (int lane = 0; lane < 4; ++lane) {
      masks[square].Up[lane] = rays.Ray[lane].Mask;
      masks[square].Down[lane] = rays.Ray[lane + 4].Mask;
    }
  }
  return masks;
}

alignas(32) inline constexpr std::array<TLineMasks, BoardCells> LineMasks = MakeLineMasks();

inline uint64_t OrLanes(__m256i lanes) {
  const __m128i half =
      _mm_or_si128(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
  return static_cast<uint64_t>(
      _mm_cvtsi128_si64(_mm_or_si128(half, _mm_unpackhi_epi64(half, half))));
}

inline uint64_t Flips(int square, uint64_t player, uint64_t gegner) {
  const __m256i mover = _mm256_set1_epi64x(static_cast<long long>(player));
  const __m256i opponent = _mm256_set1_epi64x(static_cast<long long>(gegner));
  const __m256i up = _mm256_load_si256(reinterpret_cast<const __m256i*>(LineMasks[square].Up));
  const __m256i down = _mm256_load_si256(reinterpret_cast<const __m256i*>(LineMasks[square].Down));
  const __m256i zero = _mm256_setzero_si256();
  // Up: the first square that is not an opponent disc is the lowest such bit.
  const __m256i stopsUp = _mm256_andnot_si256(opponent, up);
  const __m256i firstUp = _mm256_and_si256(stopsUp, _mm256_sub_epi64(zero, stopsUp));
  const __m256i openUp = _mm256_cmpeq_epi64(_mm256_and_si256(firstUp, mover), zero);
  const __m256i runUp = _mm256_and_si256(_mm256_sub_epi64(firstUp, _mm256_set1_epi64x(1)), up);
  // Down: the highest one, found by smearing the stops down their lines (runs of up to six).
  const __m256i shift = _mm256_setr_epi64x(1, 8, 7, 9);
  __m256i below = _mm256_andnot_si256(opponent, down);
  below = _mm256_or_si256(below, _mm256_srlv_epi64(below, shift));
  below = _mm256_or_si256(below, _mm256_srlv_epi64(below, _mm256_add_epi64(shift, shift)));
  below = _mm256_or_si256(below, _mm256_srlv_epi64(below, _mm256_slli_epi64(shift, 2)));
  const __m256i firstDown =
      _mm256_and_si256(_mm256_andnot_si256(_mm256_srlv_epi64(below, shift), below), down);
  const __m256i openDown = _mm256_cmpeq_epi64(_mm256_and_si256(firstDown, mover), zero);
  const __m256i runDown = _mm256_andnot_si256(below, down);
  return OrLanes(
      _mm256_or_si256(_mm256_andnot_si256(openUp, runUp), _mm256_andnot_si256(openDown, runDown)));
}

inline uint64_t Moves(uint64_t player, uint64_t gegner) {
  const __m256i shift = _mm256_setr_epi64x(1, 8, 7, 9);
  const __m256i shift2 = _mm256_add_epi64(shift, shift);
  const __m256i mover = _mm256_set1_epi64x(static_cast<long long>(player));
  const __m256i through =
      _mm256_and_si256(_mm256_set1_epi64x(static_cast<long long>(gegner)),
                       _mm256_setr_epi64x(static_cast<long long>(detail::NotEdgeColumns), -1,
                                          static_cast<long long>(detail::NotEdgeColumns),
                                          static_cast<long long>(detail::NotEdgeColumns)));
  __m256i up = _mm256_and_si256(through, _mm256_sllv_epi64(mover, shift));
  __m256i down = _mm256_and_si256(through, _mm256_srlv_epi64(mover, shift));
  up = _mm256_or_si256(up, _mm256_and_si256(through, _mm256_sllv_epi64(up, shift)));
  down = _mm256_or_si256(down, _mm256_and_si256(through, _mm256_srlv_epi64(down, shift)));
  const __m256i pairsUp = _mm256_and_si256(through, _mm256_sllv_epi64(through, shift));
  const __m256i pairsDown = _mm256_srlv_epi64(pairsUp, shift);
  up = _mm256_or_si256(up, _mm256_and_si256(pairsUp, _mm256_sllv_epi64(up, shift2)));
  down = _mm256_or_si256(down, _mm256_and_si256(pairsDown, _mm256_srlv_epi64(down, shift2)));
  up = _mm256_or_si256(up, _mm256_and_si256(pairsUp, _mm256_sllv_epi64(up, shift2)));
  down = _mm256_or_si256(down, _mm256_and_si256(pairsDown, _mm256_srlv_epi64(down, shift2)));
  const uint64_t moves =
      OrLanes(_mm256_or_si256(_mm256_sllv_epi64(up, shift), _mm256_srlv_epi64(down, shift)));
  return moves & ~(player | gegner);
}

}  // namespace vector

namespace chosen = vector;
#else
namespace chosen = portable;
#endif

// The empty squares where `player` has a move.
inline uint64_t Moves(uint64_t player, uint64_t gegner) { return chosen::Moves(player, gegner); }

// Plays `square` for `player` against `gegner`: flips the runs it closes on both bitboards and
// turns them over in the two hash words. Returns the number of discs flipped; a move that flips
// nothing changes nothing. The square is trusted to be empty; a cell off the board returns 0.
inline int PlayHashed(int square, uint64_t& player, uint64_t& gegner, uint32_t& hashLo,
                      uint32_t& hashHi) {
  // The hash change per run length makes the per-square routine the cheaper one here in
  // either build.
  if (static_cast<unsigned>(square) >= BoardCells) return 0;
  return detail::PlayHashedTable[square](player, gegner, hashLo, hashHi);
}

// As PlayHashed without the hash.
inline int Play(int square, uint64_t& player, uint64_t& gegner) {
  if (static_cast<unsigned>(square) >= BoardCells) return 0;
  const uint64_t flips = chosen::Flips(square, player, gegner);
  if (!flips) return 0;
  player |= flips | BitMask(square);
  gegner ^= flips;
  return std::popcount(flips);
}

// The number of discs a move of `player` on `square` would flip.
inline int CountFlips(int square, uint64_t player, uint64_t gegner) {
  if (static_cast<unsigned>(square) >= BoardCells) return 0;
  return std::popcount(chosen::Flips(square, player, gegner));
}

// ---- The board image ----

// The bit of each cell, zero off the board: a look-up where the square is not a constant.
constexpr std::array<uint64_t, BoardCells> MakeSquareBits() {
  std::array<uint64_t, BoardCells> table{};
  for (int square = 0; square < BoardCells; ++square)
    if (IsSquare(square)) table[square] = BitMask(square);
  return table;
}

inline constexpr std::array<uint64_t, BoardCells> SquareBits = MakeSquareBits();

namespace portable {

// The black and the white discs of a bordered 8 x 8 cell array (stride 10, cell values of
// engine/Cells.h: black 1, white -1).
inline void FromImage(const int8_t* board, uint64_t& black, uint64_t& white) {
  black = white = 0;
  for (int bit = 0; bit < 64; ++bit) {
    const int8_t cell = board[SquareOf(bit)];
    if (cell == 1) black |= uint64_t{1} << bit;
    if (cell == -1) white |= uint64_t{1} << bit;
  }
}

}  // namespace portable

// The same, two rows at a time where the processor has SSE2 (every x86-64): a row is eight
// bytes in a row.
inline void FromImage(const int8_t* board, uint64_t& black, uint64_t& white) {
#if defined(__SSE2__)
  uint64_t b = 0, w = 0;
  const __m128i one = _mm_set1_epi8(1);
  for (int row = 0; row < 8; row += 2) {
    uint64_t upper, lower;
    std::memcpy(&upper, board + 11 + 10 * row, 8);
    std::memcpy(&lower, board + 21 + 10 * row, 8);
    const __m128i rows =
        _mm_set_epi64x(static_cast<long long>(lower), static_cast<long long>(upper));
    // White cells are the only ones with the sign bit set.
    w |= static_cast<uint64_t>(_mm_movemask_epi8(rows)) << (8 * row);
    b |= static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(rows, one))) << (8 * row);
  }
  black = b;
  white = w;
#else
  portable::FromImage(board, black, white);
#endif
}

// ---- The last empty square ----
// With one square left empty every other square holds a disc, so along each line through it the
// mover's discs alone say what flips: a run of the others closed by one of the mover's. A line's
// discs are gathered into one byte (the square's place in it from 0 to 7) and the flips read
// from a table of all such bytes.
namespace last {

// LineFlips[place][line]: the discs a disc on `place` flips when the set bits of `line` are the
// mover's and every other place holds an opponent disc. Places off the line read as opponent
// discs that nothing closes, so short diagonals share the table.
constexpr std::array<std::array<uint8_t, 256>, 8> MakeLineFlips() {
  std::array<std::array<uint8_t, 256>, 8> table{};
  for (int place = 0; place < 8; ++place) {
    for (int line = 0; line < 256; ++line) {
      int flips = 0;
      for (const int step : {-1, 1}) {
        int run = 0, p = place + step;
        while (p >= 0 && p < 8 && !(line >> p & 1)) {
          ++run;
          p += step;
        }
        if (p >= 0 && p < 8 && run > 0) flips += run;
      }
      table[place][line] = static_cast<uint8_t>(flips);
    }
  }
  return table;
}

inline constexpr std::array<std::array<uint8_t, 256>, 8> LineFlips = MakeLineFlips();

// The two diagonals through each bit: north-west to south-east (bit steps of 9) and north-east
// to south-west (steps of 7), the bit itself included.
struct TDiagonals {
  uint64_t Down;  // steps of 9
  uint64_t Up;    // steps of 7
};

constexpr std::array<TDiagonals, 64> MakeDiagonals() {
  std::array<TDiagonals, 64> table{};
  for (int bit = 0; bit < 64; ++bit) {
    const int row = bit / 8, column = bit % 8;
    for (int other = 0; other < 64; ++other) {
      const int r = other / 8, c = other % 8;
      if (r - c == row - column) table[bit].Down |= uint64_t{1} << other;
      if (r + c == row + column) table[bit].Up |= uint64_t{1} << other;
    }
  }
  return table;
}

inline constexpr std::array<TDiagonals, 64> Diagonals = MakeDiagonals();

// A diagonal has one square per row and no two in one column: the sum of its eight bytes is
// their union, the line in column order.
inline unsigned DiagonalLine(uint64_t discs) {
  return static_cast<unsigned>((discs * 0x0101010101010101ull) >> 56);
}

// Column `column` as a byte, row 0 in the highest bit.
inline unsigned ColumnLine(uint64_t discs, int column) {
  return static_cast<unsigned>(
      (((discs >> column) & 0x0101010101010101ull) * 0x8040201008040201ull) >> 56);
}

}  // namespace last

// The number of discs `player` flips by playing `square` when it is the only empty square on
// the board (every other square holds a disc of one side or the other).
inline int LastFlipCount(int square, uint64_t player) {
  const int bit = BitOf(square);
  const int row = bit >> 3, column = bit & 7;
  const last::TDiagonals& diagonals = last::Diagonals[bit];
  return last::LineFlips[column][(player >> (bit & 56)) & 0xFF] +
         last::LineFlips[7 - row][last::ColumnLine(player, column)] +
         last::LineFlips[column][last::DiagonalLine(player & diagonals.Down)] +
         last::LineFlips[column][last::DiagonalLine(player & diagonals.Up)];
}

}  // namespace morvane::bits
