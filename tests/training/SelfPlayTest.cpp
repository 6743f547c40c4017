#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>

#include "engines/EngineFactory.h"
#include "evaluation/EvaluationSetups.h"
#include "evaluation/EvaluationTestSupport.h"
#include "support/ReferenceBoard.h"
#include "training/GameArchive.h"
#include "training/SelfPlayGames.h"
#include "training/SelfPlayTraining.h"
#include "training/TrainingSet.h"
#include "training/TrainedFiles.h"

namespace morvane::training {
namespace {

using reference::TReferenceBoard;
using testing_support::TTempFolder;

TReferenceBoard ReferenceOf(TBoardKind kind) {
  TReferenceBoard board = kind == TBoardKind::Octagon ? TReferenceBoard::Octagon()
                                                      : TReferenceBoard(BoardSideOf(kind));
  board.SetupStart();
  return board;
}

// The set-up the self-play tools train on each board.
std::string SetupOf(TBoardKind kind) {
  return kind == TBoardKind::Octagon      ? "Bot8x8Oct"
         : kind == TBoardKind::Board10x10 ? "Bot10x10"
                                          : "Pellin";
}

// The engine's cells have a border of one cell: row stride 10 on 8 x 8, 12 on the 10-wide boards.
constexpr int StrideOf(int side) { return side + 2; }
constexpr int GridCell(int side, int column, int row) { return row * StrideOf(side) + column; }

reference::TSquare SquareOfCell(TBoardKind kind, int cell) {
  const int stride = StrideOf(BoardSideOf(kind));
  return {cell % stride, cell / stride};
}
reference::TSquare SquareOfCell(int cell) { return SquareOfCell(TBoardKind::Board10x10, cell); }

// The engine's board image of a reference position.
void ImageOf(const TReferenceBoard& board, int8_t* image) {
  for (int cell = 0; cell < MaxCells; ++cell) image[cell] = OutsideCell;
  for (int row = 1; row <= board.Side; ++row)
    for (int column = 1; column <= board.Side; ++column)
      image[GridCell(board.Side, column, row)] = static_cast<int8_t>(board.At(column, row));
}

// A whole game of random legal moves, played and scored on the reference board.
TSelfPlayGame RandomReferenceGame(TBoardKind kind, std::mt19937& rng) {
  TReferenceBoard board = ReferenceOf(kind);
  TSelfPlayGame game;
  while (!board.GameOver()) {
    if (!board.HasMove()) board.Pass();
    const auto moves = board.Moves();
    const auto square = moves[rng() % moves.size()];
    game.Moves.push_back(static_cast<uint8_t>(GridCell(board.Side, square.Column, square.Row)));
    board.Play(square);
  }
  game.BlackDiff = static_cast<int8_t>(board.ToMove == reference::Black ? board.FinalMargin()
                                                                        : -board.FinalMargin());
  return game;
}

void ExpectSameGame(const TSelfPlayGame& a, const TSelfPlayGame& b) {
  EXPECT_EQ(a.Moves, b.Moves);
  EXPECT_EQ(a.OpeningLength, b.OpeningLength);
  EXPECT_EQ(a.BlackDiff, b.BlackDiff);
  EXPECT_EQ(a.HandoverEmpties, b.HandoverEmpties);
  EXPECT_EQ(a.HandoverBlackScore, b.HandoverBlackScore);
}

TEST(SelfPlayGameFile, GamesRoundTripAndACutRecordIsDroppedAndOverwritten) {
  TTempFolder folder("selfplay-file");
  const auto path = folder.Path / "games.bin";
  std::mt19937 rng(5);
  std::vector<TSelfPlayGame> games;
  for (int i = 0; i < 6; ++i) {
    games.push_back(RandomReferenceGame(TBoardKind::Octagon, rng));
    games.back().OpeningLength = static_cast<uint8_t>(i * 3);
    games.back().HandoverEmpties = static_cast<uint8_t>(i == 2 ? 0 : 12);
    games.back().HandoverBlackScore = static_cast<int8_t>(-20 + 9 * i);
  }
  {
    TGameFileWriter writer(path, TBoardKind::Octagon);
    for (int i = 0; i < 4; ++i) writer.Append(games[i]);
  }
  const auto whole = std::filesystem::file_size(path);
  size_t expected = 9;
  for (int i = 0; i < 4; ++i) expected += games[i].Moves.size() + 6;
  EXPECT_EQ(whole, expected);  // a few bytes per move

  // A fifth record cut short, as a stopped run leaves it.
  const std::vector<uint8_t> fifth = EncodeGame(games[4]);
  {
    std::ofstream file(path, std::ios::binary | std::ios::app);
    file.write(reinterpret_cast<const char*>(fifth.data()), 17);
  }
  TGameFileContents contents = ReadGameFile(path);
  EXPECT_EQ(contents.Kind, TBoardKind::Octagon);
  EXPECT_TRUE(contents.Truncated);
  EXPECT_EQ(contents.CompleteBytes, whole);
  ASSERT_EQ(contents.Games.size(), 4u);
  for (int i = 0; i < 4; ++i) ExpectSameGame(contents.Games[i], games[i]);

  {
    TGameFileWriter writer(path, TBoardKind::Octagon);
    EXPECT_EQ(writer.GameCount(), 4u);
    writer.Append(games[4]);
    writer.Append(games[5]);
  }
  contents = ReadGameFile(path);
  EXPECT_FALSE(contents.Truncated);
  ASSERT_EQ(contents.Games.size(), 6u);
  for (int i = 0; i < 6; ++i) ExpectSameGame(contents.Games[i], games[i]);
  EXPECT_THROW(TGameFileWriter(path, TBoardKind::Board10x10), std::runtime_error);

  // A damaged byte inside the last record makes it the cut-off tail too.
  {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(-3, std::ios::end);
    file.put('\x7f');
  }
  contents = ReadGameFile(path);
  EXPECT_TRUE(contents.Truncated);
  EXPECT_EQ(contents.Games.size(), 5u);
}

TEST(SelfPlayGameFile, ANonGameFileIsRefused) {
  TTempFolder folder("selfplay-bad");
  const auto path = folder.Path / "other.bin";
  std::ofstream(path) << "MVLABEL1 and more";
  EXPECT_THROW(ReadGameFile(path), std::runtime_error);
  EXPECT_THROW(TGameFileWriter(path, TBoardKind::Octagon), std::runtime_error);
}

// What the reading of a game file throws, or "" when it reads.
template <typename TRead>
std::string ReadingFault(TRead read) {
  try {
    read();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

TEST(SelfPlayGameFile, AFolderIsRefusedInPlainWords) {
  TTempFolder folder("selfplay-folder");
  for (const std::string& fault : {ReadingFault([&] { ReadGameFile(folder.Path); }),
                                   ReadingFault([&] { GameFileKind(folder.Path); })}) {
    EXPECT_NE(fault.find(folder.Path.string() + " is a folder"), std::string::npos) << fault;
  }
}

class SelfPlayBoards : public ::testing::TestWithParam<TBoardKind> {};

// The fit's features index the tables of its own board: a file of the other board must be
// refused, not read past the tables' ends. Its header alone tells the board.
TEST_P(SelfPlayBoards, TheFitRefusesGamesOfTheOtherBoard) {
  const TBoardKind kind = GetParam();
  const TBoardKind other =
      kind == TBoardKind::Octagon ? TBoardKind::Board10x10 : TBoardKind::Octagon;
  TTempFolder folder("selfplay-board");
  std::mt19937 rng(53);
  const auto path = folder.Path / "games.bin";
  {
    TGameFileWriter writer(path, other);
    for (int i = 0; i < 3; ++i) writer.Append(RandomReferenceGame(other, rng));
  }
  EXPECT_EQ(GameFileKind(path), other);
  for (const TBoardKind setup : {kind, other}) {
    auto evaluation = CreateEvaluation(SetupOf(setup), nullptr, folder.Path, false);
    const TFeatureLayout layout(*evaluation, PlayableSquaresOf(setup));
    const auto build = [&] { return BuildSelfPlaySet(layout, {path}, 12, [](const auto&) {}); };
    if (setup == other)
      EXPECT_EQ(build().Games, 3);
    else
      EXPECT_THROW(build(), std::invalid_argument);
  }
}

// The rules of the self-play tools against the reference board on random games, move by move.
TEST_P(SelfPlayBoards, RandomGamesReplayAsOnTheReferenceBoard) {
  std::mt19937 rng(17);
  for (int round = 0; round < 20; ++round) {
    const TSelfPlayGame game = RandomReferenceGame(GetParam(), rng);
    TReferenceBoard reference = ReferenceOf(GetParam());
    int visited = 0;
    const auto fault = ReplayGame(GetParam(), game, [&](const TReplayedPosition& position) {
      if (!reference.HasMove()) reference.Pass();
      int8_t image[MaxCells];
      ImageOf(reference, image);
      for (int cell = 0; cell < MaxCells; ++cell)
        ASSERT_EQ(position.Board->Cell(cell), image[cell]);
      ASSERT_EQ(CellOf(position.Board->ToMove()), reference.ToMove);
      int squares[MaxMoves];
      ASSERT_EQ(static_cast<size_t>(position.Board->LegalMoves(squares)), reference.Moves().size());
      reference.Play(SquareOfCell(GetParam(), game.Moves[position.Ply]));
      ++visited;
    });
    EXPECT_FALSE(fault) << *fault;
    EXPECT_EQ(visited, static_cast<int>(game.Moves.size()));
  }
  // A wrong result and an illegal move are reported.
  TSelfPlayGame game = RandomReferenceGame(GetParam(), rng);
  game.BlackDiff = static_cast<int8_t>(game.BlackDiff + 2);
  EXPECT_TRUE(ReplayGame(GetParam(), game, nullptr));
  game = RandomReferenceGame(GetParam(), rng);
  game.Moves[3] = game.Moves[1];
  EXPECT_TRUE(ReplayGame(GetParam(), game, nullptr));
}

// A game the engine plays against itself is legal, its result is that of its final position, and
// its hand-over value is the exact value of the position where the exact search took over.
TEST_P(SelfPlayBoards, APlayedGameIsLegalAndItsRecordedValuesAreRight) {
  const std::string name = SetupOf(GetParam());
  TTempFolder folder("selfplay-engine");
  auto evaluation = CreateEvaluation(name, nullptr, folder.Path, /*loadFiles=*/false);
  std::mt19937 rng(3);
  testing_support::FillTablesRandomly(*evaluation, rng, 1.0f);
  WriteCoefficients(*evaluation, {}, evaluation->FilePath(".coe"));
  auto engine = CreateEngineFor(name, 14, nullptr, folder.Path);

  TFixedSearchInfo level;
  level.Depth = 1;
  level.ExactEmpties = 7;
  for (uint64_t index = 0; index < 3; ++index) {
    const std::vector<int> opening = SelfPlayOpening(GetParam(), 11, index, 2, 20);
    const TSelfPlayGame game = PlaySelfPlayGame(GetParam(), *engine, level, *engine, level, opening);
    EXPECT_EQ(game.OpeningLength, opening.size());
    ASSERT_GE(game.Moves.size(), opening.size());
    for (size_t i = 0; i < opening.size(); ++i) EXPECT_EQ(game.Moves[i], opening[i]);
    EXPECT_EQ(SelfPlayOpening(GetParam(), 11, index, 2, 20), opening);

    TReferenceBoard reference = ReferenceOf(GetParam());
    bool handoverChecked = false;
    for (const uint8_t cell : game.Moves) {
      ASSERT_FALSE(reference.GameOver());
      if (!reference.HasMove()) reference.Pass();
      const int empties = reference.Count(reference::Empty);
      if (empties == game.HandoverEmpties && !handoverChecked) {
        EXPECT_EQ(reference.Solve() * reference.ToMove, game.HandoverBlackScore);
        handoverChecked = true;
      }
      ASSERT_GT(reference.Flips(SquareOfCell(GetParam(), cell)), 0);
      reference.Play(SquareOfCell(GetParam(), cell));
    }
    ASSERT_TRUE(reference.GameOver());
    const int blackDiff =
        reference.ToMove == reference::Black ? reference.FinalMargin() : -reference.FinalMargin();
    EXPECT_EQ(game.BlackDiff, blackDiff);
    if (game.HandoverEmpties != NoHandover) {
      EXPECT_TRUE(handoverChecked);
      EXPECT_LE(game.HandoverEmpties, 7);
      // Both sides play perfectly from the hand-over on.
      EXPECT_EQ(game.HandoverBlackScore, game.BlackDiff);
    }
    EXPECT_FALSE(ReplayGame(GetParam(), game, nullptr));
  }
}

// The trainer's features summed with fitted parameters give the engine's own evaluation of the
// .coe file written from those parameters.
TEST_P(SelfPlayBoards, FeaturesAgreeWithTheEngineOnTheWrittenCoefficients) {
  const TBoardKind kind = GetParam();
  const std::string name = SetupOf(kind);
  const int playable = PlayableSquaresOf(kind);
  TTempFolder folder("selfplay-features");
  auto evaluation = CreateEvaluation(name, nullptr, folder.Path, /*loadFiles=*/false);
  const TFeatureLayout layout(*evaluation, playable);
  EXPECT_EQ(layout.InstanceCount(), kind == TBoardKind::Octagon      ? 78
                                    : kind == TBoardKind::Board10x10 ? 58
                                                                     : 42);

  std::mt19937 rng(23);
  // Away from zero, where the 10 x 10 loader would treat an entry as untrained and blend it.
  std::uniform_real_distribution<double> value(0.25, 2.0);
  std::vector<double> parameters(static_cast<size_t>(layout.ParameterCount()));
  for (double& parameter : parameters) parameter = rng() % 2 ? value(rng) : -value(rng);
  const std::vector<float> bias = layout.Expand(parameters, *evaluation);
  WriteCoefficients(*evaluation, std::span<const float>(bias.data() + 4, playable - 3),
                    evaluation->FilePath(".coe"));
  auto engine = CreateEngineFor(name, 12, nullptr, folder.Path);

  // The 10 x 10 set-up blends its first two stages on loading; later stages are read as written.
  const int firstEmpties = kind == TBoardKind::Octagon ? 2 : 1;
  const int lastEmpties = kind == TBoardKind::Octagon ? 84 : kind == TBoardKind::Board10x10 ? 55 : 59;
  TFitRows rows;
  std::vector<TReferenceBoard> boards;
  std::vector<uint16_t> classes(layout.InstanceCount());
  for (int empties = firstEmpties; empties <= lastEmpties; empties += 3) {
    boards.push_back(reference::RandomPosition(ReferenceOf(GetParam()), empties, rng));
    int8_t image[MaxCells];
    ImageOf(boards.back(), image);
    layout.Classes(image, boards.back().ToMove, classes.data());
    rows.Features.insert(rows.Features.end(), classes.begin(), classes.end());
    rows.Empties.push_back(static_cast<uint8_t>(empties));
    rows.Labels.push_back(0);
    rows.Train.push_back(1);
  }
  const TPatternFit fit(layout, std::move(rows), TFitOptions{});
  for (size_t i = 0; i < boards.size(); ++i) {
    int8_t image[MaxCells];
    ImageOf(boards[i], image);
    engine->SetPosition(image, boards[i].ToMove);
    EXPECT_NEAR(engine->Evaluate() / 1e6, fit.Predict(parameters, i), 2e-3)
        << "position " << i << " with " << boards[i].Count(reference::Empty) << " empties";
  }
}

// A fit on an earlier evaluation's residuals, added to its tables, evaluates as the earlier
// evaluation plus the correction; and the fit of a 10-wide board reaches its labels at every disc
// count up to a full board.
TEST(SelfPlayFit, ACorrectionAddsToItsPriorAndFitsItsLabels) {
  const std::string name = "Bot8x8Oct";
  TTempFolder folder("selfplay-prior");
  const auto priorFolder = folder.Path / "prior", outFolder = folder.Path / "out";
  std::mt19937 rng(31);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  {
    auto prior = CreateEvaluation(name, nullptr, priorFolder, /*loadFiles=*/false);
    testing_support::FillTablesRandomly(*prior, rng, 1.0f);
    std::vector<float> bias(85);
    for (float& b : bias) b = value(rng);
    std::filesystem::create_directories(prior->FilePath(".coe").parent_path());
    WriteCoefficients(*prior, bias, prior->FilePath(".coe"));
  }
  auto priorEngine = CreateEngineFor(name, 12, nullptr, priorFolder);

  auto evaluation = CreateEvaluation(name, nullptr, outFolder, /*loadFiles=*/false);
  const TFeatureLayout layout(*evaluation, 88);
  TFitRows rows;
  std::vector<TReferenceBoard> boards;
  std::vector<uint16_t> classes(layout.InstanceCount());
  for (int empties = 0; empties <= 80; empties += 2) {
    boards.push_back(
        empties == 0 ? ReferenceOf(TBoardKind::Octagon)
                     : reference::RandomPosition(ReferenceOf(TBoardKind::Octagon), empties, rng));
    if (empties == 0) {  // a full board, the last Bias term
      for (int row = 1; row <= 10; ++row)
        for (int column = 1; column <= 10; ++column)
          if (boards.back().At(column, row) != reference::Blocked)
            boards.back().Set(column, row,
                              (row + column) % 3 ? reference::Black : reference::White);
    }
    int8_t image[MaxCells];
    ImageOf(boards.back(), image);
    layout.Classes(image, boards.back().ToMove, classes.data());
    rows.Features.insert(rows.Features.end(), classes.begin(), classes.end());
    rows.Empties.push_back(static_cast<uint8_t>(boards.back().Count(reference::Empty)));
    rows.Labels.push_back(static_cast<float>(static_cast<int>(rng() % 41) - 20));
    rows.Train.push_back(1);
  }
  const std::vector<float> labels = rows.Labels;
  TFitOptions options;
  options.Lambda = 1e-4;
  options.BiasLambda = 1e-4;
  options.BlendWeight = 0;
  options.Iterations = 400;
  options.Tolerance = 1e-14;
  TPatternFit fit(layout, std::move(rows), options);
  const std::vector<double> parameters = fit.Solve();
  for (size_t i = 0; i < boards.size(); ++i)
    EXPECT_NEAR(fit.Predict(parameters, i), labels[i], 0.05) << "position " << i;

  std::vector<float> bias = layout.Expand(parameters, *evaluation);
  auto priorTables = CreateEvaluation(name, nullptr, priorFolder, /*loadFiles=*/false);
  priorTables->LoadCoefficients();
  AddPrior(*priorTables, *evaluation, bias);
  std::filesystem::create_directories(evaluation->FilePath(".coe").parent_path());
  WriteCoefficients(*evaluation, std::span<const float>(bias.data() + 4, 85),
                    evaluation->FilePath(".coe"));
  auto engine = CreateEngineFor(name, 12, nullptr, outFolder);
  for (size_t i = 0; i < boards.size(); ++i) {
    int8_t image[MaxCells];
    ImageOf(boards[i], image);
    engine->SetPosition(image, boards[i].ToMove);
    priorEngine->SetPosition(image, boards[i].ToMove);
    EXPECT_NEAR(engine->Evaluate() / 1e6,
                priorEngine->Evaluate() / 1e6 + fit.Predict(parameters, i), 2e-3)
        << "position " << i;
  }
}

// Relabelling by search: every trained position without an exact label is kept with its game
// label and prior; a stage's relabelling gives exactly its positions the weighted mix of the
// search value and the game label, less the prior, and leaves every other row alone. The search
// value at one ply is the engine's reported score: the best child's negated evaluation blended
// with the position's own, 0.6 to 0.4, as iterative deepening evens out odd and even depths.
TEST(SelfPlayFit, AStageIsRelabelledByItsSearchValueMixedWithTheGameLabel) {
  const std::string name = "Bot10x10";
  TTempFolder folder("selfplay-relabel");
  {
    auto evaluation = CreateEvaluation(name, nullptr, folder.Path, /*loadFiles=*/false);
    std::mt19937 rng(43);
    testing_support::FillTablesRandomly(*evaluation, rng, 1.0f);
    WriteCoefficients(*evaluation, {}, evaluation->FilePath(".coe"));
  }
  auto engine = CreateEngineFor(name, 12, nullptr, folder.Path);
  const auto evaluate = [&](const TReferenceBoard& board) {
    int8_t image[MaxCells];
    ImageOf(board, image);
    engine->SetPosition(image, board.ToMove);
    return engine->Evaluate() / 1e6;
  };

  std::mt19937 rng(47);
  std::vector<TSelfPlayGame> games;
  {
    TGameFileWriter writer(folder.Path / "games.bin", TBoardKind::Board10x10);
    for (int i = 0; i < 12; ++i) {
      games.push_back(RandomReferenceGame(TBoardKind::Board10x10, rng));
      games.back().OpeningLength = static_cast<uint8_t>(3 + i);
      games.back().HandoverEmpties = 12;
      games.back().HandoverBlackScore = static_cast<int8_t>(i - 6);
      writer.Append(games.back());
    }
  }
  auto evaluation = CreateEvaluation(name, nullptr, folder.Path / "out", /*loadFiles=*/false);
  const TFeatureLayout layout(*evaluation, 100);
  const auto prior = [&](const TPosition& board) {
    engine->SetPosition(board.Board(), CellOf(board.ToMove()));
    return engine->Evaluate() / 1e6;
  };
  TSelfPlaySet set = BuildSelfPlaySet(
      layout, {folder.Path / "games.bin"}, 12, [](const std::string&) {}, prior, true);

  // The expected searchable positions, replayed on the reference board.
  std::vector<TReferenceBoard> boards;
  std::vector<int> gameLabels;
  for (const TSelfPlayGame& game : games) {
    TReferenceBoard reference = ReferenceOf(TBoardKind::Board10x10);
    for (size_t ply = 0; ply < game.Moves.size(); ++ply) {
      if (!reference.HasMove()) reference.Pass();
      if (!IsHeldOutGame(game) && static_cast<int>(ply) >= game.OpeningLength &&
          reference.Count(reference::Empty) > 12) {
        boards.push_back(reference);
        gameLabels.push_back(game.HandoverBlackScore * reference.ToMove);
      }
      reference.Play(SquareOfCell(game.Moves[ply]));
    }
  }
  ASSERT_EQ(set.Searchable.size(), boards.size());
  ASSERT_GT(boards.size(), 100u);
  for (size_t i = 0; i < boards.size(); ++i) {
    const TSearchablePosition& position = set.Searchable[i];
    EXPECT_EQ(position.GameLabel, gameLabels[i]);
    EXPECT_NEAR(position.Prior, evaluate(boards[i]), 1e-4);
    EXPECT_NEAR(set.Rows.Labels[position.Row], gameLabels[i] - position.Prior, 1e-4);
    EXPECT_EQ(set.Rows.Empties[position.Row], boards[i].Count(reference::Empty));
  }

  const int stage = 1;
  const std::vector<float> before = set.Rows.Labels;
  TFixedSearchInfo onePly;
  onePly.Depth = 1;
  int64_t inStage = 0;
  for (const TSearchablePosition& position : set.Searchable)
    inStage += layout.StageOf(100 - set.Rows.Empties[position.Row]) == stage;
  ASSERT_GT(inStage, 0);
  EXPECT_EQ(RelabelStage(*engine, onePly, 0.75, stage, layout, set), inStage);
  std::vector<bool> relabelled(before.size(), false);
  for (size_t i = 0; i < boards.size(); ++i) {
    const TSearchablePosition& position = set.Searchable[i];
    if (layout.StageOf(100 - set.Rows.Empties[position.Row]) != stage) continue;
    relabelled[position.Row] = true;
    double best = -1e9;
    for (const auto square : boards[i].Moves()) {
      TReferenceBoard child = boards[i];
      child.Play(square);
      best = std::max(best, -evaluate(child));
    }
    EXPECT_NEAR(
        set.Rows.Labels[position.Row],
        0.75 * (0.6 * best + 0.4 * evaluate(boards[i])) + 0.25 * gameLabels[i] - position.Prior,
        1e-3)
        << "position " << i;
  }
  for (size_t row = 0; row < before.size(); ++row) {
    if (relabelled[row]) continue;
    EXPECT_EQ(set.Rows.Labels[row], before[row]) << "row " << row;
  }
}

// The relabelling refits rows whose labels changed while the positions stayed: a checkpoint of
// the earlier fit must not be taken for the new one, whichever rows changed.
TEST(SelfPlayFit, ACheckpointIsNotResumedOnceALabelChanged) {
  TTempFolder folder("selfplay-checkpoint");
  auto evaluation = CreateEvaluation("Bot10x10", nullptr, folder.Path, /*loadFiles=*/false);
  const TFeatureLayout layout(*evaluation, 100);
  std::mt19937 rng(53);
  TFitRows rows;
  std::vector<uint16_t> classes(layout.InstanceCount());
  for (int i = 0; i < 120; ++i) {
    const int empties = 10 + i % 80;
    const TReferenceBoard board =
        reference::RandomPosition(ReferenceOf(TBoardKind::Board10x10), empties, rng);
    int8_t image[MaxCells];
    ImageOf(board, image);
    layout.Classes(image, board.ToMove, classes.data());
    rows.Features.insert(rows.Features.end(), classes.begin(), classes.end());
    rows.Empties.push_back(static_cast<uint8_t>(empties));
    rows.Labels.push_back(static_cast<float>(static_cast<int>(rng() % 41) - 20));
    rows.Train.push_back(1);
  }
  TFitOptions options;
  options.Iterations = 40;
  options.Checkpoint = folder.Path / "fit.checkpoint";
  const std::vector<double> first = TPatternFit(layout, rows, options).Solve();
  rows.Labels[1] += 30;  // a row the data's sampled fingerprint used to skip
  const TPatternFit refit(layout, rows, options);
  const std::vector<double> resumed = TPatternFit(layout, rows, options).Solve();
  options.Checkpoint.clear();
  const std::vector<double> fresh = TPatternFit(layout, rows, options).Solve();
  EXPECT_GT(refit.Predict(resumed, 1), refit.Predict(first, 1) + 1);
  ASSERT_EQ(resumed.size(), fresh.size());
  for (size_t i = 0; i < fresh.size(); ++i) ASSERT_NEAR(resumed[i], fresh[i], 1e-9) << i;
}

INSTANTIATE_TEST_SUITE_P(Boards, SelfPlayBoards,
                         ::testing::Values(TBoardKind::Board8x8, TBoardKind::Board10x10,
                                           TBoardKind::Octagon));

// Labels of a game by hand: the opening is skipped, positions before the hand-over take its value,
// later ones the result, each for the side to move.
TEST(SelfPlayLabels, ATinyGameSetIsLabelledByTheNearestExactValueLater) {
  std::mt19937 rng(41);
  for (const int handover : {0, 10, 30}) {
    TSelfPlayGame game = RandomReferenceGame(TBoardKind::Board10x10, rng);
    game.OpeningLength = 6;
    game.HandoverEmpties = static_cast<uint8_t>(handover);
    game.HandoverBlackScore = 13;  // need not match the result: the label must follow the rule
    std::vector<std::pair<int, int>> expected;  // empties, label
    TReferenceBoard reference = ReferenceOf(TBoardKind::Board10x10);
    for (size_t ply = 0; ply < game.Moves.size(); ++ply) {
      if (!reference.HasMove()) reference.Pass();
      const int empties = reference.Count(reference::Empty);
      if (static_cast<int>(ply) >= game.OpeningLength) {
        const int black = handover == 0 || empties <= handover ? game.BlackDiff : 13;
        expected.emplace_back(empties, black * reference.ToMove);
      }
      reference.Play(SquareOfCell(game.Moves[ply]));
    }
    std::vector<std::pair<int, int>> labels;
    int exact = 0;
    const auto fault =
        LabelSelfPlayGame(TBoardKind::Board10x10, game, [&](const TSelfPlayLabel& label) {
          labels.emplace_back(label.Board->Empties(), label.Label);
          exact += label.Exact;
          EXPECT_EQ(label.Exact, handover != 0 && label.Board->Empties() <= handover);
        });
    EXPECT_FALSE(fault);
    EXPECT_EQ(labels, expected) << "hand-over at " << handover;
    if (handover == 10) {
      EXPECT_GT(exact, 0);
    }
  }
  // A game that does not replay gives no label at all.
  TSelfPlayGame broken = RandomReferenceGame(TBoardKind::Board10x10, rng);
  broken.Moves.pop_back();
  int visits = 0;
  EXPECT_TRUE(
      LabelSelfPlayGame(TBoardKind::Board10x10, broken, [&](const TSelfPlayLabel&) { ++visits; }));
  EXPECT_EQ(visits, 0);
}

}  // namespace

// The self-play fits of the 8 x 8 set-ups are measured on the tournament archives' held-out
// games: exactly their positions at 24 empties with a theoretical score, as each side sees it.
TEST(SelfPlayFit, ArchivePositionsAreTheHeldOutOnesWithATheoreticalScore) {
  TTempFolder folder("selfplay-archive");
  std::mt19937 rng(61);
  std::ofstream archive(folder.Path / "games.txt");
  archive << "# moves diff year black_discs black_theoretical empties\n";
  std::vector<std::pair<std::string, int>> expected;  // board text, exact value for the mover
  for (int number = 0; number < 60; ++number) {
    const TSelfPlayGame game = RandomReferenceGame(TBoardKind::Board8x8, rng);
    std::string moves;
    for (const uint8_t cell : game.Moves) {
      const reference::TSquare square = SquareOfCell(TBoardKind::Board8x8, cell);
      moves += static_cast<char>('a' + square.Column - 1);
      moves += static_cast<char>('0' + square.Row);
    }
    const int theoretical = 20 + number % 25;  // black's discs; need not be the game's own
    archive << moves << ' ' << static_cast<int>(game.BlackDiff) << " 2016 32 " << theoretical
            << " 24\n";
    if (!IsHeldOut(TextHash(moves))) continue;
    TReferenceBoard reference = ReferenceOf(TBoardKind::Board8x8);
    for (const uint8_t cell : game.Moves) {
      if (!reference.HasMove()) reference.Pass();
      if (reference.Count(reference::Empty) == 24) {
        expected.emplace_back(reference.ToText(), (2 * theoretical - 64) * reference.ToMove);
        break;
      }
      reference.Play(SquareOfCell(TBoardKind::Board8x8, cell));
    }
  }
  archive.close();
  ASSERT_GE(expected.size(), 2u) << "too few held-out games to mean anything";

  std::vector<std::pair<std::string, int>> found;
  for (const THeldOutPosition& position : HeldOutArchivePositions(folder.Path, 24)) {
    TReferenceBoard board(8);
    board.ToMove = position.Side;
    for (int row = 1; row <= 8; ++row)
      for (int column = 1; column <= 8; ++column)
        board.Set(column, row, position.Board[GridCell(8, column, row)]);
    found.emplace_back(board.ToText(), position.Exact);
  }
  std::sort(expected.begin(), expected.end());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, expected);
}

}  // namespace morvane::training
