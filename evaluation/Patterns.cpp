#include "evaluation/Patterns.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace morvane {

namespace {

// File values are little-endian whatever the host; assembling them byte by byte keeps the
// readers right on any machine.
uint32_t Le32(const unsigned char* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}
float LeFloat(const unsigned char* bytes) { return std::bit_cast<float>(Le32(bytes)); }
double LeDouble(const unsigned char* bytes) {
  return std::bit_cast<double>(uint64_t{Le32(bytes)} | uint64_t{Le32(bytes + 4)} << 32);
}

// Rounds half to even (the default rounding mode) and saturates, so that an absurd coefficient
// gives an absurd score rather than undefined behaviour.
int32_t ToUnits(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded > std::numeric_limits<int32_t>::min())) {
    return std::isnan(rounded) ? 0 : std::numeric_limits<int32_t>::min();
  }
  if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(rounded);
}

std::string Quoted(const std::filesystem::path& path) { return '"' + path.string() + '"'; }

// Size of a file, or -1 when there is none.
int64_t SizeOf(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<int64_t>(size);
}

[[noreturn]] void Reject(const std::filesystem::path& path, int64_t size,
                         const std::string& expected) {
  if (size < 0) {
    throw std::runtime_error("Coefficient file " + Quoted(path) + " is missing; expected " +
                             expected + ".");
  }
  throw std::runtime_error("Coefficient file " + Quoted(path) + " is " + std::to_string(size) +
                           " bytes; expected " + expected + ".");
}

void CheckBlockFile(const std::filesystem::path& path, int64_t blockBytes) {
  const int64_t size = SizeOf(path);
  if (size < blockBytes) Reject(path, size, "at least " + std::to_string(blockBytes) + " bytes");
}

void ReadExactly(std::ifstream& file, const std::filesystem::path& path, unsigned char* into,
                 int64_t bytes) {
  file.read(reinterpret_cast<char*>(into), bytes);
  if (file.gcount() != bytes) {
    throw std::runtime_error("Coefficient file " + Quoted(path) +
                             " could not be read to its end; it changed or failed while loading.");
  }
}

std::ifstream OpenForReading(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("Coefficient file " + Quoted(path) + " cannot be opened.");
  return file;
}

std::vector<unsigned char> ReadBlock(const std::filesystem::path& path, int64_t blockBytes) {
  CheckBlockFile(path, blockBytes);
  std::ifstream file = OpenForReading(path);
  std::vector<unsigned char> bytes(blockBytes);
  ReadExactly(file, path, bytes.data(), blockBytes);
  return bytes;
}

// Leaves the progress bar disabled and hidden however loading ends.
class TBarSession {
 public:
  TBarSession(TProgressBar* bar, int max) : Bar(bar) {
    if (!Bar) return;
    Bar->SetEnabled(true);
    Bar->SetVisible(true);
    Bar->SetPosition(0);
    Bar->SetMax(max);
  }
  ~TBarSession() {
    if (!Bar) return;
    Bar->SetEnabled(false);
    Bar->SetVisible(false);
  }
  TBarSession(const TBarSession&) = delete;
  TBarSession& operator=(const TBarSession&) = delete;

  void Step() {
    if (!Bar) return;
    ProcessPendingEvents();
    Bar->StepIt();
  }

