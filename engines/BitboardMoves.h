// The per-square move routines of the 8 x 8 bitboards. Every square gets its own fully unrolled
// routine: for each direction the run of opponent discs and its closing own disc are found with
// a handful of bit operations on that direction's constant mask, and a closed run costs one OR,
// one XOR and, in the hashed routine, one constant hash change per run length. Masks and keys
// are computed here at compile time from the board geometry and the key generator of the
// transposition table, so nothing is typed in by hand.
//
// Bit numbering: the bordered square 10 * row + column (both 1..8) is bit
// 8 * (row - 1) + (column - 1); square 11 is bit 0, 88 is bit 63.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

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
  const uint64_t flips = AllRayFlipsHashed<Square>(player, gegner, lo, hi,
                                                   std::make_integer_sequence<int, 8>{});
  if (!flips) return 0;
  player |= flips | BitMask(Square);
  gegner ^= flips;
  hashLo ^= lo;
  hashHi ^= hi;
  return std::popcount(flips);
}

template <int Square>
int PlayAt(uint64_t& player, uint64_t& gegner) {
  const uint64_t flips =
      AllRayFlips<Square>(player, gegner, std::make_integer_sequence<int, 8>{});
  if (!flips) return 0;
  player |= flips | BitMask(Square);
  gegner ^= flips;
  return std::popcount(flips);
}

template <int Square>
int CountAt(uint64_t player, uint64_t gegner) {
  return std::popcount(AllRayFlips<Square>(player, gegner, std::make_integer_sequence<int, 8>{}));
}

inline int PlayHashedNowhere(uint64_t&, uint64_t&, uint32_t&, uint32_t&) { return 0; }
inline int PlayNowhere(uint64_t&, uint64_t&) { return 0; }
inline int CountNowhere(uint64_t, uint64_t) { return 0; }

using TPlayHashedFn = int (*)(uint64_t&, uint64_t&, uint32_t&, uint32_t&);
using TPlayFn = int (*)(uint64_t&, uint64_t&);
using TCountFn = int (*)(uint64_t, uint64_t);

template <int Cell>
constexpr TPlayHashedFn PlayHashedEntry() {
  if constexpr (IsSquare(Cell))
    return &PlayHashedAt<Cell>;
  else
    return &PlayHashedNowhere;
}
template <int Cell>
constexpr TPlayFn PlayEntry() {
  if constexpr (IsSquare(Cell))
    return &PlayAt<Cell>;
  else
    return &PlayNowhere;
}
template <int Cell>
constexpr TCountFn CountEntry() {
  if constexpr (IsSquare(Cell))
    return &CountAt<Cell>;
  else
    return &CountNowhere;
}

template <int... Cell>
constexpr std::array<TPlayHashedFn, BoardCells> MakePlayHashedTable(
    std::integer_sequence<int, Cell...>) {
  return {PlayHashedEntry<Cell>()...};
}
template <int... Cell>
constexpr std::array<TPlayFn, BoardCells> MakePlayTable(std::integer_sequence<int, Cell...>) {
  return {PlayEntry<Cell>()...};
}
template <int... Cell>
constexpr std::array<TCountFn, BoardCells> MakeCountTable(std::integer_sequence<int, Cell...>) {
  return {CountEntry<Cell>()...};
}

inline constexpr std::array<TPlayHashedFn, BoardCells> PlayHashedTable =
    MakePlayHashedTable(std::make_integer_sequence<int, BoardCells>{});
inline constexpr std::array<TPlayFn, BoardCells> PlayTable =
    MakePlayTable(std::make_integer_sequence<int, BoardCells>{});
inline constexpr std::array<TCountFn, BoardCells> CountTable =
    MakeCountTable(std::make_integer_sequence<int, BoardCells>{});

}  // namespace detail

// Plays `square` for `player` against `gegner`: flips the runs it closes on both bitboards and
// turns them over in the two hash words. Returns the number of discs flipped; a move that flips
// nothing changes nothing. The square is trusted to be empty; a cell off the board returns 0.
inline int PlayHashed(int square, uint64_t& player, uint64_t& gegner, uint32_t& hashLo,
                      uint32_t& hashHi) {
  if (static_cast<unsigned>(square) >= BoardCells) return 0;
  return detail::PlayHashedTable[square](player, gegner, hashLo, hashHi);
}

// As PlayHashed without the hash.
inline int Play(int square, uint64_t& player, uint64_t& gegner) {
  if (static_cast<unsigned>(square) >= BoardCells) return 0;
  return detail::PlayTable[square](player, gegner);
}

// The number of discs a move of `player` on `square` would flip.
inline int CountFlips(int square, uint64_t player, uint64_t gegner) {
  if (static_cast<unsigned>(square) >= BoardCells) return 0;
  return detail::CountTable[square](player, gegner);
}

}  // namespace morvane::bits
