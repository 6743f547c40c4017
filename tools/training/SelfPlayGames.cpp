#include "training/SelfPlayGames.h"

#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

namespace morvane::training {

namespace {

constexpr char Magic[8] = {'M', 'V', 'S', 'P', 'G', 'A', 'M', '1'};
constexpr size_t HeaderBytes = 9;
constexpr size_t RecordOverhead = 6;  // five leading bytes and the check

uint8_t CheckOf(const uint8_t* bytes, size_t count) {
  uint32_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(sum * 167u + 13u);
}

bool ValidKind(int kind) { return kind == 8 || kind == 10 || kind == 88; }

}  // namespace

std::vector<uint8_t> EncodeGame(const TSelfPlayGame& game) {
  if (game.Moves.size() > 255) throw std::invalid_argument("a game of more than 255 moves");
  std::vector<uint8_t> bytes(game.Moves.size() + RecordOverhead - 1);
  bytes[0] = static_cast<uint8_t>(game.Moves.size());
  bytes[1] = game.OpeningLength;
  bytes[2] = static_cast<uint8_t>(game.BlackDiff);
  bytes[3] = game.HandoverEmpties;
  bytes[4] = static_cast<uint8_t>(game.HandoverBlackScore);
  for (size_t i = 0; i < game.Moves.size(); ++i) bytes[5 + i] = game.Moves[i];
  bytes.push_back(CheckOf(bytes.data(), bytes.size()));
  return bytes;
}

namespace {

// Reads `count` bytes (all with count 0) of a game file; throws in plain words when it cannot.
std::vector<uint8_t> ReadGameBytes(const std::filesystem::path& path, size_t count) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error))
    throw std::runtime_error("the game file " + path.string() + " is a folder");
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot open the game file " + path.string());
  std::vector<uint8_t> bytes;
  if (count == 0) {
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } else {
    bytes.resize(count);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(file.gcount()));
  }
  if (bytes.size() < HeaderBytes || std::memcmp(bytes.data(), Magic, 8) != 0 ||
      !ValidKind(bytes[8]))
    throw std::runtime_error(path.string() + " is not a self-play game file");
  return bytes;
}

}  // namespace

TBoardKind GameFileKind(const std::filesystem::path& path) {
  return static_cast<TBoardKind>(ReadGameBytes(path, HeaderBytes)[8]);
}

TGameFileContents ReadGameFile(const std::filesystem::path& path) {
  const std::vector<uint8_t> bytes = ReadGameBytes(path, 0);
  TGameFileContents contents;
  contents.Kind = static_cast<TBoardKind>(bytes[8]);
  size_t at = HeaderBytes;
  while (at < bytes.size()) {
    const size_t moves = bytes[at];
    if (at + moves + RecordOverhead > bytes.size() ||
        CheckOf(&bytes[at], moves + RecordOverhead - 1) != bytes[at + moves + RecordOverhead - 1])
      break;
    TSelfPlayGame game;
    game.OpeningLength = bytes[at + 1];
    game.BlackDiff = static_cast<int8_t>(bytes[at + 2]);
    game.HandoverEmpties = bytes[at + 3];
    game.HandoverBlackScore = static_cast<int8_t>(bytes[at + 4]);
    game.Moves.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 5),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + 5 + moves));
    contents.Games.push_back(std::move(game));
    at += moves + RecordOverhead;
  }
  contents.CompleteBytes = at;
  contents.Truncated = at < bytes.size();
  return contents;
}

TGameFileWriter::TGameFileWriter(const std::filesystem::path& path, TBoardKind kind) {
  if (std::filesystem::exists(path)) {
    const TGameFileContents contents = ReadGameFile(path);
    if (contents.Kind != kind)
      throw std::runtime_error(path.string() + " holds games of another board");
    if (contents.Truncated) std::filesystem::resize_file(path, contents.CompleteBytes);
    Count = contents.Games.size();
    File = std::fopen(path.string().c_str(), "ab");
  } else {
    std::error_code error;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
    File = std::fopen(path.string().c_str(), "wb");
    if (File) {
      std::fwrite(Magic, 1, 8, File);
      std::fputc(static_cast<int>(kind), File);
      std::fflush(File);
    }
  }
  if (!File) throw std::runtime_error("cannot write the game file " + path.string());
}

