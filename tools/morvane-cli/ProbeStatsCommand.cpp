// probe-stats: measures how shallow searches predict deep ones and exact endgame scores on
// positions of the held-out games, and writes the set-up's .npc and .ecc files. The measured
// samples are appended to files in the work folder, so a stopped run resumes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string_view>

#include "Commands.h"
#include "Failures.h"
#include "SelfPlayCommon.h"
#include "TrainingCommon.h"
#include "engines/EngineFactory.h"
#include "evaluation/EvaluationSetups.h"
#include "training/ExactLabels.h"
#include "training/GameArchive.h"
#include "training/ProbeStatistics.h"
#include "training/SelfPlayTraining.h"
#include "training/TrainedFiles.h"
#include "training/TrainingSet.h"

namespace morvane::cli {

namespace {

const char* const ProbeStatsUsage =
    "usage: probe-stats --eval NAME --data DIR --archives DIR --out DATA_DIR [--positions N]\n"
    "                   [--end-positions N] [--depth R] [--seed S] [--work DIR]\n"
    "       (Bot10x10 and Bot8x8Oct: --games FILE,FILE... of self-play games for --archives)";

const char* const MpcCheckUsage =
    "usage: mpc-check --eval NAME --data DIR --archives DIR [--positions N] [--depth D]\n"
    "                 [--threshold T] [--seed S]";

// A position to measure: 8 x 8 bitboards, or a board image for the 10-wide boards.
struct TCandidate {
  uint64_t Own = 0, Opp = 0;
  int Side = 1;
  std::vector<int8_t> Image;

  void LoadInto(TOthelloPatternEngine& engine) const {
    if (Image.empty())
      training::LoadPosition(engine, Own, Opp, Side);
    else
      engine.SetPosition(Image.data(), Side);
  }
};

uint32_t Mix(uint32_t h) {
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

// One position per held-out game, its empties drawn from the game's hash within [low, high];
// then shuffled by the seed.
std::vector<TCandidate> Candidates(const std::filesystem::path& archives, int low, int high,
                                   uint32_t seed) {
  std::vector<TCandidate> candidates;
  for (const auto& archive : training::ArchiveFiles(archives)) {
    training::ReadArchive(
        archive,
        [&](int64_t, const training::TArchiveGame& game) {
          if (!training::IsHeldOut(game.Hash)) return true;
          const int empties = low + static_cast<int>(Mix(game.Hash ^ seed) % (high - low + 1));
          for (const auto& position : game.Positions)
            if (position.Empties == empties) {
              candidates.push_back({position.Own, position.Opp, position.Side, {}});
              break;
            }
          return true;
        },
        [](const std::string&) {});
  }
  std::mt19937 random(seed);
  std::shuffle(candidates.begin(), candidates.end(), random);
  return candidates;
}

// "a.bin,b.bin" as paths.
std::vector<std::filesystem::path> SplitFiles(const std::string& files) {
  std::vector<std::filesystem::path> paths;
  std::string rest = files;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    paths.emplace_back(rest.substr(0, comma));
    rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
  }
  return paths;
}

// The same from the held-out self-play games of the 10-wide boards, after their openings.
std::vector<TCandidate> GameCandidates(const std::vector<std::filesystem::path>& files, int low,
                                       int high, uint32_t seed) {
  std::vector<TCandidate> candidates;
  for (const auto& path : files) {
    const training::TGameFileContents contents = training::ReadGameFile(path);
    for (const training::TSelfPlayGame& game : contents.Games) {
      if (!training::IsHeldOutGame(game)) continue;
      const std::string_view moves(reinterpret_cast<const char*>(game.Moves.data()),
                                   game.Moves.size());
      const int empties =
          low + static_cast<int>(Mix(training::TextHash(moves) ^ seed) % (high - low + 1));
      bool taken = false;
      training::LabelSelfPlayGame(contents.Kind, game, [&](const training::TSelfPlayLabel& label) {
        if (taken || label.Board->Empties() != empties) return;
        taken = true;
        candidates.push_back(
            {0, 0, CellOf(label.Board->ToMove()),
             std::vector<int8_t>(label.Board->Board(), label.Board->Board() + MaxCells)});
      });
    }
  }
  std::mt19937 random(seed);
  std::shuffle(candidates.begin(), candidates.end(), random);
  return candidates;
}

std::vector<std::vector<double>> ReadSampleLines(const std::filesystem::path& path) {
  std::vector<std::vector<double>> lines;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    std::vector<double> values;
    double value;
    while (words >> value) values.push_back(value);
    if (!values.empty()) lines.push_back(std::move(values));
  }
  return lines;
}

}  // namespace

