#include "game/NBoardSession.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "engine/Widgets.h"
#include "engines/EngineFactory.h"
#include "game/Book.h"
#include "game/GameInfo.h"
#include "game/GgfFile.h"
#include "game/MoveValues.h"
#include "game/Text.h"

namespace morvane {

namespace {

// The first word of a text, and the rest after it.
std::pair<std::string_view, std::string_view> Split(std::string_view text) {
  text = Trim(text);
  size_t end = 0;
  while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
  return {text.substr(0, end), Trim(text.substr(end))};
}

std::optional<int> ParseInt(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Squares as the GUIs write them: "F5", "PA".
std::string ProtocolMove(const TPosition& position, int square) {
  std::string text = position.MoveText(square);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

const TEvaluationEntry* EvaluationOf(const std::string& name) {
  const TEvaluationEntry* entry = FindEvaluation(name);
  if (!entry)
    throw std::runtime_error("unknown evaluation \"" + name + "\"; known: " + EvaluationNameList());
  return entry;
}

std::string Seconds(int64_t milliseconds) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f", static_cast<double>(milliseconds) / 1000.0);
  return text;
}

}  // namespace

// Turns a pending ping or quit into the engine's stop request from inside the search. The
// reader thread sets the request itself too; this closes the gap where a search starting on
// this thread clears a request that arrived a moment before.
class TNBoardSession::TStopPump final : public TEventPump {
 public:
  explicit TStopPump(TNBoardSession& session) : Session(session) {}
  void ProcessPendingEvents() override {
    if (Session.StopPending()) Session.Engine().RequestStop();
  }

 private:
  TNBoardSession& Session;
};

// The engine's status bars as status lines: one whenever the score changes.
class TNBoardSession::TStatusLines final : public TStatusBar {
 public:
  explicit TStatusLines(TNBoardSession& session) : Session(session) {}
  void SetPanelText(int panel, const std::string& text) override {
    const size_t colon = text.find(": ");
    if (panel != 0 || colon == std::string::npos) return;
    const std::string value = text.substr(colon + 2);
    if (text.rfind("Depth", 0) == 0) Depth = value;
    if (text.rfind("Score", 0) != 0) return;
    const std::string line = "Morvane is thinking: depth " + Depth + ", score " + value;
    if (line != Last) Session.Status(line);
    Last = line;
  }

 private:
  TNBoardSession& Session;
  std::string Depth = "0", Last;
};

// Messages of the book (a damaged file, a failed save) as status lines.
class TNBoardSession::TMessageLines final : public TMessageSink {
 public:
  explicit TMessageLines(TNBoardSession& session) : Session(session) {}
  void ShowMessage(const std::string& text) override {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    Session.Status(line);
  }

