// Lazy SMP: helper engines search the same root as the engine that owns them, each on a thread of
// its own and all on the owner's table, so that what one thread proves the others find there.
// Only the owner's result counts; helpers are told to stop as soon as the owner's search returns.
//
// Why not split points: the searches here are written as recursive member functions of one
// engine object whose board is its state, and the exact solver below 14 empties runs on
// bitboards in the same object. Splitting a node would need every ply's board state copied out
// and a different search per tier; sharing the table needs none of that, keeps every search's
// code as it is, and keeps exact scores exact (an entry is a proven bound whoever stored it).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace morvane {

class TOthelloEngine;

class TSearchThreads final {
 public:
  using TEngineMaker = std::function<std::unique_ptr<TOthelloEngine>()>;
  // What a helper does with its engine, already set to the owner's root; `helper` counts from 1.
  using TJob = std::function<void(TOthelloEngine& engine, int helper)>;

  // Makes threads - 1 helper engines with `make` (each on the owner's table) and their threads.
  // The table takes locks from now on.
  TSearchThreads(TOthelloEngine& owner, int threads, const TEngineMaker& make);
  ~TSearchThreads();
  TSearchThreads(const TSearchThreads&) = delete;
  TSearchThreads& operator=(const TSearchThreads&) = delete;

  // All threads, the owner's included.
  int Count() const { return static_cast<int>(Helpers.size()) + 1; }
  bool Running() const { return Active; }

  // Sets every helper to the owner's position and settings and starts `job` on it; returns at
  // once. The owner must stay at this root until Stop.
  void Start(TJob job);
  // Tells every helper to stop, waits for all of them and returns the nodes they searched.
  int64_t Stop();
  // The helpers' nodes since the threads were made: the owner's own share of a search's count is
  // what tells how much the helpers saved it.
  int64_t HelperNodes() const { return TotalHelperNodes; }

 private:
  struct THelper {
    std::unique_ptr<TOthelloEngine> Engine;
    std::thread Thread;
  };
  void Work(int index);

  TOthelloEngine& Owner;
  std::vector<THelper> Helpers;
  std::mutex Mutex;
  std::condition_variable Wake, Finished;
  TJob Job;
  uint64_t Generation = 0;
  int Busy = 0;
  bool Quit = false;
  bool Active = false;
  int64_t TotalHelperNodes = 0;
};

// Starts the owner's helpers on `job` for the scope of one root search and stops them when the
// scope ends, adding their nodes to the owner's count. Does nothing when the engine has no
// helpers or its helpers are already searching (a driver called by another driver).
class TParallelScope final {
 public:
  TParallelScope(TOthelloEngine& owner, TSearchThreads::TJob job);
  ~TParallelScope();
  TParallelScope(const TParallelScope&) = delete;
  TParallelScope& operator=(const TParallelScope&) = delete;

 private:
  TOthelloEngine& Owner;
  bool Started = false;
};

// True on a helper's thread: the window's event pump must not run there.
bool OnHelperThread();

}  // namespace morvane
