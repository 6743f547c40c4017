#include "evaluation/EvaluationSetups.h"

#include <initializer_list>
#include <span>
#include <stdexcept>
#include <utility>

#include "engine/Catalogue.h"

namespace morvane {

namespace {

using TSquares = std::initializer_list<int32_t>;

// Patterns in file order: the order of their blocks in the .coe file.
void AddAll(TEvaluation& evaluation, int boardSize, int stages,
            std::initializer_list<TSquares> patterns) {
  for (const TSquares& squares : patterns) {
    evaluation.AddPattern(std::make_unique<TPattern>(
        boardSize, stages, std::span<const int32_t>(squares.begin(), squares.size())));
  }
}

// Regressions of the deep score on the shallow one, in the order constant, per empty square,
// per unit of deep depth, per unit of shallow depth; each a triple of Slope, Offset, Sigma.
constexpr double NoFit[12] = {};
constexpr double MidgameFitA[12] = {0.92763731836,   0.35612579507,    5.256711795,
                                    -1.6357633e-07,  -0.0020063812354, -0.068117683709,
                                    -0.010244273165, -0.015539237227,  0.23800748265,
                                    0.019101972885,  -0.041935994234,  -0.48338573968};
constexpr double MidgameFitB[12] = {0.976352776,      -0.061398264462,  4.8500687388,
                                    -0.0011009340297, 0.00019128046953, -0.05796433163,
                                    0.00090190115484, 0.031321384529,   0.28643333939,
                                    0.011704524921,   -0.02967904552,   -0.63425877498};
constexpr double EndgameFitC[12] = {0.93871492405,    0.11233630015,   5.6983027945,
                                    -0.0036045239167, -0.002693589734, -0.010557258447,
                                    -0.0036045238533, -0.002693589734, 0.30994274155,
                                    0.013675326863,   -0.02716427496,  -0.61399585331};
constexpr double EndgameFitD[12] = {1.0386348305,     -0.23042289742,  4.4193127566,
                                    -0.0060848304037, 0.0065538954781, 0.024133526663,
                                    -0.0060848304037, 0.0065538954781, 0.34463352666,
                                    0.016683346424,   -0.022606722742, -0.61085977337};

struct TSearchParameters {
  int32_t ShallowSearchDepth;
  int32_t MpcTableMaxDepth;
  int32_t NpcReferenceDepth;
  double MpcThreshold;
  int32_t EndgameDriverDepth;
  const double* MidgameFit;
  const double* EndgameFit;
};

void Apply(TEvaluation& evaluation, const TSearchParameters& parameters) {
  evaluation.ShallowSearchDepth = parameters.ShallowSearchDepth;
  evaluation.MpcTableMaxDepth = parameters.MpcTableMaxDepth;
  evaluation.NpcReferenceDepth = parameters.NpcReferenceDepth;
  evaluation.MpcThreshold = parameters.MpcThreshold;
  evaluation.UseMpc = true;
  evaluation.EndgameDriverDepth = parameters.EndgameDriverDepth;
  for (int i = 0; i < 12; ++i) {
    evaluation.MidgameMpcFit[i] = parameters.MidgameFit[i];
    evaluation.EndgameMpcFit[i] = parameters.EndgameFit[i];
  }
}

// Fenwa carries no regression at all; the searches guard against its zero slopes.
constexpr TSearchParameters FenwaParameters = {3, 16, 0, 0.7, 12, NoFit, NoFit};
constexpr TSearchParameters PellinParameters = {3, 24, 12, 0.85, 8, MidgameFitA, EndgameFitC};
constexpr TSearchParameters TovrelParameters = {3, 24, 10, 1.0, 10, MidgameFitB, EndgameFitD};
constexpr TSearchParameters Board10x10Parameters = {4, 0, 8, 1.0, 6, MidgameFitA, EndgameFitD};
constexpr TSearchParameters OctagonParameters = {3, 14, 8, 1.0, 6, MidgameFitA, EndgameFitC};

void LoadAndConvert(TEvaluation& evaluation, bool smooth) {
  evaluation.LoadCoefficients();
  if (smooth) evaluation.SmoothStages(1);
  evaluation.ConvertToIntegers();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Fenwa 8 x 8

void TFenwaEvaluation::AddPatterns(TEvaluation& evaluation) {
  AddAll(evaluation, 8, 6,
         {
             {11, 12, 13, 14, 15, 16, 17, 18},          // row 1 (edge)
             {21, 22, 23, 24, 25, 26, 27, 28},          // row 2
             {31, 32, 33, 34, 35, 36, 37, 38},          // row 3
             {41, 42, 43, 44, 45, 46, 47, 48},          // row 4
             {11, 22, 33, 44, 55, 66, 77, 88},          // main diagonal
             {12, 23, 34, 45, 56, 67, 78},              // diagonal of 7
             {13, 24, 35, 46, 57, 68},                  // diagonal of 6
             {14, 25, 36, 47, 58},                      // diagonal of 5
             {15, 26, 37, 48},                          // diagonal of 4
             {11, 12, 13, 21, 22, 23, 31, 32, 33},      // 3 x 3 corner
             {11, 12, 13, 14, 15, 21, 22, 23, 24, 25},  // 2 x 5 corner block
         });
}

TFenwaEvaluation::TFenwaEvaluation(TPatternsOnly, std::filesystem::path dataFolder)
    : TEvaluation("Bot8x8", nullptr, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, FenwaParameters);
}

TFenwaEvaluation::TFenwaEvaluation(TProgressBar* bar, std::filesystem::path dataFolder)
    : TEvaluation("Bot8x8", bar, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, FenwaParameters);
  LoadAndConvert(*this, false);
}

// ---------------------------------------------------------------------------------------------
// Pellin 8 x 8

void TPellinEvaluation::AddPatterns(TEvaluation& evaluation) {
  AddAll(evaluation, 8, 12,
         {
             {11, 12, 22, 13, 14, 15, 16, 17, 27, 18},  // edge with both X-squares
             {21, 22, 23, 24, 25, 26, 27, 28},          // row 2
             {31, 32, 33, 34, 35, 36, 37, 38},          // row 3
             {41, 42, 43, 44, 45, 46, 47, 48},          // row 4
             {11, 22, 33, 44, 55, 66, 77, 88},          // main diagonal
             {13, 24, 35, 46, 57, 68},                  // diagonal of 6 (before that of 7)
             {12, 23, 34, 45, 56, 67, 78},              // diagonal of 7
             {14, 25, 36, 47, 58},                      // diagonal of 5
             {48, 38, 37, 28, 27, 26, 18, 17, 16, 15},  // corner triangle at 18
             {11, 21, 12, 22, 13, 23, 14, 24, 15, 25},  // 2 x 5 corner block, by columns
         });
}

TPellinEvaluation::TPellinEvaluation(TPatternsOnly, std::filesystem::path dataFolder)
    : TEvaluation("Pellin", nullptr, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, PellinParameters);
}

