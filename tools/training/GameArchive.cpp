#include "training/GameArchive.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <memory>
#include <stdexcept>

#include "engines/BitboardMoves.h"
#include "engines/Othello8x8PatternEngine.h"

namespace morvane::training {

namespace {

// Standard start: d4 and e5 white, e4 and d5 black, black to move.
constexpr uint64_t StartBlack = (uint64_t{1} << 28) | (uint64_t{1} << 35);
constexpr uint64_t StartWhite = (uint64_t{1} << 27) | (uint64_t{1} << 36);

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

std::optional<int> ParseInt(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

struct TGzCloser {
  void operator()(gzFile file) const { gzclose(file); }
};

}  // namespace

uint32_t TextHash(std::string_view text) {
  uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

uint64_t LegalMoves(uint64_t own, uint64_t opp) {
  return TOthello8x8PatternEngine::MobilityMask(own, opp);
}

uint64_t PlayMove(int bit, uint64_t& own, uint64_t& opp) {
  const uint64_t mask = uint64_t{1} << bit;
  if ((own | opp) & mask) return 0;
  const uint64_t before = opp;
  if (bits::Play(bits::SquareOf(bit), own, opp) == 0) return 0;
  return before & ~opp;
}

int FinalBlackDiff(const TGamePosition& position) {
  const int own = std::popcount(position.Own), opp = std::popcount(position.Opp);
  int diff = 0;
  if (own > opp) diff = 64 - 2 * opp;
  if (own < opp) diff = 2 * own - 64;
  return position.Side == 1 ? diff : -diff;
}

std::string MovesText(const std::vector<int>& moves) {
  std::string text;
  for (const int bit : moves) {
    text += static_cast<char>('a' + bit % 8);
    text += static_cast<char>('1' + bit / 8);
  }
  return text;
}

std::optional<std::string> ParseGameLine(std::string_view line, TArchiveGame& game) {
  const auto fields = SplitFields(line);
  if (fields.size() < 2) return "expected the moves and the final difference";
  const std::string_view moves = fields[0];
  if (moves.size() % 2 != 0) return "the move text has an odd length";
  if (moves.size() > 120) return "more than 60 moves";
  const auto diff = ParseInt(fields[1]);
  if (!diff || *diff < -64 || *diff > 64) return "the final difference is not a number in -64..64";

  game.Positions.clear();
  game.Moves.clear();
  game.BlackDiff = *diff;
  game.TheoreticalDiff.reset();
  game.TheoreticalEmpties = 0;
  game.Hash = TextHash(moves);
  // WTHOR base: moves diff year black_final black_theoretical theo_empties ...
  if (fields.size() >= 6) {
    const auto theoretical = ParseInt(fields[4]);
    const auto empties = ParseInt(fields[5]);
    if (!theoretical || !empties || *theoretical < 0 || *theoretical > 64 || *empties < 0 ||
        *empties > 60)
      return "the theoretical score or its empties are not numbers in range";
    game.TheoreticalDiff = 2 * *theoretical - 64;
    game.TheoreticalEmpties = *empties;
  }

  TGamePosition position{StartBlack, StartWhite, 1, 60};
  for (size_t i = 0; i < moves.size(); i += 2) {
    const char column = moves[i], row = moves[i + 1];
    if (column < 'a' || column > 'h' || row < '1' || row > '8')
      return "move " + std::to_string(i / 2 + 1) + " \"" + std::string(moves.substr(i, 2)) +
             "\" is not a square";
    const int bit = 8 * (row - '1') + (column - 'a');
    // Passes are implicit: a side without a move hands the turn over.
    if (LegalMoves(position.Own, position.Opp) == 0) {
      std::swap(position.Own, position.Opp);
      position.Side = static_cast<int8_t>(-position.Side);
    }
    game.Positions.push_back(position);
    if (PlayMove(bit, position.Own, position.Opp) == 0)
      return "move " + std::to_string(i / 2 + 1) + " \"" + std::string(moves.substr(i, 2)) +
             "\" is illegal";
    game.Moves.push_back(static_cast<uint8_t>(bit));
    std::swap(position.Own, position.Opp);
    position.Side = static_cast<int8_t>(-position.Side);
    --position.Empties;
  }
  game.Finished = false;
  if (LegalMoves(position.Own, position.Opp) == 0) {
    std::swap(position.Own, position.Opp);
    position.Side = static_cast<int8_t>(-position.Side);
    game.Finished = LegalMoves(position.Own, position.Opp) == 0;
  }
  game.Final = position;
  if (game.Finished && FinalBlackDiff(position) != game.BlackDiff)
    return "the final difference " + std::to_string(game.BlackDiff) + " does not match the " +
           std::to_string(FinalBlackDiff(position)) + " of the replayed game";
  return std::nullopt;
}

TArchiveStats ReadArchive(const std::filesystem::path& path,
                          const std::function<bool(int64_t, const TArchiveGame&)>& sink,
                          const std::function<void(const std::string&)>& report) {
  // zlib opens a folder and then reports it as a damaged file.
  std::error_code error;
  if (std::filesystem::is_directory(path, error))
    throw std::runtime_error("The game archive \"" + path.string() + "\" is a folder.");
  std::unique_ptr<gzFile_s, TGzCloser> file(gzopen(path.string().c_str(), "rb"));
  if (!file) throw std::runtime_error("Cannot open game archive \"" + path.string() + "\".");
  gzbuffer(file.get(), 1 << 17);
  TArchiveStats stats;
  TArchiveGame game;
  char buffer[4096];
  std::string line;
  while (gzgets(file.get(), buffer, sizeof buffer) != nullptr) {
    line = buffer;
    // A line longer than the buffer arrives in pieces.
    while (!line.empty() && line.back() != '\n' &&
           gzgets(file.get(), buffer, sizeof buffer) != nullptr)
      line += buffer;
    ++stats.Lines;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.empty() || line.front() == '#') continue;
    if (const auto error = ParseGameLine(line, game)) {
      ++stats.Rejected;
      report(path.string() + ":" + std::to_string(stats.Lines) + ": " + *error);
      continue;
    }
    if (!sink(stats.Games++, game)) break;
  }
  int code = Z_OK;
  gzerror(file.get(), &code);
  if (code != Z_OK && code != Z_STREAM_END)
    report(path.string() + ":" + std::to_string(stats.Lines + 1) +
           ": the file is damaged; reading stopped here");
  return stats;
}

std::vector<std::filesystem::path> ArchiveFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    if (std::filesystem::exists(folder, error))
      throw std::runtime_error("The archive folder \"" + folder.string() + "\" is a file.");
    throw std::runtime_error("Cannot read the archive folder \"" + folder.string() +
                             "\": it does not exist.");
  }
  std::filesystem::directory_iterator entries(folder, error);
  if (error)
    throw std::runtime_error("Cannot read the archive folder \"" + folder.string() + "\" (" +
                             error.message() + ").");
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    const auto endsWith = [&](std::string_view suffix) {
      return name.size() > suffix.size() &&
             name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    if (entry.is_regular_file() && (endsWith(".txt.gz") || endsWith(".txt")))
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace morvane::training
