// nboard: the NBoard engine protocol on standard input and output. The session does the work;
// this file wires it to the process: lines out flushed one by one, lines in read on a thread
// of their own, so that a ping or a quit stops a search at once.
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "Commands.h"
#include "Failures.h"
#include "engine/Catalogue.h"
#include "engines/EngineFactory.h"
#include "game/NBoardSession.h"

namespace morvane::cli {

namespace {

class TStdoutLines final : public TLineWriter {
 public:
  void WriteLine(const std::string& line) override {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
};

// The lines the reader thread has read and the session has not yet taken.
class TLineQueue final : public TLineReader {
 public:
  std::optional<std::string> ReadLine() override {
    std::unique_lock lock(Mutex);
    Ready.wait(lock, [&] { return !Lines.empty() || Ended; });
    if (Lines.empty()) return std::nullopt;
    std::string line = std::move(Lines.front());
    Lines.pop_front();
    return line;
  }
  void Push(std::string line) {
    {
      std::lock_guard lock(Mutex);
      Lines.push_back(std::move(line));
    }
    Ready.notify_one();
  }
  void End() {
    {
      std::lock_guard lock(Mutex);
      Ended = true;
    }
    Ready.notify_one();
  }

 private:
  std::mutex Mutex;
  std::condition_variable Ready;
  std::deque<std::string> Lines;
  bool Ended = false;
};

// Reads standard input line by line until it ends or `finished` is set; polls so that it can
// notice the end of the session while the GUI keeps the pipe open.
void ReadInput(TNBoardSession& session, TLineQueue& queue, const std::atomic<bool>& finished) {
  std::string pending;
  char buffer[4096];
  while (!finished.load()) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&input, 1, 100);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;
    const ssize_t count = ready < 0 ? -1 : read(STDIN_FILENO, buffer, sizeof(buffer));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    pending.append(buffer, static_cast<size_t>(count));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      session.Arrived(line);
      queue.Push(std::move(line));
    }
  }
  if (!pending.empty()) {
    session.Arrived(pending);
    queue.Push(pending);
  }
  // The end of the input ends the session once the lines before it are answered: a script
  // piped in gets its answers. (A GUI that goes away closes our output too, and the next line
  // written ends the process.)
  queue.End();
}

}  // namespace

int RunNBoard(const TArguments& arguments) {
  arguments.Allow({"data", "eval", "hash", "book", "threads"});
  if (!arguments.Positional().empty())
    throw TUsageError(
        "usage: nboard [--data DIR] [--eval NAME] [--hash BITS] [--book FILE] [--threads N]");
  TNBoardOptions options;
  options.DataFolder = arguments.OptionOr("data", "");
  options.HashBits = static_cast<double>(arguments.IntOption("hash", 22, 10, 28));
  options.Evaluation = arguments.OptionOr("eval", "");
  options.Threads =
      static_cast<int>(arguments.IntOption("threads", DefaultSearchThreads(), 1, 256));
  if (!options.Evaluation.empty() && !FindEvaluation(options.Evaluation))
    throw TUsageError("unknown evaluation \"" + options.Evaluation +
                      "\"; known: " + EvaluationNameList());
  if (const auto book = arguments.Option("book")) {
    RequireFileOrNothing(*book, "--book");
    options.BookFile = *book;
  }
  TStdoutLines out;
  const auto session = ReadingInput([&] { return std::make_unique<TNBoardSession>(out, options); });
  TLineQueue queue;
  std::atomic<bool> finished{false};
  std::thread reader(ReadInput, std::ref(*session), std::ref(queue), std::cref(finished));
  session->Run(queue);
  finished.store(true);
  reader.join();
  return 0;
}

}  // namespace morvane::cli