 private:
  TNBoardSession& Session;
};

TNBoardSession::TNBoardSession(TLineWriter& out, TNBoardOptions options)
    : Out(out), Options(std::move(options)) {
  const TBoardKind kind =
      Options.Evaluation.empty() ? TBoardKind::Board8x8 : EvaluationOf(Options.Evaluation)->Kind;
  CurrentGame = TGame(kind);
  ApplyDepth(StartLevel.Depth);
  // With no engine yet, a board that cannot be loaded throws instead of answering.
  UseBoard(kind);
}

TNBoardSession::~TNBoardSession() = default;

void TNBoardSession::Run(TLineReader& in) {
  while (const auto line = in.ReadLine())
    if (!Handle(*line)) return;
}

void TNBoardSession::Arrived(std::string_view line) {
  const auto [command, rest] = Split(line);
  if (command != "ping" && command != "quit") return;
  ++PendingStops;
  Engine().RequestStop();
}

bool TNBoardSession::Handle(std::string_view line) {
  TMessageLines messages(*this);
  TScopedMessageSink sink(&messages);
  const auto [command, rest] = Split(line);
  if (command == "ping" || command == "quit") {
    // This line's stop has done its work; searches may run again. A line that never passed
    // through Arrived (a test's script) has no stop to take back.
    int pending = PendingStops.load();
    while (pending > 0 && !PendingStops.compare_exchange_weak(pending, pending - 1)) continue;
    if (command == "quit") return false;
    Out.WriteLine("pong " + std::string(rest));
  } else if (command == "set") {
    const auto [what, value] = Split(rest);
    if (what == "depth") SetDepth(value);
    if (what == "game") SetGame(value);
  } else if (command == "move") {
    Move(rest);
  } else if (command == "hint") {
    Hint(rest);
  } else if (command == "go") {
    Go();
  } else if (command == "learn") {
    Learn();
  }
  // "nboard N", "set contempt" and whatever else a GUI sends need no answer.
  return true;
}

void TNBoardSession::SetDepth(std::string_view argument) {
  const auto depth = ParseInt(argument);
  if (!depth || *depth < 1 || *depth > 60) {
    Status("set depth: \"" + std::string(argument) + "\" is no depth from 1 to 60");
    return;
  }
  ApplyDepth(*depth);
  Out.WriteLine("set myname Morvane" + std::to_string(Depth));
}

void TNBoardSession::ApplyDepth(int depth) {
  Depth = depth;
  // The endgame: the exact empties of the catalogue level with the largest depth not above D;
  // beyond the table D + 6 empties, at most 26 (the deepest level's, solves of minutes).
  const TLevelEntry* level = nullptr;
  for (const TLevelEntry& entry : Levels)
    if (entry.Depth <= Depth && (!level || entry.Depth > level->Depth)) level = &entry;
  BookLevel = level ? level : &Levels[0];
  SearchLevel = LevelInfo(*BookLevel);
  SearchLevel.Depth = Depth;
  const bool beyond = std::all_of(std::begin(Levels), std::end(Levels),
                                  [&](const TLevelEntry& entry) { return entry.Depth < Depth; });
  if (beyond) SearchLevel.ExactEmpties = std::min(Depth + 6, 26);
}

bool TNBoardSession::UseBoard(TBoardKind kind) {
  auto& engine = Engines[kind];
  if (!engine) {
    std::string name;
    if (!Options.Evaluation.empty() && EvaluationOf(Options.Evaluation)->Kind == kind) {
      name = Options.Evaluation;
    } else {
      for (const TBoardEntry& board : Boards)
        if (board.Kind == kind && name.empty()) name = board.Evaluation;
    }
    try {
      engine = CreateEngineFor(name, Options.HashBits, nullptr, Options.DataFolder);
      SetSearchThreads(*engine, Options.Threads);
    } catch (const std::runtime_error& error) {
      Engines.erase(kind);
      // Without an engine at all the session cannot start: the constructor reports it.
      if (!CurrentEngine.load()) throw;
      Status("cannot play that board: " + std::string(error.what()));
      return false;
    }
  }
  CurrentEngine.store(engine.get());
  return true;
}

TBook& TNBoardSession::Book() {
  const TBoardKind kind = CurrentGame.Kind();
  // The board entry of the evaluation played, or the first of the board (Bot8x8 has none).
  const TBoardEntry* board = nullptr;
  for (const TBoardEntry& entry : Boards)
    if (entry.Kind == kind && (!board || Options.Evaluation == entry.Evaluation)) board = &entry;
  const bool ownFile = kind == TBoardKind::Board8x8 && !Options.BookFile.empty();
  const std::string name =
      ownFile ? Options.BookFile.stem().string() : BookName(*board, *BookLevel);
  const std::string key = ownFile ? "file" : name;
  auto& book = Books[key];
  if (!book) {
    book = std::make_unique<TBook>(name, BoardSideOf(kind), static_cast<int>(kind), &Engine(),
                                   Options.DataFolder);
    if (ownFile) book->File = Options.BookFile;
    book->SetRandomness(0);
    book->Load();
  }
  return *book;
}

void TNBoardSession::SetGame(std::string_view argument) {
  std::string problem;
  auto files = ReadGgf(argument, &problem);
  if (files && files->size() != 1) problem = "more than one game record";
  if (!files || files->size() != 1) {
    Status("set game: " + problem + "; the position stays as it was");
    return;
  }
  TGame& game = files->front().Game;
  if (!UseBoard(game.Kind())) return;
  CurrentGame = std::move(game);
}

void TNBoardSession::Move(std::string_view argument) {
  const std::string text(Trim(argument.substr(0, argument.find('/'))));
  const auto square = CurrentGame.Current().ParseMove(text);
  const bool played = square && (*square == PassMove ? CurrentGame.Play(PassMove)
                                                     : CurrentGame.PlayInsertingPass(*square));
  if (!played)
    Status("move " + text + " is " + (square ? "not legal here" : "no square of the board") +
           "; the position stays as it was");
}

bool TNBoardSession::BookLines(int count) {
  TBook& book = Book();
  const TPosition& position = CurrentGame.Current();
  const TBookBoard board = book.FromImage(position.Image());
  const TPositionMatch match = book.FindPosition(board);
  if (!match.Node || book.CountEmpties(board) < book.MinEmpties) return false;
  std::vector<std::pair<double, int>> moves;  // value, square
  for (const TNode* child = match.Node->Children(); child; child = child->NextSibling) {
    const int square = book.TransformSquare(match.Orientation, child->Move);
    if (child->Value > NoValue && position.IsLegal(square))
      moves.emplace_back(child->Value, square);
  }
  if (moves.empty()) return false;
  std::stable_sort(moves.begin(), moves.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  moves.resize(std::min(moves.size(), static_cast<size_t>(count)));
  for (const auto& [value, square] : moves)
    Out.WriteLine("book " + ProtocolMove(position, square) + " " +
                  ValueText(static_cast<int32_t>(value * DiscUnit)) + " 0 " +
                  std::to_string(Depth) + " ");
  return true;
}

void TNBoardSession::Hint(std::string_view argument) {
  const int count = std::max(ParseInt(argument).value_or(1), 1);
  const TPosition position = CurrentGame.Current();
  if (StopPending()) return;
  if (position.IsFinished()) {
    Status("the game is over: no move to value");
    return;
  }
  if (BookLines(count)) return;
  Status("Morvane is thinking");
  const int64_t start = TickCount();
  int64_t nodes = 0;
  int depthsDone = 0;
  TMoveValueHooks hooks;
  hooks.Valued = [&](const TMoveValue& value, int index, int moves) {
    nodes += value.Nodes;
    if (index == 1 && moves > 1)
      Status("Morvane is thinking: depth " + std::to_string(depthsDone + 1));
  };
  hooks.DepthDone = [&](const TMoveValues& values) {
    ++depthsDone;
    const size_t shown = std::min(values.Moves.size(), static_cast<size_t>(count));
    for (size_t index = 0; index < shown; ++index) {
      const TMoveValue& value = values.Moves[index];
      const int depth = value.Exact ? position.Empties() : values.Depth;
      Out.WriteLine("search " + ProtocolMove(position, value.Square) + " " +
                    ValueText(value.Score) + " 0 " + std::to_string(depth) +
                    (value.Exact ? " exact" : " "));
    }
  };
  TStopPump pump(*this);
  TScopedEventPump installed(&pump);
  ValueMovesIteratively(Engine(), position, SearchLevel, hooks);
  NodeStats(nodes, start);
  Status("");
}

void TNBoardSession::Go() {
  const TPosition position = CurrentGame.Current();
  if (StopPending()) return;
  if (position.IsFinished()) {
    Status("the game is over: no move to play");
    return;
  }
  const int64_t start = TickCount();
  int bookMove = 0;
  double bookValue = 0;
  if (position.HasMove() && Book().GetBookMove(position.Image(), bookMove, bookValue) &&
      position.IsLegal(bookMove)) {
    const std::string eval = ValueText(static_cast<int32_t>(bookValue * DiscUnit));
    const std::string move = ProtocolMove(position, bookMove);
    Out.WriteLine("book " + move + " " + eval + " 0 " + std::to_string(Depth) + " ");
    Out.WriteLine("=== " + move + "/" + eval + "/" + Seconds(TickCount() - start));
    return;
  }

  Status("Morvane is thinking");
  TOthelloEngine& engine = Engine();
  TStatusLines lines(*this);
  TStatusBar* const scoreBar = engine.ScoreBar;
  TStatusBar* const statsBar = engine.StatsBar;
  engine.SetStatusBars(&lines, &lines);
  TStopPump pump(*this);
  TPositionValue value;
  {
    TScopedEventPump installed(&pump);
    value = SearchPosition(engine, position, SearchLevel);
  }
  engine.SetStatusBars(scoreBar, statsBar);
  if (value.Stopped) {
    // A ping took over; the GUI no longer waits for this answer.
    Status("");
    return;
  }
  // The principal variation from the table, as far as it is legal from here.
  const std::string move = ProtocolMove(position, value.BestSquare);
  std::string line = move;
  TPosition after = position;
  after.Play(value.BestSquare);
  const std::string table = engine.BestLineText(std::min(position.Empties(), 12));
  size_t place = 0;
  bool first = value.BestSquare != PassMove;  // the table's line starts after a pass
  while (place < table.size()) {
    const size_t end = std::min(table.find(' ', place), table.size());
    const std::string word = table.substr(place, end - place);
    place = end + 1;
    if (word.empty()) continue;
    const auto square = after.ParseMove(word);
    if (first) {
      first = false;
      if (square && *square == value.BestSquare) continue;
      break;
    }
    if (!square || !after.IsLegal(*square)) break;
    line += "-" + ProtocolMove(after, *square);
    after.Play(*square);
  }
  const std::string eval = ValueText(value.Score);
  Out.WriteLine("search " + line + " " + eval + " 0 " +
                std::to_string(value.Exact ? position.Empties() : Depth) +
                (value.Exact ? " exact" : " "));
  NodeStats(value.Nodes, start);
  Status("");
  Out.WriteLine("=== " + move + "/" + eval + "/" + Seconds(TickCount() - start));
}

void TNBoardSession::Learn() {
  if (!CurrentGame.StartsFromStandard()) {
    Status("learn: only games from the standard start go into the book");
  } else {
    TBook& book = Book();
    auto record = std::make_unique<TGameInfo>();
    record->SetEngine(&Engine());
    record->NewGame();
    record->SetLevel(SearchLevel);
    record->Book = &book;
    bool entered = true;
    for (const int square : CurrentGame.Moves()) entered = entered && record->EnterMove(square);
    if (entered) {
      TStopPump pump(*this);
      TScopedEventPump installed(&pump);
      record->LearnGame(nullptr);
    }
  }
  Out.WriteLine("learned");
}

void TNBoardSession::Status(const std::string& text) {
  Out.WriteLine(text.empty() ? "status" : "status " + text);
}

void TNBoardSession::NodeStats(int64_t nodes, int64_t startMs) {
  Out.WriteLine("nodestats " + std::to_string(nodes) + " " + Seconds(TickCount() - startMs));
}

}  // namespace morvane
