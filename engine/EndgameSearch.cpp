// The endgame searches: scores are final disc margins in whole discs. A series of selective
// steps (the end-cut prunes moves a shallow search predicts with a chosen probability), the
// exact solve tiered by empties (table search, table-less search below 8, last two squares), and
// the aspirated driver of the fixed levels.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/OthelloEngine.h"
#include "engine/SearchCommon.h"
#include "engine/SearchThreads.h"
#include "engine/Widgets.h"
#include "evaluation/Patterns.h"

namespace morvane {

namespace {

// Steps of the timed endgame and of the aspirated solve; the solve ends with an exact step.
constexpr std::array<double, 5> TimedSteps = {0.5, 0.7, 0.85, 0.95, 0.97};
constexpr std::array<double, 3> AspiratedSteps = {0.5, 0.7, 0.9};

// Below this many empties the end nodes hand over to the exact solver.
constexpr int ExactSolverEmpties = 14;
// Below this many empties the exact solver runs without table and move lists.
constexpr int SmallSolverEmpties = 8;
// With helper threads, nodes from this many empties mark themselves while they are searched, and
// a node with one more empty searches a move another thread is busy with after its free brothers.
constexpr int BusyMarkEmpties = 15;

// Clears a node's busy mark however the node returns.
class TBusyNode {
 public:
  TBusyNode(THashTable& table, uint32_t hashLo, uint32_t hashHi, bool marked)
      : Table(marked ? &table : nullptr), Lo(hashLo), Hi(hashHi) {
    if (Table) Table->MarkBusy(Lo, Hi);
  }
  ~TBusyNode() {
    if (Table) Table->ClearBusy(Lo, Hi);
  }
  TBusyNode(const TBusyNode&) = delete;
  TBusyNode& operator=(const TBusyNode&) = delete;