TPellinEvaluation::TPellinEvaluation(TProgressBar* bar, std::filesystem::path dataFolder)
    : TEvaluation("Pellin", bar, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, PellinParameters);
  LoadAndConvert(*this, false);
}

// ---------------------------------------------------------------------------------------------
// Tovrel 8 x 8

void TTovrelEvaluation::AddPatterns(TEvaluation& evaluation) {
  AddAll(evaluation, 8, 12,
         {
             {11, 12, 22, 13, 14, 15, 16, 17, 27, 18},  // edge with both X-squares
             {21, 22, 23, 24, 25, 26, 27, 28},          // row 2
             {31, 32, 33, 34, 35, 36, 37, 38},          // row 3
             {41, 42, 43, 44, 45, 46, 47, 48},          // row 4
             {11, 22, 33, 44, 55, 66, 77, 88},          // main diagonal
             {12, 23, 34, 45, 56, 67, 78},              // diagonal of 7
             {13, 24, 35, 46, 57, 68},                  // diagonal of 6
             {14, 25, 36, 47, 58},                      // diagonal of 5
             {15, 26, 37, 48},                          // diagonal of 4
             {16, 26, 36, 17, 27, 37, 18, 28, 38},      // 3 x 3 corner, by columns
             {14, 24, 15, 25, 16, 26, 17, 27, 18, 28},  // 2 x 5 corner block, by columns
         });
}

TTovrelEvaluation::TTovrelEvaluation(TPatternsOnly, std::filesystem::path dataFolder)
    : TEvaluation("Tovrel", nullptr, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, TovrelParameters);
}

TTovrelEvaluation::TTovrelEvaluation(TProgressBar* bar, std::filesystem::path dataFolder)
    : TEvaluation("Tovrel", bar, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, TovrelParameters);
  LoadAndConvert(*this, false);
}

// ---------------------------------------------------------------------------------------------
// 10 x 10

void T10x10Evaluation::AddPatterns(TEvaluation& evaluation) {
  AddAll(evaluation, 10, 5,
         {
             {13, 14, 15, 16, 17, 18, 19, 20, 21, 22},     // row 1 (edge)
             {25, 26, 27, 28, 29, 30, 31, 32, 33, 34},     // row 2
             {37, 38, 39, 40, 41, 42, 43, 44, 45, 46},     // row 3
             {49, 50, 51, 52, 53, 54, 55, 56, 57, 58},     // row 4
             {49, 50, 51, 52, 53, 54, 55, 56, 57, 58},     // row 4 again, with its own block
             {13, 26, 39, 52, 65, 78, 91, 104, 117, 130},  // main diagonal
             {14, 27, 40, 53, 66, 79, 92, 105, 118},       // diagonal of 9
             {15, 28, 41, 54, 67, 80, 93, 106},            // diagonal of 8
             {16, 29, 42, 55, 68, 81, 94},                 // diagonal of 7
             {17, 30, 43, 56, 69, 82},                     // diagonal of 6
             {18, 31, 44, 57, 70},                         // diagonal of 5
             {19, 32, 45, 58},                             // diagonal of 4
             {13, 14, 15, 25, 26, 27, 37, 38, 39},         // 3 x 3 corner
             {13, 14, 15, 16, 17, 25, 26, 27, 28, 29},     // 2 x 5 corner block
         });
}

