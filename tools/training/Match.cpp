#include "training/Match.h"

#include <bit>
#include <cmath>
#include <random>
#include <stdexcept>
#include <time.h>

#include "engines/BitboardMoves.h"
#include "training/ExactLabels.h"

namespace morvane::training {

namespace {

constexpr uint64_t StartBlack = (uint64_t{1} << 28) | (uint64_t{1} << 35);
constexpr uint64_t StartWhite = (uint64_t{1} << 27) | (uint64_t{1} << 36);

// Hands the move to the other side when the mover has none; false when the game is over.
bool PassIfNeeded(TGamePosition& position) {
  if (LegalMoves(position.Own, position.Opp) != 0) return true;
  std::swap(position.Own, position.Opp);
  position.Side = static_cast<int8_t>(-position.Side);
  return LegalMoves(position.Own, position.Opp) != 0;
}

void Play(TGamePosition& position, int bit) {
  if (PlayMove(bit, position.Own, position.Opp) == 0)
    throw std::runtime_error("an engine played an illegal move");
  std::swap(position.Own, position.Opp);
  position.Side = static_cast<int8_t>(-position.Side);
  --position.Empties;
}

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (const double value : values) sum += value;
  return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

// Half-width of the 95% interval of the mean.
double Margin(const std::vector<double>& values) {
  if (values.size() < 2) return 0;
  const double mean = Mean(values);
  double squares = 0;
  for (const double value : values) squares += (value - mean) * (value - mean);
  const double deviation = std::sqrt(squares / static_cast<double>(values.size() - 1));
  return 1.96 * deviation / std::sqrt(static_cast<double>(values.size()));
}

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

}  // namespace

std::vector<int> RandomOpening(uint32_t seed, int count) {
  std::mt19937 random(seed);
  TGamePosition position{StartBlack, StartWhite, 1, 60};
  std::vector<int> moves;
  for (int i = 0; i < count; ++i) {
    if (!PassIfNeeded(position)) break;
    uint64_t legal = LegalMoves(position.Own, position.Opp);
    const int choice = static_cast<int>(random() % static_cast<uint32_t>(std::popcount(legal)));
    for (int skip = 0; skip < choice; ++skip) legal &= legal - 1;
    const int bit = std::countr_zero(legal);
    Play(position, bit);
    moves.push_back(bit);
  }
  return moves;
}

TMatchGame PlayMatchGame(TOthelloPatternEngine& black, const TFixedSearchInfo& blackLevel,
                         TOthelloPatternEngine& white, const TFixedSearchInfo& whiteLevel,
                         const std::vector<int>& opening) {
  TMatchGame game;
  TGamePosition position{StartBlack, StartWhite, 1, 60};
  for (const int bit : opening) {
    PassIfNeeded(position);
    Play(position, bit);
    game.Moves.push_back(bit);
  }
  while (PassIfNeeded(position)) {
    const bool blackMoves = position.Side == 1;
    TOthelloPatternEngine& engine = blackMoves ? black : white;
    LoadPosition(engine, position.Own, position.Opp, position.Side);
    const double began = ThreadSeconds();
    const TSearchResult result = engine.SearchFixedLevel(blackMoves ? blackLevel : whiteLevel);
    TSearchCost& cost = blackMoves ? game.Black : game.White;
    ++cost.Searches;
    cost.Seconds += ThreadSeconds() - began;
    cost.Nodes += engine.NodeCount;
    if (!bits::IsSquare(result.BestSquare))
      throw std::runtime_error("an engine passed although it had a move");
    const int bit = bits::BitOf(result.BestSquare);
    Play(position, bit);
    game.Moves.push_back(bit);
  }
  game.BlackDiff = FinalBlackDiff(position);
  return game;
}

TMatchSummary Summarise(const std::vector<int>& diffsForFirst) {
  TMatchSummary summary;
  summary.Games = static_cast<int>(diffsForFirst.size());
  std::vector<double> points, diffs, pairPoints, pairDiffs;
  for (size_t i = 0; i < diffsForFirst.size(); ++i) {
    points.push_back(Points(diffsForFirst[i]));
    diffs.push_back(diffsForFirst[i]);
    if (i % 2 == 1) {
      pairPoints.push_back((points[i - 1] + points[i]) / 2);
      pairDiffs.push_back((diffs[i - 1] + diffs[i]) / 2);
    }
  }
  summary.Score = Mean(points);
  summary.MeanDiff = Mean(diffs);
  summary.ScoreMargin = Margin(pairPoints.size() >= 2 ? pairPoints : points);
  summary.DiffMargin = Margin(pairDiffs.size() >= 2 ? pairDiffs : diffs);
  return summary;
}

}  // namespace morvane::training
