// The least-squares fit of a set-up's stage tables and Bias terms to labelled positions, by the
// preconditioned conjugate gradient on the normal equations. Every pattern entry is pulled
// toward zero with a fixed weight, so that an entry seen a few times stays small while one seen
// thousands of times is set by its data; neighbouring stages see each other's positions at a
// reduced weight, so that the tables do not jump at a stage boundary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "training/PatternFeatures.h"
#include "training/TrainingSet.h"

namespace morvane::training {

struct TFitOptions {
  double Lambda = 4.0;        // pull toward zero of every pattern entry, in positions
  double BiasLambda = 0.01;   // the Bias terms are well determined; a touch keeps them finite
  double BlendWeight = 0.25;  // weight of a position in a neighbouring stage's tables
  int BlendReach = -1;        // discs beyond its range that a stage still sees; -1: half a stage
  int Iterations = 120;
  double Tolerance = 1e-7;           // stop when the preconditioned residual falls below this share
  std::filesystem::path Checkpoint;  // empty: none
  int CheckpointSeconds = 180;
  std::function<void(const std::string&)> Progress;
};

// Positions already turned into features, for boards whose positions are not bitboards.
struct TFitRows {
  std::vector<uint16_t> Features;  // the layout's InstanceCount classes per position
  std::vector<uint8_t> Empties;
  std::vector<float> Labels;   // discs for the side to move
  std::vector<uint8_t> Train;  // 0: held out (measured, not fitted)
};

class TPatternFit {
 public:
  // Computes the features of every position (held-out ones too, for measuring). Positions are
  // read, not kept; the fit trains on those without the HeldOut flag.
  TPatternFit(const TFeatureLayout& layout, const std::vector<TLabelledPosition>& positions,
              TFitOptions options);
  TPatternFit(const TFeatureLayout& layout, TFitRows rows, TFitOptions options);

  // Runs the solver to its iteration limit or tolerance and returns the parameters. Resumes from
  // the checkpoint when it was written for the same data and options.
  std::vector<double> Solve();

  // The evaluation of position `index` in discs, as the engine sums it (its own stage only).
  double Predict(const std::vector<double>& parameters, size_t index) const;

  size_t PositionCount() const { return Empties.size(); }
  int64_t TrainingRows() const { return TrainRows; }

 private:
  struct TCopy {
    int Stage;
    double Weight;
  };
  // out = A * direction, A the normal matrix with its regularisation.
  void Multiply(const std::vector<double>& direction, std::vector<double>& out) const;
  template <typename TRowFn>
  void ForEachRow(TRowFn&& row) const;
  // The stage copies, training rows and regularisation, once the rows are in place.
  void Prepare();
  uint64_t Fingerprint() const;
  bool LoadCheckpoint(std::vector<double>& x, std::vector<double>& r, std::vector<double>& p,
                      double& rz, int& iteration) const;
  void SaveCheckpoint(const std::vector<double>& x, const std::vector<double>& r,
                      const std::vector<double>& p, double rz, int iteration) const;

  const TFeatureLayout& Layout;
  TFitOptions Options;
  int InstanceCount;
  std::vector<uint16_t> Features;  // InstanceCount per position
  std::vector<uint8_t> Empties;
  std::vector<float> Labels;
  std::vector<uint8_t> Train;
  std::vector<int32_t> Multiplicity;
  std::vector<std::vector<int64_t>> InstanceBase;  // per stage, per instance
  std::vector<std::vector<TCopy>> CopiesOfDiscs;   // 0..PlayableSquares
  std::vector<double> Regularisation;
  int64_t TrainRows = 0;
  uint64_t DataHash = 0;
};

// Mean absolute errors in discs of a fit on the held-out positions.
struct THeldOutErrors {
  std::vector<double> ByStageResult;  // against the final result of finished games
  std::vector<double> ByStageLabel;   // against the training label
  std::vector<int64_t> ByStageCount;
  double At24Exact = 0;  // against exact values at 24 empties
  int64_t At24Count = 0;
  // The same on the training games' positions: far below the held-out figure means the tables
  // learn the games by heart, close to it means they have no room for more.
  double TrainingAt24Exact = 0;
  int64_t TrainingAt24Count = 0;
  double ExactAll = 0;  // against every exact value known
  int64_t ExactCount = 0;
  double Label = 0;  // against the label, all stages
  int64_t LabelCount = 0;
};

THeldOutErrors MeasureHeldOut(const TPatternFit& fit, const std::vector<double>& parameters,
                              const std::vector<TLabelledPosition>& positions, int stageCount,
                              const TFeatureLayout& layout);

}  // namespace morvane::training