 private:
  THashTable* Table;
  uint32_t Lo, Hi;
};

// Scales a window bound in discs to millionths without overflow.
inline int32_t DiscsToScore(int32_t discs) { return std::clamp(discs, -1000, 1000) * DiscUnit; }

// A stored exact endgame result of this many empties (selective results only order moves).
inline bool IsExactEndgameEntry(const THashEntry& entry, int empties) {
  return entry.IsEndgame && entry.Depth == empties && entry.Selectivity == Infinity;
}

}  // namespace

double TOthelloEngine::InverseNormal(double p) {
  const double q = p >= 0.5 ? 1 - p : p;
  const double t = std::sqrt(std::log(1 / (q * q)));
  const double x = t - (2.515517 + 0.802853 * t + 0.010328 * t * t) /
                           (1 + 1.432728 * t + 0.189269 * t * t + 0.001308 * t * t * t);
  return p >= 0.5 ? x : -x;
}

int TOthelloEngine::EndOrderDepthFor(int empties) {
  if (empties <= 15) return 0;
  if (empties <= 19) return 1;
  if (empties <= 22) return 2;
  if (empties <= 26) return 3;
  if (empties <= 32) return 4;
  if (empties <= 36) return 5;
  return 6;  // and beyond 50, where only a very early timed endgame or the 10 x 10 board goes
}

TMpcBounds TOthelloEngine::EndCutBounds(int32_t alpha, int32_t beta) const {
  const TEvaluation& evaluation = *Evaluation;
  const int empties = EmptyCount;
  const int shallow = search::ProbeDepthFor(empties);
  search::TProbeStatistic statistic{};
  bool found = false;
  if (empties >= TEvaluation::EccFirstEmpties && empties <= TEvaluation::EccLastEmpties &&
      shallow < TEvaluation::EccShallowDepths) {
    const TEccRecord& record = evaluation.Ecc(empties, shallow);
    statistic = {record.Slope, record.Offset, record.Sigma};
    found = search::IsUsable(statistic);  // a zero record was never measured
  }
  if (!found) statistic = search::FromFit(evaluation.EndgameMpcFit, empties, empties, shallow);
  TMpcBounds bounds = search::ProbeBounds(statistic, EndCutThreshold / 1000.0,
                                          double(alpha) * DiscUnit, double(beta) * DiscUnit);
  bounds.Margin = EndCutThreshold;
  return bounds;
}

void TOthelloEngine::OrderForEndgame(MoveRecord* list, int32_t beta) {
  for (MoveRecord* move = list[0].Next; move; move = move->Next) {
    MakeMove(*move);
    ++NodeCount;
    SwapSides();
    const int shallow = EndOrderDepthFor(EmptyCount);
    int32_t value;
    if (shallow > 0) {
      int32_t margin;
      value = -PVSearch(-Infinity, Infinity, shallow, false, false, margin);
    } else {
      ++NodeCount;
      value = -Evaluate();
    }
    const double discs = value / double(DiscUnit);
    const int stability = CornerStability(OpponentColour);
    double key;
    if (value < beta) {
      key = std::round(1000 * (discs + 2.5 * stability));
    } else {
      // Likely cuts go first, the fewest replies first among them.
      const double empties = EmptyCount > 0 ? EmptyCount : 4;
      const double weight =
          (EndCutThreshold == Infinity ? 1000.0 : EndCutThreshold * 0.5) / (empties * empties);
      key =
          std::round(1000 * (1.5 * stability + discs - weight * MobilityCount())) + 1'999'900'000.0;
    }
    move->OrderKey = static_cast<int32_t>(std::clamp(key, -2147483648.0, 2147483647.0));
    SwapSides();
    UnmakeMove(*move);
  }
  SortMoves(list);
}

void TOthelloEngine::OrderEndgameMoves(MoveRecord* list, int32_t beta) {
  OrderForEndgame(list, DiscsToScore(beta));
}

int32_t TOthelloEngine::EndCutProbe(int32_t alpha, int32_t beta, int depth, bool passed) {
  int32_t unused;
  return NullWindowSearch(alpha, beta, depth, passed, false, unused);
}

// ---- Drivers ----

int32_t TOthelloEngine::TimedEndgame(int64_t allowance, MoveRecord* rootList) {
  const TParallelScope helpers(*this, [allowance](TOthelloEngine& helper, int) {
    TMoveList list;
    helper.GenerateMovesHashed(list);
    helper.TimedEndgame(allowance, list);
  });
  const int64_t start = TickCount();
  const int64_t total = std::llround(1.1 * static_cast<double>(allowance));
  const TEndgameResult selective =
      SelectiveEndgame(TimedSteps, total, rootList, EmptyCount, -Infinity, Infinity);
  if (StopRequested || selective.Score == -Infinity) return -Infinity;
  const int64_t used = TickCount() - start;
  if (used < 0.9 * static_cast<double>(total)) {
    const TEndgameResult exact =
        SelectiveEndgame({}, total - used, rootList, EmptyCount, -Infinity, Infinity);
    if (!StopRequested && exact.Score > -Infinity) return exact.Score * DiscUnit;
  }
  return selective.Score * DiscUnit;
}

TEndgameResult TOthelloEngine::SelectiveEndgame(std::span<const double> probabilities,
                                                int64_t allowance, MoveRecord* rootList, int depth,
                                                int32_t alpha, int32_t beta) {
  const TParallelScope helpers(
      *this, [steps = std::vector<double>(probabilities.begin(), probabilities.end()), depth,
              alpha, beta](TOthelloEngine& helper, int) {
        TMoveList list;
        helper.GenerateMovesHashed(list);
        helper.SelectiveEndgame(steps, Infinity, list, depth, alpha, beta);
      });
  const int64_t start = TickCount();
  if (probabilities.empty()) {
    EndProbability = 0;
    EndCutThreshold = Infinity;
    return EndRootSearch(alpha, beta, rootList, depth);
  }
  TEndgameResult result{-Infinity, PassMove, Infinity};
  for (const double probability : probabilities) {
    EndProbability = probability;
    EndCutThreshold =
        static_cast<int32_t>(std::llround(1000 * InverseNormal((probability + 1) / 2)));
    TEndgameResult value = EndRootSearch(alpha, beta, rootList, depth);
    if (StopRequested) break;  // an interrupted step proves nothing
    // The second pass finds the table filled by the first.
    const TEndgameResult again = EndRootSearch(alpha, beta, rootList, depth);
    if (StopRequested) break;
    if (again.Score > -Infinity) value = again;
    if (value.Score > -Infinity) result = value;
    if (TickCount() - start > allowance) break;
  }
  if (result.Score > -Infinity) MoveToFront(rootList, result.BestSquare);
  EndProbability = 0;
  EndCutThreshold = Infinity;
  return result;
}

int32_t TOthelloEngine::ExactSolveAspirated(int32_t alpha, int32_t beta, MoveRecord* rootList) {
  const TParallelScope helpers(*this, [alpha, beta](TOthelloEngine& helper, int) {
    TMoveList list;
    helper.GenerateMovesHashed(list);
    helper.ExactSolveAspirated(alpha, beta, list);
  });
  const int32_t playable = PlayableSquares();
  int32_t guess;
  if (const THashProbe entry = HashTable->Probe(HashLo, HashHi)) {
    guess = search::MidgameScore(*entry);
  } else {
    int32_t margin;
    guess = PVSearch(-Infinity, Infinity, std::max(EmptyCount - 12, 0), false, Evaluation->UseMpc,
                     margin);
  }
  // Final margins are even on a board whose squares all get filled, so start on an even one.
  int32_t value = std::clamp((guess / DiscUnit) & ~1, -playable, playable);

  // The window in discs, rounded outwards so that no score inside the caller's window is lost.
  const int32_t lowest =
      alpha < -playable * DiscUnit
          ? -playable
          : static_cast<int32_t>(std::floor(static_cast<double>(alpha) / DiscUnit));
  const int32_t highest =
      beta > playable * DiscUnit
          ? playable
          : static_cast<int32_t>(std::ceil(static_cast<double>(beta) / DiscUnit));

  for (size_t step = 0; step <= AspiratedSteps.size(); ++step) {
    const bool exact = step == AspiratedSteps.size();
    const std::span<const double> probabilities =
        exact ? std::span<const double>() : std::span<const double>(&AspiratedSteps[step], 1);
    const double shown = exact ? 0.0 : AspiratedSteps[step];
    value = std::max(std::min(value, highest), lowest);
    value = std::max(std::min(value, playable), -playable);
    int32_t low = std::max({value - 1, -playable, lowest});
    int32_t high = std::min({value + 1, playable, highest});
    int lastFail = 0;
    for (;;) {
      const TEndgameResult found =
          SelectiveEndgame(probabilities, Infinity, rootList, EmptyCount, low, high);
      // The last finished window's value stands.
      if (StopRequested || found.Score == -Infinity) return value * DiscUnit;
      value = found.Score;
      if (value == playable || value == -playable || (low < value && value < high) ||
          value <= lowest || value >= highest)
        break;
      const int fail = value <= low ? -1 : 1;
      // A fail high right after a fail low (or the reverse) contradicts itself: only a selective
      // step can do that, and searching on would go round in circles.
      if (fail == -lastFail) break;
      lastFail = fail;
      low = std::max({value - 1, -playable, lowest});
      high = std::min({value + 1, playable, highest});
      ShowScoreText(FormatScore(value >= 0 ? value + shown : value - shown) +
                    (fail < 0 ? " -" : " +"));
    }
  }
  return value * DiscUnit;
}

TEndgameResult TOthelloEngine::EndRootSearch(int32_t alpha, int32_t beta, MoveRecord* rootList,
                                             int depth) {
  TEndgameResult result{-Infinity, PassMove, Infinity};
  if (depth == 0 || EmptyCount == 0) {
    result.Score = FinalMargin();
    return result;
  }
  const int64_t start = TickCount();
  const int64_t startNodes = NodeCount;
  // Margins never leave -P..P, so a wider window only risks overflow in the orderings.
  const int32_t playable = PlayableSquares();
  alpha = std::max(alpha, -playable - 1);
  beta = std::min(beta, playable + 1);
  const int32_t callAlpha = alpha, callBeta = beta;

  ShowDepth(depth);
  const int count = MobilityCount();
  ++NodeCount;
  const THashProbe entry = HashTable->Probe(HashLo, HashHi);
  const int hashMove = entry ? entry->BestMove : 0;
  OrderForEndgame(rootList, DiscsToScore(beta));
  if (hashMove) MoveToFront(rootList, hashMove);
  StartHelperElsewhere(rootList);

  int index = 0;
  for (MoveRecord* move = rootList[0].Next; move && alpha < beta && !StopRequested;
       move = move->Next) {
    if (ExcludedMoves[move->Square]) continue;
    ++index;
    MakeMove(*move);
    ShowMoves(index, count, move->Square);
    SwapSides();
    int32_t margin, value;
    if (index == 1) {
      value = -EndSearchPV(-beta, -alpha, false, margin);
    } else {
      value = -EndSearchZW(-alpha - 1, -alpha, false, margin);
      if (alpha < value && value < beta) {
        int32_t researchMargin;
        value = -EndSearchPV(-beta, -value, false, researchMargin);
        margin = std::min(margin, researchMargin);
      }
    }
    SwapSides();
    UnmakeMove(*move);
    if (StopRequested) break;
    result.Margin = std::min(result.Margin, margin);
    if (value > result.Score) {
      result.Score = value;
      result.BestSquare = move->Square;
      if (value > alpha) alpha = value;
      ReportBestLine(depth);
      ShowScore(value >= 0 ? value + EndProbability : value - EndProbability);
      ShowNodes(NodeCount);
    }
  }
  if (result.Score > -Infinity) {
    MoveToFront(rootList, result.BestSquare);
    if (!StopRequested)
      HashTable->Store(HashLo, HashHi, depth, callAlpha, callBeta, result.Score, result.BestSquare,
                       result.Margin, true);
  }
  ReportBestLine(depth);
  ShowNodes(NodeCount);
  ShowSpeed(NodeCount - startNodes, TickCount() - start);
  return result;
}

// ---- End nodes with the table ----

// The principal-variation and null-window end nodes share one body; only the null window makes
// the end-cut and the enhanced transposition cut-off, only the principal variation re-searches.
// Children are searched through the virtual entries, so that an engine's own solver takes over
// where it wants to.
template <bool PvNode>
int32_t TOthelloEngine::EndNode(int32_t alpha, int32_t beta, bool passed, int32_t& margin) {
  margin = Infinity;
  if (EmptyCount < ExactSolverEmpties) return SolveExact(alpha, beta, passed);
  if (TimedSearch && TickCount() - SearchStart >= SearchLimit) StopRequested = true;
  if (StopRequested) return 0;
  ++NodeCount;

  int hashMove = 0;
  if (const THashProbe entry = HashTable->Probe(HashLo, HashHi)) {
    if (PvNode || EndCutThreshold < Infinity || entry->IsEndgame) hashMove = entry->BestMove;
    if (IsExactEndgameEntry(*entry, EmptyCount) &&
        search::NarrowWindow(*entry, entry->Score, alpha, beta))
      return entry->Score;
  }

  if constexpr (!PvNode) {
    const int32_t playable = PlayableSquares();
    if (EmptyCount > 11 && EndCutThreshold < Infinity && (alpha > -playable || beta < playable)) {
      const TMpcBounds bounds = EndCutBounds(alpha, beta);
      if (bounds.Usable) {
        const int shallow = search::ProbeDepthFor(EmptyCount);
        const int64_t estimate = Evaluate();
        const int64_t fromAlpha = std::llabs(estimate - int64_t{alpha} * DiscUnit);
        const int64_t fromBeta = std::llabs(estimate - int64_t{beta} * DiscUnit);
        if (fromAlpha > fromBeta) {
          const int32_t bound = bounds.BetaBound;
          if (beta < playable + 1 && bound > -Infinity && bound < Infinity &&
              EndCutProbe(bound - 1, bound, shallow, passed) >= bound) {
            margin = EndCutThreshold;
            return beta;
          }
        } else if (alpha >= -playable) {
          const int32_t bound = bounds.AlphaBound;
          if (bound > -Infinity && bound < Infinity &&
              EndCutProbe(bound, bound + 1, shallow, passed) <= bound) {
            margin = EndCutThreshold;
            return alpha;
          }
        }
      }
    }
  }
  ProcessPendingEvents();

  TMoveList list;
  GenerateMovesHashed(list);
  if (!list[0].Next) {
    if (passed) return FinalMargin();
    MakePass();
    const int32_t value = PvNode ? -EndSearchPV(-beta, -alpha, true, margin)
                                 : -EndSearchZW(-beta, -alpha, true, margin);
    MakePass();
    return value;
  }
  // A move that flips every opponent disc ends the game with the best score there is.
  for (const MoveRecord* move = list[0].Next; move; move = move->Next)
    if (move->FlipCount == OppDiscs) return PlayableSquares();
  if constexpr (!PvNode) {
    // Enhanced transposition cut-off: a child already proven bad enough for the opponent.
    for (const MoveRecord* move = list[0].Next; move; move = move->Next) {
      const THashProbe child =
          HashTable->Probe(HashLo ^ move->HashDeltaLo, HashHi ^ move->HashDeltaHi);
      if (!child || !IsExactEndgameEntry(*child, EmptyCount - 1)) continue;
      ++NodeCount;
      if (child->IsUpperBound && -child->Score >= beta) return -child->Score;
    }
  }
  // The hash move goes first, and the others are ordered only once it has failed to cut: most
  // nodes with a hash move cut on it, and the ordering's shallow searches are the dearest part
  // of a node. The others end up in the order they would have had with it.
  const auto order = [this, beta](MoveRecord* head) {
    if (EmptyCount > 11)
      OrderEndgameMoves(head, beta);
    else
      OrderByMobility(head);
  };
  if (hashMove) MoveToFront(list, hashMove);
  const bool orderLater = hashMove && list[0].Next->Square == hashMove;
  if (!orderLater) order(list);

  // The window actually searched, after the table narrowed it: the stored flags must describe it.
  const int32_t searchedAlpha = alpha, searchedBeta = beta;
  const bool shared = HashTable->IsShared();
  const TBusyNode busy(*HashTable, HashLo, HashHi, shared && EmptyCount >= BusyMarkEmpties);
  const bool deferBusy = shared && EmptyCount > BusyMarkEmpties;
  MoveRecord* deferred[MaxMoves];
  int deferredCount = 0;
  int32_t best = -Infinity;
  int bestSquare = 0;
  const auto searchMove = [&](MoveRecord* move) {
    MakeMove(*move);
    SwapSides();
    int32_t childMargin, value;
    if (PvNode && best == -Infinity) {
      value = -EndSearchPV(-beta, -alpha, false, childMargin);
    } else {
      value = -EndSearchZW(-alpha - 1, -alpha, false, childMargin);
      if (PvNode && alpha < value && value < beta) {
        // The re-search window came from the null-window answer: a cut there taints it too.
        int32_t researchMargin;
        value = -EndSearchPV(-beta, -value, false, researchMargin);
        childMargin = std::min(childMargin, researchMargin);
      }
    }
    SwapSides();
    UnmakeMove(*move);
    if (StopRequested) return false;
    margin = std::min(margin, childMargin);
    if (value > best) {
      best = value;
      bestSquare = move->Square;
      if (value > alpha) alpha = value;
    }
    return true;
  };
  for (MoveRecord* move = list[0].Next; move && alpha < beta; move = move->Next) {
    // The eldest brother is never put off: it sets the bound the others are searched against.
    if (deferBusy && best > -Infinity &&
        HashTable->IsBusy(HashLo ^ move->HashDeltaLo, HashHi ^ move->HashDeltaHi)) {
      deferred[deferredCount++] = move;
      continue;
    }
    if (!searchMove(move)) return 0;
    if (orderLater && move == list[0].Next && alpha < beta) order(move);
  }
  for (int i = 0; i < deferredCount && alpha < beta; ++i)
    if (!searchMove(deferred[i])) return 0;
  HashTable->Store(HashLo, HashHi, EmptyCount, searchedAlpha, searchedBeta, best, bestSquare,
                   margin, true);
  return best;
}

int32_t TOthelloEngine::EndSearchPV(int32_t alpha, int32_t beta, bool passed, int32_t& margin) {
  return EndNode<true>(alpha, beta, passed, margin);
}

int32_t TOthelloEngine::EndSearchZW(int32_t alpha, int32_t beta, bool passed, int32_t& margin) {
  return EndNode<false>(alpha, beta, passed, margin);
}

// ---- Exact solver ----

int32_t TOthelloEngine::SolveExact(int32_t alpha, int32_t beta, bool passed) {
  RecountRegions();
  return ExactSearch(alpha, beta, passed);
}

int32_t TOthelloEngine::ExactSearch(int32_t alpha, int32_t beta, bool passed) {
  if (EmptyCount < SmallSolverEmpties) return SolveSmall(alpha, beta, passed);
  if (StopRequested) return 0;
  ++NodeCount;

  int hashMove = 0;
  if (const THashProbe entry = HashTable->Probe(HashLo, HashHi)) {
    hashMove = entry->BestMove;
    if (IsExactEndgameEntry(*entry, EmptyCount) &&
        search::NarrowWindow(*entry, entry->Score, alpha, beta))
      return entry->Score;
  }
  if (EmptyCount > 10) {
    ProcessPendingEvents();
    if (StopRequested) return 0;
  }

  TMoveList list;
  GenerateMovesHashed(list);
  if (!list[0].Next) {
    if (passed) return FinalMargin();
    MakePass();
    const int32_t value = -ExactSearch(-beta, -alpha, true);
    MakePass();
    return value;
  }
  for (const MoveRecord* move = list[0].Next; move; move = move->Next)
    if (move->FlipCount == OppDiscs) return PlayableSquares();
  if (EmptyCount > SmallSolverEmpties) {
    for (const MoveRecord* move = list[0].Next; move; move = move->Next) {
      const THashProbe child =
          HashTable->Probe(HashLo ^ move->HashDeltaLo, HashHi ^ move->HashDeltaHi);
      if (!child || !IsExactEndgameEntry(*child, EmptyCount - 1)) continue;
      ++NodeCount;
      if (child->IsUpperBound && -child->Score >= beta) return -child->Score;
    }
  }
  OrderByMobility(list);
  if (hashMove) MoveToFront(list, hashMove);

  const int32_t searchedAlpha = alpha, searchedBeta = beta;
  int32_t best = -Infinity;
  int bestSquare = 0;
  for (MoveRecord* move = list[0].Next; move && alpha < beta; move = move->Next) {
    MakeMoveParity(*move);
    SwapSides();
    int32_t value;
    if (best == -Infinity) {
      value = -ExactSearch(-beta, -alpha, false);
    } else {
      value = -ExactSearch(-alpha - 1, -alpha, false);
      if (alpha < value && value < beta) value = -ExactSearch(-beta, -value, false);
    }
    SwapSides();
    UnmakeMoveParity(*move);
    if (StopRequested) return 0;
    if (value > best) {
      best = value;
      bestSquare = move->Square;
      if (value > alpha) alpha = value;
    }
  }
  HashTable->Store(HashLo, HashHi, EmptyCount, searchedAlpha, searchedBeta, best, bestSquare,
                   Infinity, true);
  return best;
}

int32_t TOthelloEngine::SolveSmall(int32_t alpha, int32_t beta, bool passed) {
  if (EmptyCount == 2) return SolveLastTwo(alpha, beta, passed);
  ++NodeCount;
  MoveRecord move;
  int32_t best = -Infinity;
  for (const TEmptyNode* node = EmptyHead.Next; node->Square; node = node->Next) {
    const int square = node->Square;
    const int flips = FlipInPlace(square, move);
    if (flips == 0) continue;
    OwnDiscs += flips + 1;
    OppDiscs -= flips;
    --EmptyCount;
    UnlinkEmpty(square);
    --RegionEmpties[RegionOf[square]];
    SwapSides();
    const int32_t value = -SolveSmall(-beta, -alpha, false);
    SwapSides();
    UndoFlipInPlace(move);
    OwnDiscs -= flips + 1;
    OppDiscs += flips;
    ++EmptyCount;
    RelinkEmpty(square);
    ++RegionEmpties[RegionOf[square]];
    if (value > best) {
      best = value;
      if (value >= beta) return value;
      if (value > alpha) alpha = value;
    }
  }
  if (best > -Infinity) return best;
  if (passed) return FinalMargin();
  SwapSides();
  const int32_t value = -SolveSmall(-beta, -alpha, true);
  SwapSides();
  return value;
}

int32_t TOthelloEngine::SolveLastTwo(int32_t alpha, int32_t beta, bool passed) {
  const int squares[2] = {EmptyHead.Next->Square, EmptyHead.Next->Next->Square};
  const int32_t disc = OwnDiscs - OppDiscs;
  // After the first move the last square changes the margin by at most two discs per flip.
  const int32_t spread = 2 * MaxFlipsPerMove;
  MoveRecord move;
  int32_t best = -Infinity;
  for (int i = 0; i < 2 && best < beta; ++i) {
    const int flips = FlipInPlace(squares[i], move);
    if (flips == 0) continue;
    ++NodeCount;
    const int other = squares[1 - i];
    const int32_t c = disc + 2 * flips;  // the margin after both squares, less one
    int32_t value;
    if (c - spread >= beta) {
      UndoFlipInPlace(move);
      return c - spread;
    }
    if (alpha >= c + spread + 2) {
      // This line cannot beat alpha, but the other square still may.
      value = c + spread + 2;
    } else {
      SwapSides();
      const int replies = CountFlips(other);
      SwapSides();
      if (replies > 0) {
        ++NodeCount;
        value = c - 2 * replies;
      } else if (const int own = CountFlips(other); own > 0) {
        ++NodeCount;
        value = c + 2 * own + 2;
      } else {
        value = c >= 0 ? c + 2 : (c == -1 ? 0 : c);  // nobody fills it: it goes to the winner
      }
    }
    UndoFlipInPlace(move);
    best = std::max(best, value);
  }
  if (best > -Infinity) return best;
  if (!passed) {
    SwapSides();
    const int32_t value = -SolveLastTwo(-beta, -alpha, true);
    SwapSides();
    return value;
  }
  return disc > 0 ? disc + 2 : (disc < 0 ? disc - 2 : 0);
}

}  // namespace morvane
