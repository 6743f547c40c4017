#include "training/PatternFit.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "training/TrainedFiles.h"

namespace morvane::training {

namespace {

uint64_t Mix(uint64_t hash, uint64_t value) {
  hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  return hash;
}

double Dot(const std::vector<double>& a, const std::vector<double>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += a[i] * b[i];
  return sum;
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[200];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

TPatternFit::TPatternFit(const TFeatureLayout& layout,
                         const std::vector<TLabelledPosition>& positions, TFitOptions options)
    : Layout(layout), Options(std::move(options)), InstanceCount(layout.InstanceCount()) {
  const size_t count = positions.size();
  Features.resize(count * InstanceCount);
  Empties.resize(count);
  Labels.resize(count);
  Train.resize(count);
  DataHash = Mix(count, static_cast<uint64_t>(layout.ParameterCount()));
  for (size_t i = 0; i < count; ++i) {
    const TLabelledPosition& position = positions[i];
    layout.Classes(position.Own, position.Opp, &Features[i * InstanceCount]);
    Empties[i] = position.Empties;
    Labels[i] = position.Label;
    Train[i] = (position.Flags & HeldOut) == 0;
    if (i % 97 == 0) DataHash = Mix(Mix(DataHash, position.Own ^ position.Opp), position.Label);
  }
  Prepare();
}

TPatternFit::TPatternFit(const TFeatureLayout& layout, TFitRows rows, TFitOptions options)
    : Layout(layout),
      Options(std::move(options)),
      InstanceCount(layout.InstanceCount()),
      Features(std::move(rows.Features)),
      Empties(std::move(rows.Empties)),
      Labels(std::move(rows.Labels)),
      Train(std::move(rows.Train)) {
  const size_t count = Empties.size();
  if (Features.size() != count * InstanceCount || Labels.size() != count || Train.size() != count)
    throw std::invalid_argument("fit rows of unequal lengths");
  DataHash = Mix(count, static_cast<uint64_t>(layout.ParameterCount()));
  // Every label counts: a relabelled fit changes labels, not positions, and may change few.
  for (size_t i = 0; i < count; ++i) {
    uint64_t features = 0;
    if (i % 97 == 0)
      for (int k = 0; k < InstanceCount; ++k)
        features = Mix(features, Features[i * InstanceCount + k]);
    DataHash = Mix(Mix(Mix(DataHash, features), std::bit_cast<uint32_t>(Labels[i])), Train[i]);
  }
  Prepare();
}

void TPatternFit::Prepare() {
  const TFeatureLayout& layout = Layout;
  const size_t count = Empties.size();
  const int playable = layout.PlayableSquares();
  for (int i = 0; i < InstanceCount; ++i) Multiplicity.push_back(layout.Multiplicity(i));
  InstanceBase.resize(layout.StageCount());
  for (int stage = 0; stage < layout.StageCount(); ++stage)
    for (int i = 0; i < InstanceCount; ++i)
      InstanceBase[stage].push_back(layout.Parameter(i, stage, 0));

  // A position trains its own stage at full weight and a neighbouring stage at BlendWeight when
  // it lies within BlendReach discs of that stage's range.
  const int width = playable / layout.StageCount();
  const int reach = Options.BlendReach >= 0 ? Options.BlendReach : (width + 1) / 2;
  CopiesOfDiscs.resize(playable + 1);
  for (int discs = 0; discs <= playable; ++discs) {
    const int own = layout.StageOf(discs);
    CopiesOfDiscs[discs].push_back({own, 1.0});
    if (Options.BlendWeight <= 0) continue;
    for (const int neighbour : {own - 1, own + 1}) {
      if (neighbour < 0 || neighbour >= layout.StageCount()) continue;
      int distance = playable + 1;
      for (int other = 4; other <= playable; ++other)
        if (layout.StageOf(other) == neighbour)
          distance = std::min(distance, std::abs(other - discs));
      if (distance <= reach) CopiesOfDiscs[discs].push_back({neighbour, Options.BlendWeight});
    }
  }
  for (size_t i = 0; i < count; ++i)
    if (Train[i]) TrainRows += static_cast<int64_t>(CopiesOfDiscs[playable - Empties[i]].size());

  Regularisation.assign(static_cast<size_t>(layout.ParameterCount()), Options.Lambda);
  for (int discs = 0; discs <= playable; ++discs)
    Regularisation[layout.BiasOffset() + discs] = Options.BiasLambda;
}

template <typename TRowFn>
void TPatternFit::ForEachRow(TRowFn&& row) const {
  const size_t count = Empties.size();
  for (size_t i = 0; i < count; ++i) {
    if (!Train[i]) continue;
    const int discs = Layout.PlayableSquares() - Empties[i];
    for (const TCopy& copy : CopiesOfDiscs[discs])
      row(i, discs, InstanceBase[copy.Stage].data(), copy.Weight);
  }
}

void TPatternFit::Multiply(const std::vector<double>& direction, std::vector<double>& out) const {
  for (size_t j = 0; j < out.size(); ++j) out[j] = Regularisation[j] * direction[j];
  const int64_t bias = Layout.BiasOffset();
  const int32_t* multiplicity = Multiplicity.data();
  ForEachRow([&](size_t i, int discs, const int64_t* base, double weight) {
    const uint16_t* classes = &Features[i * InstanceCount];
    double value = direction[bias + discs];
    for (int k = 0; k < InstanceCount; ++k)
      value += multiplicity[k] * direction[base[k] + classes[k]];
    value *= weight;
    out[bias + discs] += value;
    for (int k = 0; k < InstanceCount; ++k) out[base[k] + classes[k]] += multiplicity[k] * value;
  });
}

double TPatternFit::Predict(const std::vector<double>& parameters, size_t index) const {
  const int discs = Layout.PlayableSquares() - Empties[index];
  const int64_t* base = InstanceBase[Layout.StageOf(discs)].data();
  const uint16_t* classes = &Features[index * InstanceCount];
  double value = parameters[Layout.BiasOffset() + discs];
  for (int k = 0; k < InstanceCount; ++k)
    value += Multiplicity[k] * parameters[base[k] + classes[k]];
  return value;
}

uint64_t TPatternFit::Fingerprint() const {
  uint64_t hash = DataHash;
  hash = Mix(hash, std::bit_cast<uint64_t>(Options.Lambda));
  hash = Mix(hash, std::bit_cast<uint64_t>(Options.BiasLambda));
  hash = Mix(hash, std::bit_cast<uint64_t>(Options.BlendWeight));
  hash = Mix(hash, static_cast<uint64_t>(Options.BlendReach + 1));
  return hash;
}

namespace {

constexpr char CheckpointMagic[8] = {'M', 'V', 'F', 'I', 'T', 'C', 'G', '1'};

}  // namespace

bool TPatternFit::LoadCheckpoint(std::vector<double>& x, std::vector<double>& r,
                                 std::vector<double>& p, double& rz, int& iteration) const {
  if (Options.Checkpoint.empty()) return false;
  std::ifstream file(Options.Checkpoint, std::ios::binary);
  if (!file) return false;
  char magic[8];
  uint64_t fingerprint = 0, size = 0;
  int32_t done = 0;
  file.read(magic, 8);
  file.read(reinterpret_cast<char*>(&fingerprint), 8);
  file.read(reinterpret_cast<char*>(&size), 8);
  file.read(reinterpret_cast<char*>(&done), 4);
  file.read(reinterpret_cast<char*>(&rz), 8);
  if (!file || std::memcmp(magic, CheckpointMagic, 8) != 0 || fingerprint != Fingerprint() ||
      size != x.size())
    return false;
  for (auto* vector : {&x, &r, &p})
    file.read(reinterpret_cast<char*>(vector->data()),
              static_cast<std::streamsize>(vector->size() * sizeof(double)));
  if (!file) return false;
  iteration = done;
  return true;
}

void TPatternFit::SaveCheckpoint(const std::vector<double>& x, const std::vector<double>& r,
                                 const std::vector<double>& p, double rz, int iteration) const {
  if (Options.Checkpoint.empty()) return;
  std::vector<unsigned char> bytes;
  auto append = [&](const void* data, size_t size) {
    const auto* begin = static_cast<const unsigned char*>(data);
    bytes.insert(bytes.end(), begin, begin + size);
  };
  const uint64_t fingerprint = Fingerprint(), size = x.size();
  const int32_t done = iteration;
  append(CheckpointMagic, 8);
  append(&fingerprint, 8);
  append(&size, 8);
  append(&done, 4);
  append(&rz, 8);
  for (const auto* vector : {&x, &r, &p}) append(vector->data(), vector->size() * sizeof(double));
  WriteFileAtomically(Options.Checkpoint, bytes);
}

std::vector<double> TPatternFit::Solve() {
  const size_t n = static_cast<size_t>(Layout.ParameterCount());
  const int64_t bias = Layout.BiasOffset();
  auto progress = [&](const std::string& line) {
    if (Options.Progress) Options.Progress(line);
  };

  // Right-hand side and the Jacobi preconditioner (the diagonal of A).
  std::vector<double> rhs(n, 0.0), diagonal(Regularisation);
  ForEachRow([&](size_t i, int discs, const int64_t* base, double weight) {
    const uint16_t* classes = &Features[i * InstanceCount];
    const double target = weight * Labels[i];
    rhs[bias + discs] += target;
    diagonal[bias + discs] += weight;
    for (int k = 0; k < InstanceCount; ++k) {
      rhs[base[k] + classes[k]] += Multiplicity[k] * target;
      diagonal[base[k] + classes[k]] += weight * Multiplicity[k] * Multiplicity[k];
    }
  });

  std::vector<double> x(n, 0.0), r(n), z(n), p(n), q(n);
  double rz = 0;
  int iteration = 0;
  if (LoadCheckpoint(x, r, p, rz, iteration)) {
    progress("resumed from the checkpoint after iteration " + std::to_string(iteration));
  } else {
    r = rhs;
    for (size_t j = 0; j < n; ++j) p[j] = z[j] = r[j] / diagonal[j];
    rz = Dot(r, z);
  }
  double start = 0;
  for (size_t j = 0; j < n; ++j) start += rhs[j] * rhs[j] / diagonal[j];
  start = std::max(start, 1e-300);
  auto lastSave = std::chrono::steady_clock::now();
  const auto began = lastSave;
  while (iteration < Options.Iterations) {
    Multiply(p, q);
    const double curvature = Dot(p, q);
    // Nothing left to fit (no data, or an exact solution reached).
    if (!(curvature > 0) || !(rz > 0)) break;
    const double alpha = rz / curvature;
    for (size_t j = 0; j < n; ++j) {
      x[j] += alpha * p[j];
      r[j] -= alpha * q[j];
      z[j] = r[j] / diagonal[j];
    }
    const double next = Dot(r, z);
    const double beta = next / rz;
    rz = next;
    for (size_t j = 0; j < n; ++j) p[j] = z[j] + beta * p[j];
    ++iteration;
    const auto now = std::chrono::steady_clock::now();
    if (iteration % 10 == 0 || iteration == 1)
      progress(Format("iteration %.0f: residual %.3e, %.0f s", iteration, rz / start,
                      std::chrono::duration<double>(now - began).count()));
    if (rz / start < Options.Tolerance) break;
    if (now - lastSave > std::chrono::seconds(Options.CheckpointSeconds)) {
      SaveCheckpoint(x, r, p, rz, iteration);
      lastSave = now;
    }
  }
  SaveCheckpoint(x, r, p, rz, iteration);
  return x;
}

THeldOutErrors MeasureHeldOut(const TPatternFit& fit, const std::vector<double>& parameters,
                              const std::vector<TLabelledPosition>& positions, int stageCount,
                              const TFeatureLayout& layout) {
  THeldOutErrors errors;
  errors.ByStageResult.assign(stageCount, 0.0);
  errors.ByStageLabel.assign(stageCount, 0.0);
  errors.ByStageCount.assign(stageCount, 0);
  std::vector<int64_t> resultCount(stageCount, 0);
  for (size_t i = 0; i < positions.size(); ++i) {
    const TLabelledPosition& position = positions[i];
    if ((position.Flags & HeldOut) == 0) {
      if (position.Empties == 24 && position.Exact != NoExact) {
        errors.TrainingAt24Exact += std::abs(fit.Predict(parameters, i) - position.Exact);
        ++errors.TrainingAt24Count;
      }
      continue;
    }
    const double value = fit.Predict(parameters, i);
    const int stage = layout.StageOf(64 - position.Empties);
    errors.ByStageLabel[stage] += std::abs(value - position.Label);
    ++errors.ByStageCount[stage];
    errors.Label += std::abs(value - position.Label);
    ++errors.LabelCount;
    if (position.Flags & Finished) {
      errors.ByStageResult[stage] += std::abs(value - position.Result);
      ++resultCount[stage];
    }
    if (position.Exact != NoExact) {
      errors.ExactAll += std::abs(value - position.Exact);
      ++errors.ExactCount;
      if (position.Empties == 24) {
        errors.At24Exact += std::abs(value - position.Exact);
        ++errors.At24Count;
      }
    }
  }
  for (int stage = 0; stage < stageCount; ++stage) {
    if (resultCount[stage]) errors.ByStageResult[stage] /= static_cast<double>(resultCount[stage]);
    if (errors.ByStageCount[stage])
      errors.ByStageLabel[stage] /= static_cast<double>(errors.ByStageCount[stage]);
  }
  if (errors.At24Count) errors.At24Exact /= static_cast<double>(errors.At24Count);
  if (errors.TrainingAt24Count)
    errors.TrainingAt24Exact /= static_cast<double>(errors.TrainingAt24Count);
  if (errors.ExactCount) errors.ExactAll /= static_cast<double>(errors.ExactCount);
  if (errors.LabelCount) errors.Label /= static_cast<double>(errors.LabelCount);
  return errors;
}

}  // namespace morvane::training
