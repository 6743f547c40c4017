// Patterns laid over the board in all their symmetric positions, the evaluation object that owns
// them with its per-disc-count term and selectivity statistics, and the readers of the three
// coefficient files (.coe pattern coefficients, .npc midgame and .ecc endgame probe statistics).
#pragma once

#include <cassert>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/SearchInfo.h"
#include "engine/Widgets.h"

namespace morvane {

// 3^0 .. 3^16: a pattern has at most 16 squares, so every table size and digit weight is here.
inline constexpr int32_t Pow3[17] = {1,      3,       9,       27,       81,      243,
                                     729,    2187,    6561,    19683,    59049,   177147,
                                     531441, 1594323, 4782969, 14348907, 43046721};

namespace detail {
constexpr bool PowersOfThree() {
  for (int k = 1; k < 17; ++k)
    if (Pow3[k] != 3 * Pow3[k - 1]) return false;
  return Pow3[0] == 1;
}
}  // namespace detail
static_assert(detail::PowersOfThree());

// One midgame probe statistic: deep score ~ Slope * shallow score + Offset (discs), with
// standard deviation Sigma. Laid out as in the .npc file.
struct TNpcRecord {
  double Slope, Offset, Sigma;
};
static_assert(sizeof(TNpcRecord) == 24);

// One endgame probe statistic, as in the .ecc file; Reserved is never used.
struct TEccRecord {
  double Slope, Offset, Sigma, Reserved;
};
static_assert(sizeof(TEccRecord) == 32);

// An ordered list of board squares with its eight symmetric images, the images that are distinct
// as square sets (the instances the engine places on the board), and one table per game stage.
class TPattern {
 public:
  static constexpr int MaxSquares = 16;
  static constexpr int MaxStages = 26;
  static constexpr int CellCount = 151;  // cells of the largest bordered board image

  // Squares use the bordered numbering: (boardSize + 2) * row + column, both from 1. Throws
  // std::invalid_argument for a square off the board, a repeated square, more than 16 squares or
  // a stage count outside 1..26, since every table index downstream would be wrong.
  TPattern(int boardSize, int stageCount, std::span<const int32_t> squares);
  TPattern(int boardSize, int stageCount, std::initializer_list<int32_t> squares)
      : TPattern(boardSize, stageCount, std::span<const int32_t>(squares.begin(), squares.size())) {
  }
  virtual ~TPattern();

  // Fills Instances and Multiplicity from Images.
  virtual void CollectInstances();

  // The table of `stage` at its middle entry: black to move looks up middle + I, white middle - I.
  const int32_t* TableMiddle(int stage) const {
    assert(stage >= 0 && stage < static_cast<int>(Tables.size()) && Tables[stage]);
    return Tables[stage].get() + Pow3[SquareCount] / 2;
  }

  static int32_t QuarterTurn(int32_t square, int width) {
    const int32_t row = square / width, col = square % width;
    return width * (width - 1 - col) + row;
  }
  static int32_t Mirror(int32_t square, int width) {
    const int32_t row = square / width, col = square % width;
    return width * row + (width - 1 - col);
  }

  int32_t Width, StageCount, SquareCount;
  std::vector<int32_t> Images[8];
  std::vector<std::vector<int32_t>> Instances;
  std::vector<int32_t> Multiplicity;               // one per instance: images equal to it as a set
  std::vector<std::unique_ptr<int32_t[]>> Tables;  // per stage, Pow3[n] entries once converted
  std::vector<std::vector<float>> Coefficients;    // per stage, in discs, until converted
};

// The signed configuration index of a placed pattern: cell values (1, 0, -1) as ternary digits,
// first square most significant.
inline int32_t ConfigurationIndex(std::span<const int32_t> squares, const int8_t* board) {
  int32_t index = 0;
  for (const int32_t square : squares) index = 3 * index + board[square];
  return index;
}

// The evaluation of one board type: its patterns and their stage tables, the per-disc-count
// term, and the parameters and statistics that the selective searches read.
class TEvaluation {
 public:
  static constexpr int NpcDiscs = 200;  // records for 1..200 discs
  static constexpr int NpcDepths = 26;  // deep and shallow depths 0..25
  static constexpr int EccFirstEmpties = 5;
  static constexpr int EccLastEmpties = 18;
  static constexpr int EccShallowDepths = 9;
  static constexpr int MaxBiasValues = 147;  // Bias[4] .. Bias[150]
  static constexpr int64_t NpcFileBytes =
      int64_t{NpcDiscs} * NpcDepths * NpcDepths * sizeof(TNpcRecord);
  static constexpr int64_t EccFileBytes =
      int64_t{EccLastEmpties - EccFirstEmpties + 1} * EccShallowDepths * sizeof(TEccRecord);