TGameFileWriter::~TGameFileWriter() {
  if (File) std::fclose(File);
}

void TGameFileWriter::Append(const TSelfPlayGame& game) {
  const std::vector<uint8_t> bytes = EncodeGame(game);
  if (std::fwrite(bytes.data(), 1, bytes.size(), File) != bytes.size() || std::fflush(File) != 0)
    throw std::runtime_error("writing the game file failed");
  ++Count;
}

std::optional<std::string> ReplayGame(TBoardKind kind, const TSelfPlayGame& game,
                                      const std::function<void(const TReplayedPosition&)>& visit) {
  TPosition board(kind);
  for (size_t ply = 0; ply < game.Moves.size(); ++ply) {
    if (!board.PassIfNeeded()) return "move " + std::to_string(ply + 1) + " after the game ended";
    if (visit) visit({&board, static_cast<int>(ply)});
    if (!board.Play(game.Moves[ply]))
      return "move " + std::to_string(ply + 1) + " is illegal (square " +
             std::to_string(game.Moves[ply]) + ")";
  }
  if (board.PassIfNeeded()) return "the game stops before its end";
  if (board.FinalScore() != game.BlackDiff)
    return "the recorded result " + std::to_string(game.BlackDiff) + " is not the final board's " +
           std::to_string(board.FinalScore());
  return std::nullopt;
}

std::vector<int> RandomOpening(TBoardKind kind, uint32_t seed, int count) {
  std::mt19937 random(seed);
  TPosition board(kind);
  std::vector<int> moves;
  int squares[MaxMoves];
  for (int i = 0; i < count && board.PassIfNeeded(); ++i) {
    const int legal = board.LegalMoves(squares);
    const int square = squares[random() % static_cast<uint32_t>(legal)];
    board.Play(square);
    moves.push_back(square);
  }
  return moves;
}

std::vector<int> SelfPlayOpening(TBoardKind kind, uint32_t seed, uint64_t index, int minRandom,
                                 int maxRandom) {
  std::seed_seq sequence{seed, static_cast<uint32_t>(index), static_cast<uint32_t>(index >> 32)};
  std::mt19937 random(sequence);
  const int length =
      minRandom + static_cast<int>(random() % static_cast<uint32_t>(maxRandom - minRandom + 1));
  return RandomOpening(kind, random(), length);
}

TSelfPlayGame PlaySelfPlayGame(TBoardKind kind, TOthelloPatternEngine& black,
                           const TFixedSearchInfo& blackLevel, TOthelloPatternEngine& white,
                           const TFixedSearchInfo& whiteLevel, const std::vector<int>& opening) {
  TSelfPlayGame game;
  TPosition board(kind);
  for (const int square : opening) {
    board.PassIfNeeded();
    if (!board.Play(square)) throw std::invalid_argument("an illegal opening move");
    game.Moves.push_back(static_cast<uint8_t>(square));
  }
  game.OpeningLength = static_cast<uint8_t>(opening.size());
  while (board.PassIfNeeded()) {
    const bool blackMoves = CellOf(board.ToMove()) == BlackCell;
    TOthelloPatternEngine& engine = blackMoves ? black : white;
    const TFixedSearchInfo& level = blackMoves ? blackLevel : whiteLevel;
    engine.SetPosition(board.Board(), CellOf(board.ToMove()));
    const TSearchResult result = engine.SearchFixedLevel(level);
    if (game.HandoverEmpties == NoHandover && board.Empties() <= level.ExactEmpties) {
      game.HandoverEmpties = static_cast<uint8_t>(board.Empties());
      game.HandoverBlackScore =
          static_cast<int8_t>(result.Score / DiscUnit * CellOf(board.ToMove()));
    }
    if (!board.Play(result.BestSquare))
      throw std::runtime_error("an engine played an illegal move");
    game.Moves.push_back(static_cast<uint8_t>(result.BestSquare));
  }
  game.BlackDiff = static_cast<int8_t>(board.FinalScore());
  return game;
}

}  // namespace morvane::training
