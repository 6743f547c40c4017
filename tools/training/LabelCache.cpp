#include "training/LabelCache.h"

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace morvane::training {

namespace {

constexpr char Magic[8] = {'M', 'V', 'L', 'A', 'B', 'E', 'L', '1'};
constexpr size_t RecordBytes = 8 + TLabelCache::MaxEmpties + 1;

uint32_t ReadWord(const unsigned char* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

void PutWord(unsigned char* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

TLabelCache::TLabelCache(std::filesystem::path path, bool writable) : Path(std::move(path)) {
  std::error_code error;
  uintmax_t size = 0;
  if (std::filesystem::exists(Path, error)) {
    std::ifstream file(Path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (bytes.size() < sizeof Magic || std::memcmp(bytes.data(), Magic, sizeof Magic) != 0)
      throw std::runtime_error("\"" + Path.string() + "\" is not a label cache.");
    size_t offset = sizeof Magic;
    for (; offset + RecordBytes <= bytes.size(); offset += RecordBytes) {
      TRecord record;
      record.Hash = ReadWord(&bytes[offset + 4]);
      std::memcpy(record.Scores.data(), &bytes[offset + 8], record.Scores.size());
      Records[ReadWord(&bytes[offset])] = record;
    }
    size = offset;
  }
  if (!writable) return;
  if (size > 0) {
    // Cut a torn last record so that appends stay aligned.
    std::filesystem::resize_file(Path, size, error);
    Output = std::fopen(Path.string().c_str(), "ab");
  } else {
    if (Path.has_parent_path()) std::filesystem::create_directories(Path.parent_path(), error);
    Output = std::fopen(Path.string().c_str(), "wb");
    if (Output) std::fwrite(Magic, 1, sizeof Magic, Output);
  }
  if (!Output) throw std::runtime_error("Cannot write the label cache \"" + Path.string() + "\".");
}

TLabelCache::~TLabelCache() {
  if (Output) std::fclose(Output);
}

const TLabelCache::TScores* TLabelCache::Find(uint32_t game, uint32_t hash) const {
  const auto found = Records.find(game);
  if (found == Records.end() || found->second.Hash != hash) return nullptr;
  return &found->second.Scores;
}

void TLabelCache::Append(uint32_t game, uint32_t hash, const TScores& scores) {
  if (!Output) throw std::logic_error("the label cache was opened read-only");
  unsigned char bytes[RecordBytes];
  PutWord(bytes, game);
  PutWord(bytes + 4, hash);
  std::memcpy(bytes + 8, scores.data(), scores.size());
  if (std::fwrite(bytes, 1, RecordBytes, Output) != RecordBytes)
    throw std::runtime_error("Cannot append to the label cache \"" + Path.string() + "\".");
  Records[game] = TRecord{hash, scores};
}

void TLabelCache::Flush() {
  if (Output && std::fflush(Output) != 0)
    throw std::runtime_error("Cannot write the label cache \"" + Path.string() + "\".");
}

}  // namespace morvane::training