int RunProbeStats(const TArguments& arguments) {
  arguments.Allow({"eval", "data", "archives", "games", "out", "positions", "end-positions",
                   "depth", "seed", "work", "hash"});
  if (!arguments.Positional().empty()) throw TUsageError(ProbeStatsUsage);
  // The 10-wide set-ups measure on their own boards, in positions of their self-play games.
  TBoardKind wideKind{};
  const bool wide = WideKindOf(arguments.OptionOr("eval", ""), wideKind);
  const std::string name = wide ? WideSetup(arguments, ProbeStatsUsage).Name
                                : EightByEightName(arguments, ProbeStatsUsage);
  const auto archives = arguments.Option(wide ? "games" : "archives");
  const auto out = arguments.Option("out");
  if (!archives || !out) throw TUsageError(ProbeStatsUsage);
  const int playable = wide ? (wideKind == TBoardKind::Octagon ? 88 : 100) : 64;
  // The input is checked before any work: a game file of another board would be measured on
  // the wrong engine.
  const std::vector<std::filesystem::path> gameFiles =
      wide ? SplitFiles(*archives) : std::vector<std::filesystem::path>{};
  if (wide)
    CheckGameFiles({name, wideKind}, gameFiles);
  else
    ReadingInput([&] { return training::ArchiveFiles(*archives); });
  auto candidatesOf = [&](int low, int high, uint32_t candidateSeed) {
    auto candidates = ReadingInput([&] {
      return wide ? GameCandidates(gameFiles, low, high, candidateSeed)
                  : Candidates(*archives, low, high, candidateSeed);
    });
    if (candidates.empty())
      throw TDataError(
          Format("no held-out position with %d to %d empties in %s", low, high, archives->c_str()));
    return candidates;
  };
  const auto setup = CreateEvaluation(name, nullptr, *out, /*loadFiles=*/false);
  const int positions = static_cast<int>(arguments.IntOption("positions", 600, 0, 1'000'000));
  const int endPositions =
      static_cast<int>(arguments.IntOption("end-positions", 1400, 0, 1'000'000));
  const int depth =
      static_cast<int>(arguments.IntOption("depth", std::max(setup->NpcReferenceDepth, 8), 1, 20));
  const auto seed = static_cast<uint32_t>(arguments.IntOption("seed", 1, 0, 4294967295LL));
  const std::filesystem::path work = arguments.OptionOr("work", WorkFolder().string());
  const double hashBits = static_cast<double>(arguments.IntOption("hash", 20, 10, 26));
  MakeFolder(work);

  auto engine = ReadingInput(
      [&] { return CreateEngineFor(name, hashBits, nullptr, arguments.OptionOr("data", "")); });
  // Samples belong to the evaluation that searched them: a refitted .coe starts afresh.
  std::ifstream coe(std::filesystem::path(arguments.OptionOr("data", "")) / name / (name + ".coe"),
                    std::ios::binary);
  const std::string coeBytes((std::istreambuf_iterator<char>(coe)),
                             std::istreambuf_iterator<char>());
  const std::string tag = name + "-d" + std::to_string(depth) + "-s" + std::to_string(seed) +
                          Format("-%08x", training::TextHash(coeBytes));

  // Midgame: search values at every depth up to the reference depth.
  const std::filesystem::path npcSamples = work / (tag + ".npc-samples");
  std::vector<training::TDepthSample> depthSamples;
  for (const auto& values : ReadSampleLines(npcSamples)) {
    if (static_cast<int>(values.size()) != depth + 2) continue;
    training::TDepthSample sample;
    sample.Discs = static_cast<int>(values[0]);
    for (size_t i = 1; i < values.size(); ++i)
      sample.Values.push_back(static_cast<float>(values[i]));
    depthSamples.push_back(std::move(sample));
  }
  if (static_cast<int>(depthSamples.size()) < positions) {
    PrintLine(
        Format("midgame: %zu samples kept, measuring up to %d", depthSamples.size(), positions));
    // The 8 x 8 range of 14 to 56 empties, widened to the larger boards.
    const auto candidates = candidatesOf(14, playable - 8, seed);
    std::ofstream file(npcSamples, std::ios::app);
    for (size_t i = depthSamples.size();
         i < candidates.size() && static_cast<int>(depthSamples.size()) < positions; ++i) {
      candidates[i].LoadInto(*engine);
      training::TDepthSample sample = training::MeasureDepths(*engine, depth);
      file << sample.Discs;
      for (const float value : sample.Values) file << ' ' << value;
      file << '\n' << std::flush;
      depthSamples.push_back(std::move(sample));
      if (depthSamples.size() % 50 == 0)
        PrintLine(Format("midgame: %zu of %d positions", depthSamples.size(), positions));
    }
  }

  // Endgame: exact scores against the shallow searches at depths 0..8.
  const std::filesystem::path eccSamples = work / (tag + ".ecc-samples");
  std::vector<training::TEndSample> endSamples;
  for (const auto& values : ReadSampleLines(eccSamples)) {
    if (values.size() != 2 + TEvaluation::EccShallowDepths) continue;
    training::TEndSample sample;
    sample.Empties = static_cast<int>(values[0]);
    sample.Exact = static_cast<float>(values[1]);
    for (int s = 0; s < TEvaluation::EccShallowDepths; ++s)
      sample.Shallow[s] = static_cast<float>(values[2 + s]);
    endSamples.push_back(sample);
  }
  if (static_cast<int>(endSamples.size()) < endPositions) {
    PrintLine(
        Format("endgame: %zu samples kept, measuring up to %d", endSamples.size(), endPositions));
    const auto candidates =
        candidatesOf(TEvaluation::EccFirstEmpties, TEvaluation::EccLastEmpties, seed + 1);
    std::ofstream file(eccSamples, std::ios::app);
    for (size_t i = endSamples.size();
         i < candidates.size() && static_cast<int>(endSamples.size()) < endPositions; ++i) {
      candidates[i].LoadInto(*engine);
      training::TEndSample sample;
      sample.Empties = engine->EmptyCount;
      const training::TDepthSample shallow =
          training::MeasureDepths(*engine, TEvaluation::EccShallowDepths - 1);
      for (int s = 0; s < TEvaluation::EccShallowDepths; ++s) sample.Shallow[s] = shallow.Values[s];
      candidates[i].LoadInto(*engine);
      sample.Exact = static_cast<float>(training::SolveExactly(*engine));
      file << sample.Empties << ' ' << sample.Exact;
      for (const float value : sample.Shallow) file << ' ' << value;
      file << '\n' << std::flush;
      endSamples.push_back(sample);
      if (endSamples.size() % 200 == 0)
        PrintLine(Format("endgame: %zu of %d positions", endSamples.size(), endPositions));
    }
  }

  const std::vector<TNpcRecord> npc = training::FitNpcTable(depthSamples, depth, 3.0, playable);
  TEccRecord ecc[14][9] = {};
  training::FitEccTable(endSamples, 1.0, ecc);
  training::WriteNpcFile(npc, setup->FilePath(".npc"));
  training::WriteEccFile(ecc, setup->FilePath(".ecc"));

  // The spread of the pairs the midgame search probes, averaged over the disc counts 20..50.
  for (int deep = 4; deep <= depth; ++deep) {
    const int shallow = TOthelloEngine::MpcShallowDepth(deep);
    double sigma = 0, slope = 0;
    int count = 0;
    for (int discs = 20; discs <= 50; ++discs) {
      const TNpcRecord& record =
          npc[(static_cast<size_t>(discs - 1) * TEvaluation::NpcDepths + deep) *
                  TEvaluation::NpcDepths +
              shallow];
      if (record.Slope == 0) continue;
      sigma += record.Sigma;
      slope += record.Slope;
      ++count;
    }
    if (count)
      PrintLine(Format("npc depth %2d from %d: slope %.3f, sigma %.2f discs", deep, shallow,
                       slope / count, sigma / count));
  }
  for (int empties = TEvaluation::EccFirstEmpties; empties <= TEvaluation::EccLastEmpties;
       ++empties) {
    const int shallow = 2 * (empties / 8) + (empties % 2) + 2;
    const TEccRecord& record = ecc[empties - TEvaluation::EccFirstEmpties][shallow];
    PrintLine(Format("ecc %2d empties from depth %d: slope %.3f, offset %.2f, sigma %.2f discs",
                     empties, shallow, record.Slope, record.Offset, record.Sigma));
  }
  PrintLine("wrote " + setup->FilePath(".npc").string() + " and " +
            setup->FilePath(".ecc").string());
  return 0;
}

