#include "training/ExactLabels.h"

#include <chrono>

#include "engines/BitboardMoves.h"

namespace morvane::training {

void FillBoard(uint64_t own, uint64_t opp, int side, int8_t* board) {
  for (int cell = 0; cell < MaxCells; ++cell) board[cell] = OutsideCell;
  for (int bit = 0; bit < 64; ++bit) {
    const uint64_t mask = uint64_t{1} << bit;
    board[bits::SquareOf(bit)] = (own & mask)   ? static_cast<int8_t>(side)
                                 : (opp & mask) ? static_cast<int8_t>(-side)
                                                : EmptyCell;
  }
}

void LoadPosition(TOthelloPatternEngine& engine, uint64_t own, uint64_t opp, int side) {
  int8_t board[MaxCells];
  FillBoard(own, opp, side, board);
  engine.SetPosition(board, side);
}

int SolveExactly(TOthelloPatternEngine& engine) {
  TFixedSearchInfo exact;
  exact.Depth = 0;
  exact.ExactEmpties = engine.PlayableSquares();
  auto hasMove = [&] {
    TMoveList list;
    engine.GenerateMovesHashed(list);
    return list[0].Next != nullptr;
  };
  if (engine.EmptyCount == 0) return engine.FinalMargin();
  if (hasMove()) return engine.SearchFixedLevel(exact).Score / DiscUnit;
  engine.MakePass();
  int score;
  if (hasMove())
    score = -engine.SearchFixedLevel(exact).Score / DiscUnit;
  else
    score = -engine.FinalMargin();
  engine.MakePass();
  return score;
}

TLabelCache::TScores SolveGame(TOthelloPatternEngine& engine, const TArchiveGame& game,
                               int maxEmpties) {
  TLabelCache::TScores scores;
  scores.fill(TLabelCache::Unknown);
  for (const TGamePosition& position : game.Positions) {
    if (position.Empties > maxEmpties || position.Empties > TLabelCache::MaxEmpties) continue;
    LoadPosition(engine, position.Own, position.Opp, position.Side);
    scores[position.Empties] = static_cast<int8_t>(SolveExactly(engine));
  }
  return scores;
}

TSolveProgress SolveArchive(TOthelloPatternEngine& engine, const std::filesystem::path& archive,
                            TLabelCache& cache, int maxEmpties, int64_t maxGames,
                            const std::function<bool(const TSolveProgress&)>& progress,
                            const std::function<void(const std::string&)>& report) {
  TSolveProgress state;
  auto lastFlush = std::chrono::steady_clock::now();
  auto lastReport = lastFlush;
  bool stopped = false;
  ReadArchive(
      archive,
      [&](int64_t number, const TArchiveGame& game) {
        if (maxGames > 0 && number >= maxGames) return false;
        ++state.Games;
        const auto game32 = static_cast<uint32_t>(number);
        if (cache.Find(game32, game.Hash)) return true;
        const TLabelCache::TScores scores = SolveGame(engine, game, maxEmpties);
        for (const int8_t score : scores) state.Positions += score != TLabelCache::Unknown;
        cache.Append(game32, game.Hash, scores);
        ++state.Solved;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastFlush > std::chrono::seconds(5)) {
          cache.Flush();
          lastFlush = now;
        }
        if (now - lastReport > std::chrono::seconds(60)) {
          lastReport = now;
          if (!progress(state)) {
            stopped = true;
            return false;
          }
        }
        return true;
      },
      report);
  cache.Flush();
  if (!stopped) progress(state);
  return state;
}

}  // namespace morvane::training
