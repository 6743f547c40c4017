#include "training/TrainingSet.h"

#include <optional>

#include "training/LabelCache.h"

namespace morvane::training {

void LabelGame(const TArchiveGame& game, TLabelKind kind, const int8_t* solved,
               std::vector<TLabelledPosition>& out) {
  const int count = static_cast<int>(game.Positions.size());
  const int finalBlack = game.Finished ? game.BlackDiff : 0;
  // The best value known so far while walking back from the end, for black.
  std::optional<int> known;
  if (game.Finished) known = game.BlackDiff;
  const size_t first = out.size();
  out.resize(first + count);
  int kept = 0;
  for (int i = count - 1; i >= 0; --i) {
    const TGamePosition& position = game.Positions[i];
    uint8_t flags = IsHeldOut(game.Hash) ? HeldOut : 0;
    if (game.Finished) flags |= Finished;
    std::optional<int> exact;  // for black
    if (solved && position.Empties <= TLabelCache::MaxEmpties &&
        solved[position.Empties] != TLabelCache::Unknown) {
      exact = solved[position.Empties] * position.Side;
    } else if (game.TheoreticalDiff && position.Empties == game.TheoreticalEmpties) {
      exact = *game.TheoreticalDiff;
      flags |= Theoretical;
    }
    if (kind == TLabelKind::Exact && exact) {
      known = exact;
      flags |= ExactLabel;
    }
    if (!known) continue;
    TLabelledPosition& labelled = out[first + kept++];
    labelled.Own = position.Own;
    labelled.Opp = position.Opp;
    labelled.Side = position.Side;
    labelled.Empties = position.Empties;
    labelled.Label = static_cast<int8_t>(*known * position.Side);
    labelled.Result = static_cast<int8_t>(finalBlack * position.Side);
    labelled.Exact = exact ? static_cast<int8_t>(*exact * position.Side) : NoExact;
    labelled.Flags = flags;
  }
  out.resize(first + kept);
}

std::filesystem::path LabelCachePath(const std::filesystem::path& folder,
                                     const std::filesystem::path& archive) {
  std::string stem = archive.filename().string();
  for (const char* suffix : {".gz", ".txt"})
    if (stem.size() > std::string(suffix).size() &&
        stem.compare(stem.size() - std::string(suffix).size(), std::string::npos, suffix) == 0)
      stem.resize(stem.size() - std::string(suffix).size());
  return folder / (stem + ".labels");
}

std::vector<TLabelledPosition> BuildTrainingSet(
    const std::filesystem::path& archives, const TTrainingSetOptions& options,
    const std::function<void(const std::string&)>& report) {
  std::vector<TLabelledPosition> positions;
  for (const auto& archive : ArchiveFiles(archives)) {
    std::optional<TLabelCache> cache;
    if (!options.LabelFolder.empty() &&
        std::filesystem::exists(LabelCachePath(options.LabelFolder, archive)))
      cache.emplace(LabelCachePath(options.LabelFolder, archive), /*writable=*/false);
    ReadArchive(
        archive,
        [&](int64_t number, const TArchiveGame& game) {
          if (options.MaxGames > 0 && number >= options.MaxGames) return false;
          const TLabelCache::TScores* scores =
              cache ? cache->Find(static_cast<uint32_t>(number), game.Hash) : nullptr;
          const size_t before = positions.size();
          LabelGame(game, options.Kind, scores ? scores->data() : nullptr, positions);
          // Positions near the end that the fit leaves out.
          size_t keep = before;
          for (size_t i = before; i < positions.size(); ++i)
            if (positions[i].Empties >= options.MinEmpties) positions[keep++] = positions[i];
          positions.resize(keep);
          return true;
        },
        report);
  }
  return positions;
}

}  // namespace morvane::training
