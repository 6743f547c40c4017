// The move rules on a bordered cell array (a mailbox board of stride 10 or 12): a disc placed on
// an empty square flips every run of opposing discs that an own disc closes. The border cells
// (and the octagon's cut corners) hold OutsideCell, which ends every walk, so no bounds are
// checked. One template per direction: the step is a constant in every loop.
#pragma once

#include <cstdint>
#include <utility>

namespace morvane::rays {

template <int Step>
inline int RecordRun(const int8_t* board, int square, int8_t own, int8_t opp, int32_t* flips) {
  int p = square + Step;
  if (board[p] != opp) return 0;
  while (board[p + Step] == opp) p += Step;
  if (board[p + Step] != own) return 0;
  int count = 0;
  for (int q = square + Step; q != p + Step; q += Step) flips[count++] = q;
  return count;
}

template <int Step>
inline int CountRun(const int8_t* board, int square, int8_t own, int8_t opp) {
  int p = square + Step;
  if (board[p] != opp) return 0;
  while (board[p + Step] == opp) p += Step;
  return board[p + Step] == own ? (p - square) / Step : 0;
}

template <int Step>
inline bool ClosesRun(const int8_t* board, int square, int8_t own, int8_t opp) {
  int p = square + Step;
  if (board[p] != opp) return false;
  while (board[p + Step] == opp) p += Step;
  return board[p + Step] == own;
}

// The orders in which flips are recorded, direction by direction, nearest first in each: the
// engine's direction table (east, south, south-west, south-east, west, north, north-east,
// north-west) or that table walked backwards, as the generic engine's scan does.
enum class TFlipOrder { Table, Scan };

template <int Width, TFlipOrder Order>
inline constexpr int Steps[8] = {1,  Width,  Width - 1,  Width + 1,
                                 -1, -Width, -Width + 1, -Width - 1};
template <int Width>
inline constexpr int Steps<Width, TFlipOrder::Scan>[8] = {-Width - 1, -Width + 1, -Width, -1,
                                                          Width + 1,  Width - 1,  Width,  1};

// The flips of a disc of `own` on `square`, recorded in the given order; returns their count.
template <int Width, TFlipOrder Order = TFlipOrder::Scan>
inline int RecordFlips(const int8_t* board, int square, int8_t own, int8_t opp, int32_t* flips) {
  return [&]<int... D>(std::integer_sequence<int, D...>) {
    int count = 0;
    ((count += RecordRun<Steps<Width, Order>[D]>(board, square, own, opp, flips + count)), ...);
    return count;
  }
  (std::make_integer_sequence<int, 8>{});
}

template <int Width>
inline int CountFlips(const int8_t* board, int square, int8_t own, int8_t opp) {
  return [&]<int... D>(std::integer_sequence<int, D...>) {
    return (CountRun<Steps<Width, TFlipOrder::Table>[D]>(board, square, own, opp) + ...);
  }
  (std::make_integer_sequence<int, 8>{});
}

template <int Width>
inline bool FlipsAny(const int8_t* board, int square, int8_t own, int8_t opp) {
  return [&]<int... D>(std::integer_sequence<int, D...>) {
    return (ClosesRun<Steps<Width, TFlipOrder::Table>[D]>(board, square, own, opp) || ...);
  }
  (std::make_integer_sequence<int, 8>{});
}

// Runs `action.template operator()<Width>()` for a board of side 8 (width 10) or 10 (width 12).
template <class Action>
inline decltype(auto) WithWidth(int width, Action&& action) {
  if (width == 10) return action.template operator()<10>();
  return action.template operator()<12>();
}

// The same rules for a width known only at run time.
inline int RecordFlips(int width, const int8_t* board, int square, int8_t own, int8_t opp,
                       int32_t* flips) {
  return WithWidth(width, [&]<int W>() { return RecordFlips<W>(board, square, own, opp, flips); });
}

inline bool FlipsAny(int width, const int8_t* board, int square, int8_t own, int8_t opp) {
  return WithWidth(width, [&]<int W>() { return FlipsAny<W>(board, square, own, opp); });
}

}  // namespace morvane::rays
