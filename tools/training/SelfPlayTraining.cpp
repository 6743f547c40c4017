#include "training/SelfPlayTraining.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "training/ExactLabels.h"
#include "training/GameArchive.h"
#include "training/TrainingSet.h"

namespace morvane::training {

std::optional<std::string> LabelSelfPlayGame(
    TBoardKind kind, const TSelfPlayGame& game,
    const std::function<void(const TSelfPlayLabel&)>& visit) {
  // Check the whole game before labelling any of it.
  if (auto fault = ReplayGame(kind, game, nullptr)) return fault;
  return ReplayGame(kind, game, [&](const TReplayedPosition& position) {
    if (position.Ply < game.OpeningLength) return;
    const TPosition& board = *position.Board;
    // A game that ended before the hand-over has only its result to go by.
    const bool exact =
        game.HandoverEmpties != NoHandover && board.Empties() <= game.HandoverEmpties;
    const int black =
        exact || game.HandoverEmpties == NoHandover ? game.BlackDiff : game.HandoverBlackScore;
    visit({&board, black * CellOf(board.ToMove()), exact});
  });
}

bool IsHeldOutGame(const TSelfPlayGame& game) {
  const std::string_view moves(reinterpret_cast<const char*>(game.Moves.data()), game.Moves.size());
  return IsHeldOut(TextHash(moves));
}

TSelfPlaySet BuildSelfPlaySet(const TFeatureLayout& layout,
                              const std::vector<std::filesystem::path>& files, int measureEmpties,
                              const std::function<void(const std::string&)>& report,
                              const std::function<double(const TPosition&)>& prior,
                              bool keepSearchable) {
  TSelfPlaySet set;
  const int instances = layout.InstanceCount();
  std::vector<uint16_t> classes(instances);
  for (const auto& path : files) {
    const TGameFileContents contents = ReadGameFile(path);
    // Features of another board's positions would index past the layout's tables.
    if (TPosition(contents.Kind).PlayableSquares() != layout.PlayableSquares())
      throw std::invalid_argument(path.string() + " holds games of another board");
    for (size_t number = 0; number < contents.Games.size(); ++number) {
      const TSelfPlayGame& game = contents.Games[number];
      const bool heldOut = IsHeldOutGame(game);
      const auto fault = LabelSelfPlayGame(contents.Kind, game, [&](const TSelfPlayLabel& label) {
        const TPosition& board = *label.Board;
        layout.Classes(board.Board(), CellOf(board.ToMove()), classes.data());
        set.Rows.Features.insert(set.Rows.Features.end(), classes.begin(), classes.end());
        set.Rows.Empties.push_back(static_cast<uint8_t>(board.Empties()));
        const float priorValue = prior ? static_cast<float>(prior(board)) : 0.0f;
        if (keepSearchable && !heldOut && !label.Exact) {
          TSearchablePosition position;
          std::memcpy(position.Board, board.Board(), MaxCells);
          position.Side = static_cast<int8_t>(CellOf(board.ToMove()));
          position.GameLabel = static_cast<int8_t>(label.Label);
          position.Row = static_cast<uint32_t>(set.Rows.Labels.size());
          position.Prior = priorValue;
          set.Searchable.push_back(position);
        }
        set.Rows.Labels.push_back(static_cast<float>(label.Label) - priorValue);
        set.Rows.Train.push_back(heldOut ? 0 : 1);
        set.ExactLabels += label.Exact;
        if (heldOut && label.Exact && board.Empties() == measureEmpties) {
          THeldOutPosition position;
          std::memcpy(position.Board, board.Board(), MaxCells);
          position.Side = static_cast<int8_t>(CellOf(board.ToMove()));
          position.Exact = static_cast<int8_t>(label.Label);
          set.ExactAt.push_back(position);
        }
      });
      if (fault) {
        ++set.Rejected;
        report(path.string() + ": game " + std::to_string(number + 1) + ": " + *fault);
      } else {
        ++set.Games;
      }
    }
  }
  return set;
}

int64_t RelabelStage(TOthelloPatternEngine& engine, const TFixedSearchInfo& level, double weight,
                     int stage, const TFeatureLayout& layout, TSelfPlaySet& set) {
  int64_t searched = 0;
  for (const TSearchablePosition& position : set.Searchable) {
    const int empties = set.Rows.Empties[position.Row];
    if (layout.StageOf(layout.PlayableSquares() - empties) != stage) continue;
    engine.SetPosition(position.Board, position.Side);
    const double value = static_cast<double>(engine.SearchFixedLevel(level).Score) / DiscUnit;
    set.Rows.Labels[position.Row] =
        static_cast<float>(weight * value + (1 - weight) * position.GameLabel - position.Prior);
    ++searched;
  }
  return searched;
}

void AddPrior(const TEvaluation& prior, TEvaluation& evaluation, std::vector<float>& bias) {
  if (prior.Patterns.size() != evaluation.Patterns.size())
    throw std::invalid_argument("the prior is of another set-up");
  for (size_t p = 0; p < prior.Patterns.size(); ++p)
    for (int stage = 0; stage < prior.Patterns[p]->StageCount; ++stage) {
      const std::vector<float>& from = prior.Patterns[p]->Coefficients[stage];
      std::vector<float>& to = evaluation.Patterns[p]->Coefficients[stage];
      for (size_t position = 0; position < to.size(); ++position) to[position] += from[position];
    }
  for (size_t discs = 4; discs < bias.size() && discs < 151; ++discs)
    bias[discs] += static_cast<float>(prior.Bias[discs] / 1e6);
}

std::vector<THeldOutPosition> HeldOutArchivePositions(const std::filesystem::path& folder,
                                                      int empties) {
  TTrainingSetOptions options;
  options.Kind = TLabelKind::Exact;
  options.MinEmpties = empties;
  std::vector<THeldOutPosition> held;
  for (const TLabelledPosition& position :
       BuildTrainingSet(folder, options, [](const std::string&) {})) {
    if (!(position.Flags & HeldOut) || position.Empties != empties || position.Exact == NoExact)
      continue;
    THeldOutPosition out;
    FillBoard(position.Own, position.Opp, position.Side, out.Board);
    out.Side = position.Side;
    out.Exact = position.Exact;
    held.push_back(out);
  }
  return held;
}

double StaticError(TOthelloPatternEngine& engine, const std::vector<THeldOutPosition>& positions) {
  if (positions.empty()) return 0;
  double sum = 0;
  for (const THeldOutPosition& position : positions) {
    engine.SetPosition(position.Board, position.Side);
    sum += std::abs(static_cast<double>(engine.Evaluate()) / DiscUnit - position.Exact);
  }
  return sum / static_cast<double>(positions.size());
}

}  // namespace morvane::training
