#include "game/GameAnalysis.h"

#include <algorithm>
#include <optional>

#include "engine/Widgets.h"
#include "game/MoveValues.h"

namespace morvane {

namespace {

constexpr int32_t DiscsOf(int discs) { return discs * DiscUnit; }

// The searches of one analysis on one engine; every search first gives a pending stop its
// chance, since the engine clears the request when a search starts.
class TAnalyser {
 public:
  TAnalyser(TOthelloEngine& engine, const TFixedSearchInfo& level) : Engine(engine), Level(level) {
    ChildLevel = level;
    ChildLevel.Depth = std::max(level.Depth - 1, 0);
  }

  // The position's value at `level`; nothing when stopped.
  std::optional<TPositionValue> Search(const TPosition& position, const TFixedSearchInfo& level) {
    ProcessPendingEvents();
    if (Engine.StopRequested) return std::nullopt;
    const TPositionValue value = SearchPosition(Engine, position, level);
    Nodes += value.Nodes;
    if (value.Stopped) return std::nullopt;
    return value;
  }

  // A move's value from the mover's view: its position searched one level shallower.
  std::optional<TPositionValue> MoveValue(const TPosition& position, int square) {
    TPosition child = position;
    child.Play(square);
    auto value = Search(child, ChildLevel);
    if (value) value->Score = -value->Score;
    return value;
  }

  // One ply; `next` is the analysed ply after it, when there is one.
  bool Analyse(const TPosition& position, int played, const TPlyAnalysis* next, TPlyAnalysis& ply) {
    const int64_t before = Nodes;
    ply.Mover = position.ToMove();
    ply.Played = played;
    if (played == PassMove) {
      // The pass's value is the opponent's best, negated; the pass loses nothing.
      if (next) {
        ply.PlayedValue = -next->BestValue;
        ply.Exact = next->Exact;
      } else {
        const auto value = Search(position, Level);
        if (!value) return false;
        ply.PlayedValue = value->Score;
        ply.Exact = value->Exact;
      }
      ply.Best = PassMove;
      ply.BestValue = ply.PlayedValue;
    } else {
      // Every move leads into the exact part: the root is solved, so that the best value is
      // the exact maximum and not a midgame guess among exact values.
      TFixedSearchInfo rootLevel = Level;
      const bool solved = position.Empties() - 1 <= Level.ExactEmpties;
      if (solved) rootLevel.ExactEmpties = std::max(Level.ExactEmpties, position.Empties());
      const auto root = Search(position, rootLevel);
      if (!root) return false;
      const auto playedValue = MoveValue(position, played);
      if (!playedValue) return false;
      ply.PlayedValue = playedValue->Score;
      ply.Best = root->BestSquare;
      if (solved) {
        ply.BestValue = root->Score;
        ply.Exact = true;
      } else if (root->BestSquare == played) {
        ply.BestValue = ply.PlayedValue;
      } else {
        const auto bestValue = MoveValue(position, root->BestSquare);
        if (!bestValue) return false;
        ply.BestValue = bestValue->Score;
      }
      // The root search blends its last two depths; when the played move's own value comes
      // out higher, the played move is the best one found.
      if (ply.PlayedValue >= ply.BestValue) {
        ply.Best = played;
        ply.BestValue = ply.PlayedValue;
      }
      ply.Loss = ply.BestValue - ply.PlayedValue;
    }
    ply.Nodes = Nodes - before;
    ply.Done = true;
    return true;
  }

  int64_t Nodes = 0;

 private:
  TOthelloEngine& Engine;
  TFixedSearchInfo Level;
  TFixedSearchInfo ChildLevel;
};

}  // namespace

int TGameAnalysis::FirstDone() const {
  int first = static_cast<int>(Plies.size());
  while (first > 0 && Plies[static_cast<size_t>(first - 1)].Done) --first;
  return first;
}

TColourSummary TGameAnalysis::Summary(TColour colour) const {
  TColourSummary summary;
  for (const TPlyAnalysis& ply : Plies) {
    if (!ply.Done || ply.Mover != colour) continue;
    summary.Loss += ply.Loss;
    if (ply.Loss > DiscsOf(2)) ++summary.MistakesOver2;
    if (ply.Loss > DiscsOf(4)) ++summary.MistakesOver4;
    if (ply.Loss > DiscsOf(8)) ++summary.MistakesOver8;
  }
  return summary;
}

std::vector<std::optional<double>> TGameAnalysis::BlackCurve() const {
  std::vector<std::optional<double>> curve(Plies.size() + 1);
  const auto forBlack = [](TColour mover, int32_t value) {
    const double discs = static_cast<double>(value) / DiscUnit;
    return mover == TColour::Black ? discs : -discs;
  };
  for (size_t ply = 0; ply < Plies.size(); ++ply) {
    const TPlyAnalysis& analysis = Plies[ply];
    if (analysis.Done) curve[ply] = forBlack(analysis.Mover, analysis.BestValue);
  }
  if (!Plies.empty() && Plies.back().Done)
    curve.back() = forBlack(Plies.back().Mover, Plies.back().PlayedValue);
  return curve;
}

TGameAnalysis AnalyseGame(TOthelloEngine& engine, const TGame& game, const TFixedSearchInfo& level,
                          const TAnalysisProgress& progress) {
  engine.StopRequested = false;
  TGameAnalysis analysis;
  const int total = game.Plies();
  analysis.Plies.resize(static_cast<size_t>(total));
  // Replayed once from the start: PositionAt replays every time.
  std::vector<TPosition> positions;
  positions.reserve(static_cast<size_t>(total));
  TPosition position = game.Start();
  for (const int square : game.Moves()) {
    positions.push_back(position);
    position.Play(square);
  }
  TAnalyser analyser(engine, level);
  for (int ply = total - 1; ply >= 0; --ply) {
    const auto index = static_cast<size_t>(ply);
    const TPlyAnalysis* next = ply + 1 < total ? &analysis.Plies[index + 1] : nullptr;
    if (!analyser.Analyse(positions[index], game.Moves()[index], next, analysis.Plies[index])) {
      analysis.Plies[index] = TPlyAnalysis();
      analysis.Complete = false;
      break;
    }
    if (progress) progress(ply, analysis.Plies[index], total - ply, total);
  }
  analysis.Nodes = analyser.Nodes;
  return analysis;
}

}  // namespace morvane