T10x10Evaluation::T10x10Evaluation(TPatternsOnly, std::filesystem::path dataFolder)
    : TEvaluation("Bot10x10", nullptr, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, Board10x10Parameters);
}

T10x10Evaluation::T10x10Evaluation(TProgressBar* bar, std::filesystem::path dataFolder)
    : TEvaluation("Bot10x10", bar, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, Board10x10Parameters);
  LoadAndConvert(*this, true);
}

// ---------------------------------------------------------------------------------------------
// Octagon

void T8x8OctEvaluation::AddPatterns(TEvaluation& evaluation) {
  AddAll(evaluation, 10, 8,
         {
             {15, 16, 17, 18, 19, 20},                     // row 1 (edge of 6)
             {26, 27, 28, 29, 30, 31, 32, 33},             // row 2
             {37, 38, 39, 40, 41, 42, 43, 44, 45, 46},     // row 3
             {49, 50, 51, 52, 53, 54, 55, 56, 57, 58},     // row 4
             {61, 62, 63, 64, 65, 66, 67, 68, 69, 70},     // row 5
             {37, 49, 61, 73, 85, 97},                     // column 1 (edge of 6)
             {26, 38, 50, 62, 74, 86, 98, 110},            // column 2
             {15, 27, 39, 51, 63, 75, 87, 99, 111, 123},   // column 3
             {16, 28, 40, 52, 64, 76, 88, 100, 112, 124},  // column 4
             {17, 29, 41, 53, 65, 77, 89, 101, 113, 125},  // column 5
             {26, 39, 52, 65, 78, 91, 104, 117},           // main diagonal
             {27, 40, 53, 66, 79, 92, 105},                // diagonal of 7
             {15, 28, 41, 54, 67, 80, 93, 106},            // diagonal of 8
             {16, 29, 42, 55, 68, 81, 94},                 // diagonal of 7
             {17, 30, 43, 56, 69, 82},                     // diagonal of 6
             {18, 31, 44, 57, 70},                         // diagonal of 5
             {19, 32, 45, 58, 20, 33, 46},                 // slanted edge: two short diagonals
             {15, 16, 17, 18, 26, 27, 28, 29, 30},         // edge block (4 + 5)
             {15, 26, 27, 37, 38, 39},                     // cut-corner triangle
         });
}

T8x8OctEvaluation::T8x8OctEvaluation(TPatternsOnly, std::filesystem::path dataFolder)
    : TEvaluation("Bot8x8Oct", nullptr, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, OctagonParameters);
}

T8x8OctEvaluation::T8x8OctEvaluation(TProgressBar* bar, std::filesystem::path dataFolder)
    : TEvaluation("Bot8x8Oct", bar, std::move(dataFolder)) {
  AddPatterns(*this);
  Apply(*this, OctagonParameters);
  LoadAndConvert(*this, false);
}

// ---------------------------------------------------------------------------------------------
// By name

int EvaluationBoardSide(std::string_view name) {
  const TEvaluationEntry* entry = FindEvaluation(name);
  return entry ? BoardSideOf(entry->Kind) : 0;
}

namespace {

template <typename TSetup>
std::unique_ptr<TEvaluation> Make(TProgressBar* bar, std::filesystem::path dataFolder,
                                  bool loadFiles) {
  if (loadFiles) return std::make_unique<TSetup>(bar, std::move(dataFolder));
  return std::make_unique<TSetup>(PatternsOnly, std::move(dataFolder));
}

}  // namespace

std::unique_ptr<TEvaluation> CreateEvaluation(const std::string& name, TProgressBar* bar,
                                              std::filesystem::path dataFolder, bool loadFiles) {
  if (name == "Bot8x8") return Make<TFenwaEvaluation>(bar, std::move(dataFolder), loadFiles);
  if (name == "Pellin") return Make<TPellinEvaluation>(bar, std::move(dataFolder), loadFiles);
  if (name == "Tovrel") return Make<TTovrelEvaluation>(bar, std::move(dataFolder), loadFiles);
  if (name == "Bot10x10") return Make<T10x10Evaluation>(bar, std::move(dataFolder), loadFiles);
  if (name == "Bot8x8Oct") return Make<T8x8OctEvaluation>(bar, std::move(dataFolder), loadFiles);
  throw std::runtime_error("Unknown evaluation \"" + name + "\"; known are " +
                           EvaluationNameList() + ".");
}

}  // namespace morvane