  // dataFolder holds one folder per evaluation name; empty means the current directory.
  TEvaluation(std::string name, TProgressBar* progressBar, std::filesystem::path dataFolder = {});
  virtual ~TEvaluation();
  TEvaluation(const TEvaluation&) = delete;
  TEvaluation& operator=(const TEvaluation&) = delete;

  // Takes ownership. Every pattern must have the stage count of the first one.
  void AddPattern(std::unique_ptr<TPattern> pattern);

  // Reads the .coe file (required), then the .npc and .ecc files when they exist. All sizes are
  // checked before anything is read; a bad file throws std::runtime_error naming it.
  void LoadCoefficients();
  void ReadNpcFile(const std::filesystem::path& path);
  void ReadEccFile(const std::filesystem::path& path);

  // Blends every stage with its neighbours (weight 0.2 / distance); stages above upTo are only
  // filled where they were left untrained. Works on the coefficients, so call it before
  // ConvertToIntegers.
  void SmoothStages(int upTo);
  // Builds the integer tables (1,000,000 per disc, scaled by the pattern's multiplicity) and
  // releases the coefficients.
  void ConvertToIntegers();

  std::filesystem::path FilePath(const char* extension) const;
  int64_t PatternSectionBytes() const;
  int StageCount() const;
  int InstanceCount() const;
  // Stage of a position with `discs` discs on a board of `playableSquares` playable squares.
  int StageOf(int discs, int playableSquares) const;

  const TNpcRecord& Npc(int discs, int deep, int shallow) const {
    return NpcTable[NpcSlot(discs, deep, shallow)];
  }
  TNpcRecord& Npc(int discs, int deep, int shallow) {
    return NpcTable[NpcSlot(discs, deep, shallow)];
  }
  const TEccRecord& Ecc(int empties, int shallow) const {
    assert(empties >= EccFirstEmpties && empties <= EccLastEmpties);
    assert(shallow >= 0 && shallow < EccShallowDepths);
    return EccTable[empties - EccFirstEmpties][shallow];
  }
  TEccRecord& Ecc(int empties, int shallow) {
    assert(empties >= EccFirstEmpties && empties <= EccLastEmpties);
    assert(shallow >= 0 && shallow < EccShallowDepths);
    return EccTable[empties - EccFirstEmpties][shallow];
  }

  std::string Name;
  TProgressBar* ProgressBar;
  std::filesystem::path DataFolder;
  double MidgameMpcFit[12] = {};
  double EndgameMpcFit[12] = {};
  int32_t ShallowSearchDepth = 2;
  int32_t MpcTableMaxDepth = 0;
  int32_t NpcReferenceDepth = 0;
  double MpcThreshold = 0;
  bool UseMpc = true;
  int32_t EndgameDriverDepth = 0;
  int32_t Bias[151] = {};
  std::vector<TNpcRecord> NpcTable;  // NpcDiscs * NpcDepths * NpcDepths, zero until read
  TEccRecord EccTable[14][9] = {};
  std::vector<std::unique_ptr<TPattern>> Patterns;
  TFixedSearchInfo Level;  // the level the book's learning searches use

 private:
  static size_t NpcSlot(int discs, int deep, int shallow) {
    assert(discs >= 1 && discs <= NpcDiscs);
    assert(deep >= 0 && deep < NpcDepths && shallow >= 0 && shallow < NpcDepths);
    return (static_cast<size_t>(discs - 1) * NpcDepths + deep) * NpcDepths + shallow;
  }
};

}  // namespace morvane