 private:
  TProgressBar* Bar;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TPattern

TPattern::TPattern(int boardSize, int stageCount, std::span<const int32_t> squares)
    : Width(boardSize + 2),
      StageCount(stageCount),
      SquareCount(static_cast<int32_t>(squares.size())) {
  if (boardSize < 1 || Width * Width > CellCount) {
    throw std::invalid_argument("Pattern board size " + std::to_string(boardSize) +
                                " is not supported.");
  }
  if (stageCount < 1 || stageCount > MaxStages) {
    throw std::invalid_argument("Pattern stage count " + std::to_string(stageCount) +
                                " is outside 1.." + std::to_string(MaxStages) + ".");
  }
  if (squares.empty() || squares.size() > MaxSquares) {
    throw std::invalid_argument("A pattern has 1.." + std::to_string(MaxSquares) +
                                " squares, not " + std::to_string(squares.size()) + ".");
  }
  bool used[CellCount] = {};
  for (const int32_t square : squares) {
    const int32_t row = square / Width, col = square % Width;
    if (square < 0 || row < 1 || row > boardSize || col < 1 || col > boardSize) {
      throw std::invalid_argument("Pattern square " + std::to_string(square) +
                                  " is not on a board of size " + std::to_string(boardSize) + ".");
    }
    if (used[square]) {
      throw std::invalid_argument("Pattern square " + std::to_string(square) + " is repeated.");
    }
    used[square] = true;
  }

  Images[0].assign(squares.begin(), squares.end());
  for (int image = 1; image < 8; ++image) {
    const std::vector<int32_t>& from = Images[image == 4 ? 0 : image - 1];
    Images[image].resize(from.size());
    std::transform(from.begin(), from.end(), Images[image].begin(), [&](int32_t square) {
      return image == 4 ? Mirror(square, Width) : QuarterTurn(square, Width);
    });
  }
  // Called here, before any derived constructor has run, so this is always our own version.
  CollectInstances();
  Coefficients.assign(StageCount, std::vector<float>(Pow3[SquareCount], 0.0f));
}

TPattern::~TPattern() = default;

void TPattern::CollectInstances() {
  Instances.clear();
  Multiplicity.clear();
  // Images count as the same instance when they cover the same squares in any order.
  std::vector<int32_t> sorted[8];
  for (int image = 0; image < 8; ++image) {
    sorted[image] = Images[image];
    std::sort(sorted[image].begin(), sorted[image].end());
  }
  bool taken[8] = {};
  for (int image = 0; image < 8; ++image) {
    if (taken[image]) continue;
    Instances.push_back(Images[image]);
    Multiplicity.push_back(1);
    for (int later = image + 1; later < 8; ++later) {
      if (!taken[later] && sorted[later] == sorted[image]) {
        taken[later] = true;
        ++Multiplicity.back();
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// TEvaluation

TEvaluation::TEvaluation(std::string name, TProgressBar* progressBar,
                         std::filesystem::path dataFolder)
    : Name(std::move(name)),
      ProgressBar(progressBar),
      DataFolder(std::move(dataFolder)),
      NpcTable(static_cast<size_t>(NpcDiscs) * NpcDepths * NpcDepths, TNpcRecord{}) {}

TEvaluation::~TEvaluation() = default;

void TEvaluation::AddPattern(std::unique_ptr<TPattern> pattern) {
  if (!pattern) throw std::invalid_argument("AddPattern needs a pattern.");
  // Stage and table choice use the first pattern's stage count for all of them.
  if (!Patterns.empty() && pattern->StageCount != Patterns.front()->StageCount) {
    throw std::invalid_argument("Pattern with " + std::to_string(pattern->StageCount) +
                                " stages added to an evaluation of " +
                                std::to_string(Patterns.front()->StageCount) + " stages.");
  }
  Patterns.push_back(std::move(pattern));
}

std::filesystem::path TEvaluation::FilePath(const char* extension) const {
  return DataFolder / Name / (Name + extension);
}

int64_t TEvaluation::PatternSectionBytes() const {
  int64_t bytes = 0;
  for (const auto& pattern : Patterns) {
    bytes += int64_t{pattern->StageCount} * Pow3[pattern->SquareCount] * 4;
  }
  return bytes;
}

int TEvaluation::StageCount() const { return Patterns.empty() ? 0 : Patterns.front()->StageCount; }

int TEvaluation::InstanceCount() const {
  int count = 0;
  for (const auto& pattern : Patterns) count += static_cast<int>(pattern->Instances.size());
  return count;
}

int TEvaluation::StageOf(int discs, int playableSquares) const {
  const int stages = StageCount();
  const int width = stages > 0 ? playableSquares / stages : 0;
  if (width <= 0) return 0;
  // Division truncates toward zero, so the four opening discs fall in stage 0; the clamp only
  // guards the table row against a disc count the board cannot hold.
  return std::clamp((discs - 5) / width, 0, stages - 1);
}

void TEvaluation::LoadCoefficients() {
  const std::filesystem::path coePath = FilePath(".coe");
  const std::filesystem::path npcPath = FilePath(".npc");
  const std::filesystem::path eccPath = FilePath(".ecc");

  // Everything is checked first, so that a bad file leaves the evaluation as it was.
  const int64_t section = PatternSectionBytes();
  const int64_t size = SizeOf(coePath);
  if (size < section) {
    Reject(coePath, size, "at least " + std::to_string(section) + " bytes (the pattern section)");
  }
  const int64_t tailBytes = size - section;
  if (tailBytes % 4 != 0 || tailBytes / 4 > MaxBiasValues) {
    // A tail that does not fit Bias belongs to another evaluation's pattern list.
    Reject(coePath, size,
           std::to_string(section) + " bytes (the pattern section) plus at most " +
               std::to_string(MaxBiasValues) + " whole 4-byte bias values, at most " +
               std::to_string(section + 4 * MaxBiasValues) + " bytes");
  }
  for (const auto& pattern : Patterns) {
    if (pattern->Coefficients.empty()) {
      throw std::logic_error("Coefficients of " + Name + " are loaded after ConvertToIntegers.");
    }
  }
  const bool hasNpc = std::filesystem::exists(npcPath);
  const bool hasEcc = std::filesystem::exists(eccPath);
  if (hasNpc) CheckBlockFile(npcPath, NpcFileBytes);
  if (hasEcc) CheckBlockFile(eccPath, EccFileBytes);

  TBarSession bar(ProgressBar, static_cast<int>(Patterns.size()) * StageCount());
  std::ifstream file = OpenForReading(coePath);
  std::vector<unsigned char> bytes;
  for (const auto& pattern : Patterns) {
    const int32_t entries = Pow3[pattern->SquareCount];
    bytes.resize(static_cast<size_t>(entries) * 4);
    for (int stage = 0; stage < pattern->StageCount; ++stage) {
      ReadExactly(file, coePath, bytes.data(), static_cast<int64_t>(bytes.size()));
      float* coefficients = pattern->Coefficients[stage].data();
      for (int32_t p = 0; p < entries; ++p) coefficients[p] = LeFloat(&bytes[4 * p]);
      bar.Step();
    }
  }
  bytes.resize(tailBytes);
  ReadExactly(file, coePath, bytes.data(), tailBytes);
  for (int64_t value = 0; value < tailBytes / 4; ++value) {
    Bias[4 + value] = ToUnits(double{LeFloat(&bytes[4 * value])} * DiscUnit);
  }
  file.close();

  if (hasNpc) ReadNpcFile(npcPath);
  if (hasEcc) ReadEccFile(eccPath);
}

void TEvaluation::ReadNpcFile(const std::filesystem::path& path) {
  const std::vector<unsigned char> bytes = ReadBlock(path, NpcFileBytes);
  for (size_t record = 0; record < NpcTable.size(); ++record) {
    const unsigned char* at = &bytes[record * sizeof(TNpcRecord)];
    NpcTable[record] = {LeDouble(at), LeDouble(at + 8), LeDouble(at + 16)};
  }

  // Missing records (Slope exactly 0) with a shallow depth below the deep one borrow from the
  // reference depth: the record with the same depth gap if the gap fits below it, otherwise the
  // one at gap R with Sigma widened for the extra plies.
  const int reference = NpcReferenceDepth;
  if (reference < 0 || reference >= NpcDepths) return;  // no record to borrow from
  for (int discs = 1; discs <= NpcDiscs; ++discs) {
    for (int deep = 0; deep < NpcDepths; ++deep) {
      for (int shallow = 0; shallow < NpcDepths; ++shallow) {
        TNpcRecord& record = Npc(discs, deep, shallow);
        const int gap = deep - shallow;
        if (record.Slope != 0.0 || gap <= 0) continue;
        const bool within = gap <= reference;
        const TNpcRecord source = Npc(discs, reference, within ? reference - gap : 0);
        const int extra = within ? 0 : gap - reference;
        record = {source.Slope, source.Offset, source.Sigma + extra / 1.2};
      }
    }
  }
}

void TEvaluation::ReadEccFile(const std::filesystem::path& path) {
  const std::vector<unsigned char> bytes = ReadBlock(path, EccFileBytes);
  size_t offset = 0;
  for (auto& row : EccTable) {
    for (TEccRecord& record : row) {
      const unsigned char* at = &bytes[offset];
      record = {LeDouble(at), LeDouble(at + 8), LeDouble(at + 16), LeDouble(at + 24)};
      offset += sizeof(TEccRecord);
    }
  }
}

void TEvaluation::SmoothStages(int upTo) {
  for (const auto& pattern : Patterns) {
    const int stages = static_cast<int>(pattern->Coefficients.size());
    const int32_t entries = Pow3[pattern->SquareCount];
    for (int stage = 0; stage < stages; ++stage) {
      double weights[TPattern::MaxStages];
      double weightSum = 0;
      for (int s = 0; s < stages; ++s) {
        weights[s] = s == stage ? 1.0 : 0.2 / std::abs(stage - s);
        weightSum += weights[s];
      }
      // In place and in ascending order: stages already blended feed the later ones.
      for (int32_t p = 0; p < entries; ++p) {
        float& coefficient = pattern->Coefficients[stage][p];
        // Later stages keep what training gave them; only untrained entries are filled.
        if (stage > upTo && std::abs(double{coefficient}) >= 0.0001) continue;
        double blend = 0;
        for (int s = 0; s < stages; ++s) blend += weights[s] * pattern->Coefficients[s][p];
        coefficient = static_cast<float>(blend / weightSum);
      }
    }
  }
}

void TEvaluation::ConvertToIntegers() {
  TBarSession bar(ProgressBar, static_cast<int>(Patterns.size()));
  for (const auto& pattern : Patterns) {
    if (pattern->Coefficients.empty()) {
      bar.Step();  // converted before
      continue;
    }
    const int32_t entries = Pow3[pattern->SquareCount];
    // The engine places only the distinct instances; scaling by the multiplicity makes their
    // sum equal the sum over all eight images.
    const double scale = double{DiscUnit} * pattern->Multiplicity.front();
    pattern->Tables.clear();
    for (int stage = 0; stage < pattern->StageCount; ++stage) {
      auto table = std::make_unique<int32_t[]>(entries);
      const std::vector<float>& coefficients = pattern->Coefficients[stage];
      for (int32_t p = 0; p < entries; ++p) table[p] = ToUnits(coefficients[p] * scale);
      pattern->Tables.push_back(std::move(table));
      std::vector<float>().swap(pattern->Coefficients[stage]);
    }
    std::vector<std::vector<float>>().swap(pattern->Coefficients);
    bar.Step();
  }
}

}  // namespace morvane