int RunMpcCheck(const TArguments& arguments) {
  arguments.Allow({"eval", "data", "archives", "positions", "depth", "threshold", "seed"});
  if (!arguments.Positional().empty()) throw TUsageError(MpcCheckUsage);
  const std::string name = EightByEightName(arguments, MpcCheckUsage);
  const auto archives = arguments.Option("archives");
  if (!archives) throw TUsageError(MpcCheckUsage);
  const int positions = static_cast<int>(arguments.IntOption("positions", 100, 1, 100000));
  TFixedSearchInfo level;
  level.Depth = static_cast<int32_t>(arguments.IntOption("depth", 8, 1, 20));
  level.ExactEmpties = 0;
  const double threshold = DoubleOption(arguments, "threshold", 1.0, 0.1, 5.0);
  const auto seed = static_cast<uint32_t>(arguments.IntOption("seed", 1, 0, 4294967295LL));

  // Two engines, so that neither search profits from the other's table.
  auto withMpc = ReadingInput(
      [&] { return CreateEngineFor(name, 20, nullptr, arguments.OptionOr("data", "")); });
  auto without = CreateEngineFor(name, 20, nullptr, arguments.OptionOr("data", ""));
  withMpc->Evaluation->MpcThreshold = threshold;
  without->Evaluation->UseMpc = false;
  const auto candidates = ReadingInput([&] { return Candidates(*archives, 24, 44, seed + 2); });
  int searched = 0, changed = 0;
  int64_t nodesWith = 0, nodesWithout = 0;
  double scoreDifference = 0;
  for (size_t i = 0; i < candidates.size() && searched < positions; ++i) {
    training::LoadPosition(*withMpc, candidates[i].Own, candidates[i].Opp, candidates[i].Side);
    training::LoadPosition(*without, candidates[i].Own, candidates[i].Opp, candidates[i].Side);
    if (withMpc->MobilityCount() < 2) continue;  // a forced move tells nothing
    const TSearchResult a = withMpc->SearchFixedLevel(level);
    nodesWith += withMpc->NodeCount;
    const TSearchResult b = without->SearchFixedLevel(level);
    nodesWithout += without->NodeCount;
    ++searched;
    changed += a.BestSquare != b.BestSquare;
    scoreDifference += std::abs(static_cast<double>(a.Score - b.Score)) / DiscUnit;
  }
  if (searched == 0)
    throw TDataError("no held-out position with 24 to 44 empties and two moves in " + *archives);
  std::printf(
      "%s depth %d, threshold %.3f: %d positions, %d chosen moves changed (%.1f%%), nodes %lld "
      "with against %lld without (%.1f%% saved), mean score difference %.2f discs\n",
      name.c_str(), level.Depth, threshold, searched, changed,
      100.0 * changed / std::max(searched, 1), static_cast<long long>(nodesWith),
      static_cast<long long>(nodesWithout),
      100.0 * (1.0 - static_cast<double>(nodesWith) / std::max<int64_t>(nodesWithout, 1)),
      scoreDifference / std::max(searched, 1));
  return 0;
}

}  // namespace morvane::cli
