#include "game/MoveValues.h"

#include <algorithm>
#include <cstdio>

#include "engine/Widgets.h"

namespace morvane {

namespace {

// The values of one depth. `known` holds the exact values of an earlier depth, which a deeper
// search would only repeat.
TMoveValues ValuesAt(TOthelloEngine& engine, const TPosition& position,
                     const TFixedSearchInfo& level, const std::vector<TMoveValue>* known,
                     const TMoveValueHooks& hooks) {
  TMoveValues values;
  values.Depth = level.Depth;
  int squares[MaxMoves];
  int count = position.LegalMoves(squares);
  if (count == 0) {
    if (!position.MustPass()) return values;
    squares[0] = PassMove;
    count = 1;
  }
  TFixedSearchInfo childLevel = level;
  childLevel.Depth = std::max(level.Depth - 1, 0);
  for (int index = 0; index < count; ++index) {
    TMoveValue value;
    value.Square = squares[index];
    const auto earlier =
        known ? std::find_if(known->begin(), known->end(),
                             [&](const TMoveValue& each) { return each.Square == value.Square; })
              : std::vector<TMoveValue>::const_iterator();
    if (known && earlier != known->end() && earlier->Exact) {
      value = *earlier;
      value.Nodes = 0;
    } else {
      // The window's stop and the protocol's input reach the engine through the pump.
      ProcessPendingEvents();
      if (engine.StopRequested) {
        values.Complete = false;
        break;
      }
      TPosition child = position;
      child.Play(value.Square);
      const TPositionValue childValue = SearchPosition(engine, child, childLevel);
      if (childValue.Stopped) {
        values.Complete = false;
        break;
      }
      value.Score = -childValue.Score;
      value.Exact = childValue.Exact;
      value.Nodes = childValue.Nodes;
    }
    values.Moves.push_back(value);
    if (hooks.Valued) hooks.Valued(value, index + 1, count);
  }
  std::stable_sort(values.Moves.begin(), values.Moves.end(),
                   [](const TMoveValue& a, const TMoveValue& b) { return a.Score > b.Score; });
  return values;
}

}  // namespace

std::string ValueText(int32_t score) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f", static_cast<double>(score) / DiscUnit);
  return std::string(text) == "-0.00" ? "0.00" : text;
}

TPositionValue SearchPosition(TOthelloEngine& engine, const TPosition& position,
                              const TFixedSearchInfo& level) {
  TPositionValue value;
  if (position.IsFinished()) {
    const int margin = position.FinalScore();
    value.Score = (position.ToMove() == TColour::Black ? margin : -margin) * DiscUnit;
    value.Exact = true;
    return value;
  }
  // The engine answers a position without a move by a pass worth 0; the game goes on instead.
  TPosition searched = position;
  const bool pass = !position.HasMove();
  if (pass) searched.SwapSide();
  const PositionImage image = searched.Image();
  engine.SetPosition(image.Board, image.SideToMove);
  const TSearchResult result = engine.SearchFixedLevel(level);
  value.Stopped = engine.StopRequested;
  value.Nodes = engine.NodeCount;
  value.Score = pass ? -result.Score : result.Score;
  value.BestSquare = pass ? PassMove : result.BestSquare;
  value.Exact = position.Empties() <= level.ExactEmpties;
  return value;
}

TMoveValues ValueMoves(TOthelloEngine& engine, const TPosition& position,
                       const TFixedSearchInfo& level, const TMoveValueHooks& hooks) {
  engine.StopRequested = false;
  return ValuesAt(engine, position, level, nullptr, hooks);
}

TMoveValues ValueMovesIteratively(TOthelloEngine& engine, const TPosition& position,
                                  const TFixedSearchInfo& level, const TMoveValueHooks& hooks) {
  engine.StopRequested = false;
  TMoveValues deepest;
  bool any = false;
  for (int depth = std::min(1, level.Depth); depth <= level.Depth; ++depth) {
    TFixedSearchInfo at = level;
    at.Depth = depth;
    TMoveValues values = ValuesAt(engine, position, at, any ? &deepest.Moves : nullptr, hooks);
    if (!values.Complete) {
      if (!any) return values;
      deepest.Complete = false;
      return deepest;
    }
    deepest = std::move(values);
    any = true;
    if (hooks.DepthDone) hooks.DepthDone(deepest);
    // Nothing deeper changes a position whose moves are all solved.
    if (std::all_of(deepest.Moves.begin(), deepest.Moves.end(),
                    [](const TMoveValue& each) { return each.Exact; }))
      break;
  }
  return deepest;
}

}  // namespace morvane
