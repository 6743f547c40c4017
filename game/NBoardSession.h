// The NBoard engine protocol: a GUI talks to Morvane by lines. The session holds the game the
// GUI set up, an engine and an opening book per board, and answers each line as it is handed
// in; it reads and writes through the interfaces below, so that the command line wires it to
// stdin/stdout and tests script it. Every search runs on the thread that calls Handle; another
// thread (the command line's input reader) announces each arriving line through Arrived, which
// stops the running search when the line is a ping or a quit.
#pragma once

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/Catalogue.h"
#include "engine/OthelloEngine.h"
#include "game/Game.h"

namespace morvane {

class TBook;
class TOthelloPatternEngine;

class TLineWriter {
 public:
  virtual ~TLineWriter() = default;
  // One line, without its end; it must reach the GUI at once.
  virtual void WriteLine(const std::string& line) = 0;
};

class TLineReader {
 public:
  virtual ~TLineReader() = default;
  // The next line, without its end; nothing when the input has ended.
  virtual std::optional<std::string> ReadLine() = 0;
};

struct TNBoardOptions {
  std::filesystem::path DataFolder;  // the coefficient folders and the books folder
  std::string Evaluation;            // for its board; the others take their first evaluation
  double HashBits = 22;
  std::filesystem::path BookFile;  // when set, the 8 x 8 book at every depth
  int Threads = 1;                 // search threads of every engine
};

class TNBoardSession {
 public:
  // Loads the engine of the 8 x 8 board (or of the evaluation's board) at once; throws
  // std::runtime_error in plain words when its coefficients cannot be read.
  TNBoardSession(TLineWriter& out, TNBoardOptions options);
  ~TNBoardSession();
  TNBoardSession(const TNBoardSession&) = delete;
  TNBoardSession& operator=(const TNBoardSession&) = delete;

  // Answers one line; false once it was "quit".
  bool Handle(std::string_view line);
  // Handles lines until "quit" or the end of the input.
  void Run(TLineReader& in);
  // From any thread, as each line arrives and before it is handed to Handle: a ping or a quit
  // stops the running search, and every search until that line has been handled.
  void Arrived(std::string_view line);

  const TGame& Game() const { return CurrentGame; }
  const TFixedSearchInfo& Level() const { return SearchLevel; }
  // The book of the current board and level (loaded on first use).
  TBook& Book();
  TOthelloEngine& Engine() const { return *CurrentEngine.load(); }

 private:
  class TStopPump;
  class TStatusLines;
  class TMessageLines;

  void SetDepth(std::string_view argument);
  // The midgame depth and the endgame and book level that go with it.
  void ApplyDepth(int depth);
  void SetGame(std::string_view argument);
  void Move(std::string_view argument);
  void Hint(std::string_view argument);
  void Go();
  void Learn();
  // Switches engine and book to a board; false (after a status line) when its engine cannot
  // be loaded.
  bool UseBoard(TBoardKind kind);
  // A stop is pending: a ping or quit has arrived and not yet been handled.
  bool StopPending() const { return PendingStops.load() > 0; }
  // Book lines for the current position, best first, at most `count`; false when the book
  // does not know the position.
  bool BookLines(int count);
  void Status(const std::string& text);
  void NodeStats(int64_t nodes, int64_t startMs);

  TLineWriter& Out;
  TNBoardOptions Options;
  TGame CurrentGame;
  TFixedSearchInfo SearchLevel;
  const TLevelEntry* BookLevel;
  int Depth = 0;
  std::map<TBoardKind, std::unique_ptr<TOthelloPatternEngine>> Engines;
  std::map<std::string, std::unique_ptr<TBook>> Books;
  // Engines are kept until the session ends, so that Arrived may reach the current one from
  // another thread at any time.
  std::atomic<TOthelloEngine*> CurrentEngine{nullptr};
  std::atomic<int> PendingStops{0};
};

}  // namespace morvane
