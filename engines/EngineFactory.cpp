#include "engines/EngineFactory.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "engine/BoardKind.h"
#include "engine/SearchThreads.h"
#include "engines/Othello10x10PatternEngine.h"
#include "engines/Othello8x8PatternEngine.h"
#include "engines/OthelloOctPatternEngine.h"
#include "engines/PellinEngine.h"
#include "engines/TovrelEngine.h"
#include "evaluation/EvaluationSetups.h"

namespace morvane {

namespace {

// The plain pattern engine on the octagon: the cut corners stay outside whatever the image says.
class TGenericOctagonEngine final : public TOthelloPatternEngine {
 public:
  TGenericOctagonEngine(double hashSizeBits, std::unique_ptr<TEvaluation> evaluation)
      : TOthelloPatternEngine("Bot8x8Oct", hashSizeBits, 10, std::move(evaluation)) {
    BlockedCount = 12;
  }
  void SetPosition(const int8_t* board, int side) override {
    int8_t blocked[MaxCells];
    std::memcpy(blocked, board, MaxCells);
    BlockOctagonCorners(blocked);
    TOthelloPatternEngine::SetPosition(blocked, side);
  }
};

}  // namespace

std::unique_ptr<TOthelloPatternEngine> CreateEngine(const TBoardEntry& board, double hashSizeBits,
                                                    TProgressBar* progressBar,
                                                    const std::filesystem::path& dataFolder) {
  return CreateEngineFor(board.Evaluation, hashSizeBits, progressBar, dataFolder);
}

std::unique_ptr<TOthelloPatternEngine> CreateEngineFor(const std::string& name,
                                                       double hashSizeBits,
                                                       TProgressBar* progressBar,
                                                       const std::filesystem::path& dataFolder,
                                                       bool generic) {
  auto evaluation = CreateEvaluation(name, progressBar, dataFolder);
  if (generic) {
    if (name == "Bot8x8Oct")
      return std::make_unique<TGenericOctagonEngine>(hashSizeBits, std::move(evaluation));
    return std::make_unique<TOthelloPatternEngine>(name, hashSizeBits, EvaluationBoardSide(name),
                                                   std::move(evaluation));
  }
  if (name == "Pellin") return std::make_unique<TPellinEngine>(std::move(evaluation), hashSizeBits);
  if (name == "Tovrel") return std::make_unique<TTovrelEngine>(std::move(evaluation), hashSizeBits);
  if (name == "Bot8x8")
    return std::make_unique<TOthello8x8PatternEngine>(name, std::move(evaluation), hashSizeBits);
  if (name == "Bot10x10")
    return std::make_unique<TOthello10x10PatternEngine>(name, hashSizeBits, std::move(evaluation));
  return std::make_unique<TOthelloOctPatternEngine>(name, hashSizeBits, std::move(evaluation));
}

void SetSearchThreads(TOthelloPatternEngine& engine, int threads, bool generic) {
  if (threads < 1) throw std::invalid_argument("A search needs at least one thread.");
  engine.Threads.reset();
  if (threads == 1) return;
  const std::string name = engine.Evaluation->Name;
  const std::filesystem::path folder = engine.Evaluation->DataFolder;
  // A helper's own table would never be used: it searches on the owner's.
  constexpr double helperTableBits = 1.0;
  engine.Threads = std::make_unique<TSearchThreads>(
      engine, threads,
      [&]() -> std::unique_ptr<TOthelloEngine> {
        return CreateEngineFor(name, helperTableBits, nullptr, folder, generic);
      });
}

int DefaultSearchThreads() {
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace morvane
