#include "training/TrainedFiles.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace morvane::training {

namespace {

void AppendFloat(std::vector<unsigned char>& bytes, float value) {
  const uint32_t word = std::bit_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(word >> (8 * i)));
}

void AppendDouble(std::vector<unsigned char>& bytes, double value) {
  const uint64_t word = std::bit_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<unsigned char>(word >> (8 * i)));
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& path, std::span<const unsigned char> bytes) {
  std::error_code error;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
  if (error)
    throw std::runtime_error("Cannot create the folder of \"" + path.string() +
                             "\": " + error.message() + ".");
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      std::filesystem::remove(temporary, error);
      throw std::runtime_error("Cannot write \"" + temporary.string() + "\".");
    }
  }
  std::filesystem::rename(temporary, path, error);
  if (error)
    throw std::runtime_error("Cannot rename \"" + temporary.string() + "\" to \"" + path.string() +
                             "\": " + error.message() + ".");
}

void WriteCoefficients(const TEvaluation& evaluation, std::span<const float> bias,
                       const std::filesystem::path& path) {
  if (bias.size() > static_cast<size_t>(TEvaluation::MaxBiasValues))
    throw std::invalid_argument("more Bias values than the evaluation has room for");
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<size_t>(evaluation.PatternSectionBytes()) + 4 * bias.size());
  for (const auto& pattern : evaluation.Patterns) {
    if (static_cast<int>(pattern->Coefficients.size()) != pattern->StageCount)
      throw std::invalid_argument("the evaluation's coefficients were already converted");
    for (const auto& stage : pattern->Coefficients)
      for (const float value : stage) AppendFloat(bytes, value);
  }
  for (const float value : bias) AppendFloat(bytes, value);
  WriteFileAtomically(path, bytes);
}

void WriteNpcFile(const std::vector<TNpcRecord>& table, const std::filesystem::path& path) {
  if (static_cast<int64_t>(table.size() * sizeof(TNpcRecord)) != TEvaluation::NpcFileBytes)
    throw std::invalid_argument("the probe table has the wrong size");
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<size_t>(TEvaluation::NpcFileBytes));
  for (const TNpcRecord& record : table) {
    AppendDouble(bytes, record.Slope);
    AppendDouble(bytes, record.Offset);
    AppendDouble(bytes, record.Sigma);
  }
  WriteFileAtomically(path, bytes);
}

void WriteEccFile(const TEccRecord (&table)[14][9], const std::filesystem::path& path) {
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<size_t>(TEvaluation::EccFileBytes));
  for (const auto& row : table)
    for (const TEccRecord& record : row) {
      AppendDouble(bytes, record.Slope);
      AppendDouble(bytes, record.Offset);
      AppendDouble(bytes, record.Sigma);
      AppendDouble(bytes, record.Reserved);
    }
  WriteFileAtomically(path, bytes);
}

}  // namespace morvane::training
