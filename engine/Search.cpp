// The midgame search: the two drivers, the principal-variation node searches with the table and
// multi-prob-cut, the table-less searches near the leaves, and the move orderings.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/OthelloEngine.h"
#include "engine/SearchCommon.h"
#include "engine/SearchThreads.h"
#include "engine/ShallowSearch.h"
#include "engine/Widgets.h"
#include "evaluation/Patterns.h"

namespace morvane {

// ---- Move lists ----

void TOthelloEngine::MoveToFront(MoveRecord* list, int square) {
  for (MoveRecord* previous = list; previous->Next; previous = previous->Next) {
    MoveRecord* move = previous->Next;
    if (move->Square != square) continue;
    if (previous != list) {
      previous->Next = move->Next;
      move->Next = list->Next;
      list->Next = move;
    }
    return;
  }
}

void TOthelloEngine::SortMoves(MoveRecord* list) {
  // Selection sort: the lists are short, and taking the first of equal keys keeps it stable.
  for (MoveRecord* placed = list; placed->Next; placed = placed->Next) {
    MoveRecord* bestPrevious = placed;
    for (MoveRecord* previous = placed->Next; previous->Next; previous = previous->Next)
      if (previous->Next->OrderKey > bestPrevious->Next->OrderKey) bestPrevious = previous;
    if (bestPrevious == placed) continue;
    MoveRecord* best = bestPrevious->Next;
    bestPrevious->Next = best->Next;
    best->Next = placed->Next;
    placed->Next = best;
  }
}

int TOthelloEngine::OrderingDepthFor(int remainingDepth) {
  if (remainingDepth <= 6) return 0;
  if (remainingDepth <= 10) return 1;
  if (remainingDepth <= 13) return 2;
  if (remainingDepth <= 16) return 3;
  if (remainingDepth <= 21) return 4;
  if (remainingDepth <= 25) return 5;
  if (remainingDepth <= 30) return 6;
  return 0;  // so deep a search is rare and its nodes are cheap to count, not to order
}

void TOthelloEngine::OrderByMobility(MoveRecord* list) {
  for (MoveRecord* move = list[0].Next; move; move = move->Next) {
    MakeMoveParity(*move);
    ++NodeCount;
    SwapSides();
    move->OrderKey = CornerStability(OpponentColour) - 16 * MobilityCount();
    SwapSides();
    UnmakeMoveParity(*move);
  }
  SortMoves(list);
}

void TOthelloEngine::OrderBySearch(MoveRecord* list, int depth) {
  const int shallow = OrderingDepthFor(depth);
  for (MoveRecord* move = list[0].Next; move; move = move->Next) {
    ++NodeCount;
    MakeMove(*move);
    SwapSides();
    if (shallow > 0) {
      int32_t margin;
      move->OrderKey = -PVSearch(-Infinity, Infinity, shallow, false, false, margin);
    } else {
      ++NodeCount;
      move->OrderKey = -Evaluate();
    }
    SwapSides();
    UnmakeMove(*move);
  }
  SortMoves(list);
}

// ---- Multi-prob-cut ----

int TOthelloEngine::MpcShallowDepth(int depth) {
  return depth > 3 ? search::ProbeDepthFor(depth) : -1;
}

TMpcBounds TOthelloEngine::MpcBounds(int depth, int shallow, int32_t alpha, int32_t beta) const {
  const TEvaluation& evaluation = *Evaluation;
  const int discs = OwnDiscs + OppDiscs;
  search::TProbeStatistic statistic{};
  bool found = false;
  if (depth <= evaluation.MpcTableMaxDepth && depth >= 0 && depth < TEvaluation::NpcDepths &&
      shallow >= 0 && shallow < TEvaluation::NpcDepths && discs >= 1 &&
      discs <= TEvaluation::NpcDiscs && !evaluation.NpcTable.empty()) {
    const TNpcRecord& record = evaluation.Npc(discs, depth, shallow);
    // A record with a zero field was never measured.
    constexpr double Tiny = 1e-12;
    if (std::abs(record.Slope) >= Tiny && std::abs(record.Offset) >= Tiny &&
        std::abs(record.Sigma) >= Tiny && std::abs(record.Slope) <= 3) {
      statistic = {record.Slope, record.Offset, record.Sigma};
      found = search::IsUsable(statistic);
    }
  }
  if (!found) statistic = search::FromFit(evaluation.MidgameMpcFit, EmptyCount, depth, shallow);
  return search::ProbeBounds(statistic, evaluation.MpcThreshold, alpha, beta);
}

// ---- Node searches ----

int32_t TOthelloEngine::LeafSearch(int32_t alpha, int32_t beta, bool passed) {
  return search::LeafSearchOf(*this, alpha, beta, passed);
}

int32_t TOthelloEngine::ShallowSearch(int32_t alpha, int32_t beta, int depth, bool passed) {
  return search::ShallowSearchOf(*this, alpha, beta, depth, passed);
}

// The principal-variation and null-window nodes share one body; they differ in when a node is
// counted, which table entries may cut, the probability cut (null window only) and the
// re-search (principal variation only).
template <bool PvNode>
int32_t TOthelloEngine::AlphaBeta(int32_t alpha, int32_t beta, int depth, bool passed, bool useMpc,
                                  int32_t& margin) {
  margin = Infinity;
  if (StopRequested) return 0;
  if constexpr (PvNode) {
    if (depth <= Evaluation->ShallowSearchDepth) return ShallowSearch(alpha, beta, depth, passed);
    ++NodeCount;
    if (depth == 0) return Evaluate();
  }

  int hashMove = 0;
  if (const THashProbe entry = HashTable->Probe(HashLo, HashHi)) {
    hashMove = entry->BestMove;
    // With multi-prob-cut on, selective results are as good as a null-window node's own would
    // be; the entries kept only for their moves never cut.
    const bool trusted =
        !PvNode && useMpc ? entry->Selectivity > -Infinity : entry->Selectivity == Infinity;
    if (entry->Depth == depth && trusted) {
      const int32_t score = search::MidgameScore(*entry);
      if (search::NarrowWindow(*entry, score, alpha, beta)) {
        if constexpr (!PvNode) margin = entry->Selectivity;
        return score;
      }
    }
  }
  if (depth > 6) ProcessPendingEvents();

  if constexpr (!PvNode) {
    if (depth <= Evaluation->ShallowSearchDepth) return ShallowSearch(alpha, beta, depth, passed);
    if (useMpc && depth > 3 && beta < 1'999'999'800) {
      const int shallow = MpcShallowDepth(depth);
      const TMpcBounds bounds = MpcBounds(depth, shallow, alpha, beta);
      const int32_t bound = bounds.BetaBound;
      if (bounds.Usable && bound >= -1'999'999'999 && bound < Infinity) {
        int32_t unused;
        const int32_t value =
            shallow > 0 ? AlphaBeta<false>(bound - 1, bound, shallow, passed, false, unused)
                        : Evaluate();
        if (value >= bound) {
          margin = bounds.Margin;
          return beta;
        }
      }
    }
    ++NodeCount;
  }

  TMoveList list;
  GenerateMovesHashed(list);
  if (!list[0].Next) {
    if (passed) return FinalMargin() * DiscUnit;
    MakePass();
    const int32_t value = -AlphaBeta<PvNode>(-beta, -alpha, depth, true, useMpc, margin);
    MakePass();
    return value;
  }
  if (EmptyCount > 15)
    OrderBySearch(list, depth);
  else
    OrderByMobility(list);
  if (hashMove) MoveToFront(list, hashMove);

  // The window actually searched, after the table narrowed it: the stored flags must describe it.
  const int32_t searchedAlpha = alpha, searchedBeta = beta;
  int32_t best = -Infinity;
  int bestSquare = 0;
  for (MoveRecord* move = list[0].Next; move && alpha < beta; move = move->Next) {
    MakeMove(*move);
    SwapSides();
    int32_t childMargin, value;
    if (PvNode && best == -Infinity) {
      value = -AlphaBeta<true>(-beta, -alpha, depth - 1, false, useMpc, childMargin);
    } else {
      value = -AlphaBeta<false>(-alpha - 1, -alpha, depth - 1, false, useMpc, childMargin);
      if (PvNode && alpha < value && value < beta) {
        // The re-search window came from the null-window answer: a cut there taints it too.
        int32_t researchMargin;
        value = -AlphaBeta<true>(-beta, -value, depth - 1, false, useMpc, researchMargin);
        childMargin = std::min(childMargin, researchMargin);
      }
    }
    SwapSides();
    UnmakeMove(*move);
    if (StopRequested) return 0;
    margin = std::min(margin, childMargin);
    if (value > best) {
      best = value;
      bestSquare = move->Square;
      if (value > alpha) alpha = value;
    }
  }
  HashTable->Store(HashLo, HashHi, depth, searchedAlpha, searchedBeta, best, bestSquare, margin,
                   false);
  return best;
}

int32_t TOthelloEngine::PVSearch(int32_t alpha, int32_t beta, int depth, bool passed, bool useMpc,
                                 int32_t& margin) {
  return AlphaBeta<true>(alpha, beta, depth, passed, useMpc, margin);
}

int32_t TOthelloEngine::NullWindowSearch(int32_t alpha, int32_t beta, int depth, bool passed,
                                         bool useMpc, int32_t& margin) {
  return AlphaBeta<false>(alpha, beta, depth, passed, useMpc, margin);
}

// ---- Root and drivers ----

int32_t TOthelloEngine::RootSearch(int32_t alpha, int32_t beta, int32_t previousScore,
                                   MoveRecord* rootList, int depth) {
  const int64_t start = TickCount();
  const int64_t startNodes = NodeCount;
  if (depth == 0) return Evaluate();
  const int count = MobilityCount();
  ShowDepth(depth);
  ++NodeCount;

  const bool useMpc = Evaluation->UseMpc;
  const int32_t callAlpha = alpha, callBeta = beta;
  StartHelperElsewhere(rootList);
  int32_t best = -Infinity, bestMargin = Infinity;
  int bestSquare = 0, index = 0;
  for (MoveRecord* move = rootList[0].Next; move && alpha < beta && !StopRequested;
       move = move->Next) {
    if (ExcludedMoves[move->Square]) continue;
    ++index;
    MakeMove(*move);
    ShowMoves(index, count, move->Square);
    SwapSides();
    int32_t margin, value;
    if (index == 1) {
      value = -PVSearch(-beta, -alpha, depth - 1, false, useMpc, margin);
    } else {
      value = -NullWindowSearch(-alpha - 1, -alpha, depth - 1, false, useMpc, margin);
      if (alpha < value && value < beta) {
        int32_t researchMargin;
        value = -PVSearch(-beta, -value, depth - 1, false, useMpc, researchMargin);
        margin = std::min(margin, researchMargin);
      }
    }
    SwapSides();
    UnmakeMove(*move);
    if (value > best && !StopRequested) {
      best = value;
      bestSquare = move->Square;
      bestMargin = margin;
      if (value > alpha) alpha = value;
      ReportBestLine(depth);
      const bool plain = previousScore == -Infinity || search::IsExactScore(value);
      ShowScore(plain ? value / double(DiscUnit)
                      : (0.6 * value + 0.4 * previousScore) / double(DiscUnit));
      ShowNodes(NodeCount);
    }
  }
  if (bestSquare) {
    MoveToFront(rootList, bestSquare);
    if (!StopRequested)
      HashTable->Store(HashLo, HashHi, depth, callAlpha, callBeta, best, bestSquare, bestMargin,
                       false);
  }
  ReportBestLine(depth);
  ShowNodes(NodeCount);
  ShowSpeed(NodeCount - startNodes, TickCount() - start);
  return best;
}

void TOthelloEngine::StartHelperElsewhere(MoveRecord* rootList) const {
  if (HelperIndex == 0) return;
  int moves = 0;
  for (const MoveRecord* move = rootList[0].Next; move; move = move->Next) ++moves;
  const MoveRecord* chosen = rootList[0].Next;
  for (int skip = moves > 0 ? HelperIndex % moves : 0; skip > 0; --skip) chosen = chosen->Next;
  if (chosen) MoveToFront(rootList, chosen->Square);
}

int TOthelloEngine::FirstRootMove(const MoveRecord* rootList) const {
  for (const MoveRecord* move = rootList[0].Next; move; move = move->Next)
    if (!ExcludedMoves[move->Square]) return move->Square;
  return rootList[0].Next ? rootList[0].Next->Square : PassMove;
}

int32_t TOthelloEngine::DeepenIteratively(MoveRecord* rootList, int lastDepth, int64_t start,
                                          int64_t moveTime, int32_t& depthReached) {
  // Helpers deepen to the same depth, each starting its root moves elsewhere (a helper a ply
  // ahead measured slower on the midgame bench: 1.09 against 1.16 times one thread's speed).
  const TParallelScope helpers(*this, [lastDepth](TOthelloEngine& helper, int) {
    TMoveList list;
    helper.GenerateMovesHashed(list);
    int32_t reached = 0;
    helper.DeepenIteratively(list, lastDepth, TickCount(), -1, reached);
  });
  int32_t last = 0, previous = -Infinity;
  for (int depth = 0; depth <= lastDepth; ++depth) {
    const int32_t remembered = depth == 0 ? -Infinity : last;
    int32_t value = RootSearch(-Infinity, Infinity, remembered, rootList, depth);
    // The second pass finds the table filled and the root list ordered by the first.
    if (!StopRequested) value = RootSearch(-Infinity, Infinity, remembered, rootList, depth);
    // Interrupted before any root move was searched (or every move excluded): the last
    // finished depth stands.
    if (value == -Infinity) break;
    previous = remembered;
    last = value;
    if (search::IsExactScore(last)) previous = last;
    if (StopRequested) break;
    depthReached = depth;
    if (moveTime >= 0 && TickCount() - start >= moveTime) break;
  }
  if (previous == -Infinity) return last;
  return static_cast<int32_t>(std::llround(0.6 * last + 0.4 * previous));
}

TSearchResult TOthelloEngine::SearchFixedLevel(const TFixedSearchInfo& level) {
  TimedSearch = false;
  StopRequested = false;
  NodeCount = 0;
  TMoveList rootList;
  GenerateMovesHashed(rootList);
  const int64_t start = TickCount();
  TSearchResult result;
  if (!rootList[0].Next) return result;

  const int32_t playable = PlayableSquares();
  int lineDepth = level.Depth;
  bool solved = false;
  if (EmptyCount <= level.ExactEmpties) {
    result.Score = ExactSolveAspirated(-playable * DiscUnit, playable * DiscUnit, rootList);
    lineDepth = EmptyCount;
    solved = true;
  } else {
    const int count = std::clamp(level.SelSolveCount, 0, 20);
    for (int i = 0; i < count; ++i) {
      const TSelSolveInfo& setup = level.SelSolves[i];
      if (setup.Empties != EmptyCount) continue;
      const TEndgameResult endgame = SelectiveEndgame(setup.Probabilities, Infinity, rootList,
                                                      EmptyCount, -playable, playable);
      lineDepth = EmptyCount;
      solved = true;
      if (endgame.Score > -Infinity) result.Score = endgame.Score * DiscUnit;
    }
  }
  if (!solved) {
    int32_t depthReached = 0;
    result.Score = DeepenIteratively(rootList, level.Depth, start, -1, depthReached);
  }
  result.BestSquare = FirstRootMove(rootList);
  ReportBestLine(lineDepth);
  ShowNodes(NodeCount);
  ShowSpeed(NodeCount, TickCount() - start);
  return result;
}

int64_t TOthelloEngine::MoveTimeFor(int64_t budget, int empties, bool rootKnown) {
  if (budget < 0) budget = 1000;
  const int64_t time =
      empties <= 16 ? budget / 2 : std::llround(static_cast<double>(budget) / (empties - 16) * 1.2);
  // A position the table has never seen gets no help from earlier searches.
  return rootKnown ? time : 2 * time;
}

TTimedSearchResult TOthelloEngine::SearchTimed() {
  NodeCount = 0;
  const int64_t budget = TimeBudget < 0 ? 1000 : TimeBudget;
  const THashProbe entry = HashTable->Probe(HashLo, HashHi);
  const bool rootKnown = entry && entry->BestMove != 0;
  const bool rootSolved = entry && entry->IsEndgame;
  const int entryMove = entry ? entry->BestMove : 0;
  const int64_t moveTime = MoveTimeFor(budget, EmptyCount, rootKnown);

  TMoveList rootList;
  GenerateMovesHashed(rootList);
  const int64_t start = TickCount();
  TimedSearch = true;
  StopRequested = false;
  SearchLimit = 4 * moveTime >= budget - 8000 ? moveTime : 4 * moveTime;
  SearchStart = start;
  TTimedSearchResult result;

  if (rootList[0].Next) {
    if (EmptyCount < 55) {
      if (!rootSolved)
        result.Score = DeepenIteratively(rootList, EmptyCount - Evaluation->EndgameDriverDepth,
                                         start, moveTime, result.Depth);
      const int64_t used = TickCount() - start;
      const double ratio = moveTime > 0 ? static_cast<double>(used) / moveTime : 1.0;
      const int64_t allowance = 2 * (moveTime - used);
      bool entryMoveLegal = false;
      for (const MoveRecord* move = rootList[0].Next; move; move = move->Next)
        if (move->Square == entryMove && !ExcludedMoves[entryMove]) entryMoveLegal = true;
      result.BestSquare = rootSolved && entryMoveLegal ? entryMove : FirstRootMove(rootList);
      if (ratio <= 0.8) {
        if (!rootSolved) HashTable->KeepMovesOnly();
        const int32_t value = TimedEndgame(allowance, rootList);
        result.Depth = EmptyCount;
        if (value > -Infinity) {
          result.Score = value;
          result.BestSquare = FirstRootMove(rootList);
        }
      }
    } else {
      result.Score = DeepenIteratively(rootList, EmptyCount - 1, start, moveTime, result.Depth);
      result.BestSquare = FirstRootMove(rootList);
    }
  }
  result.ElapsedMs = TickCount() - start;
  ReportBestLine(EmptyCount - 1);
  ShowNodes(NodeCount);
  ShowSpeed(NodeCount, result.ElapsedMs);
  // Later direct endgame calls must not stop on this search's clock.
  TimedSearch = false;
  return result;
}

}  // namespace morvane
