#include "engine/SearchThreads.h"

#include <cstring>
#include <stdexcept>
#include <utility>

#include "engine/OthelloEngine.h"
#include "evaluation/Patterns.h"

namespace morvane {

namespace {

thread_local bool HelperThread = false;

// The settings a helper needs to search the owner's root the way the owner does.
void CopySearchSettings(const TOthelloEngine& owner, TOthelloEngine& helper, int index) {
  helper.SetPosition(owner.Board, owner.SideToMove);
  std::memcpy(helper.ExcludedMoves, owner.ExcludedMoves, sizeof owner.ExcludedMoves);
  helper.TimeBudget = owner.TimeBudget;
  helper.TimedSearch = false;
  helper.HelperIndex = index;
  helper.ShowBestLine = false;
  helper.StopRequested.store(false, std::memory_order_relaxed);
  if (owner.Evaluation && helper.Evaluation) {
    helper.Evaluation->MpcThreshold = owner.Evaluation->MpcThreshold;
    helper.Evaluation->UseMpc = owner.Evaluation->UseMpc;
    helper.Evaluation->ShallowSearchDepth = owner.Evaluation->ShallowSearchDepth;
    helper.Evaluation->EndgameDriverDepth = owner.Evaluation->EndgameDriverDepth;
    helper.Evaluation->Level = owner.Evaluation->Level;
  }
}

}  // namespace

bool OnHelperThread() { return HelperThread; }

TSearchThreads::TSearchThreads(TOthelloEngine& owner, int threads, const TEngineMaker& make)
    : Owner(owner) {
  if (threads < 1) throw std::invalid_argument("A search needs at least one thread.");
  Helpers.resize(static_cast<size_t>(threads - 1));
  for (THelper& helper : Helpers) {
    helper.Engine = make();
    if (!helper.Engine || helper.Engine->BoardSide != owner.BoardSide)
      throw std::invalid_argument("A helper engine must play on its owner's board.");
    helper.Engine->BorrowTable(*owner.HashTable);
  }
  for (size_t i = 0; i < Helpers.size(); ++i)
    Helpers[i].Thread = std::thread([this, i] { Work(static_cast<int>(i)); });
  if (!Helpers.empty()) owner.HashTable->SetShared(true);
}

TSearchThreads::~TSearchThreads() {
  Stop();
  {
    std::lock_guard lock(Mutex);
    Quit = true;
  }
  Wake.notify_all();
  for (THelper& helper : Helpers)
    if (helper.Thread.joinable()) helper.Thread.join();
  Owner.HashTable->SetShared(false);
}

void TSearchThreads::Start(TJob job) {
  if (Helpers.empty()) return;
  Stop();
  for (size_t i = 0; i < Helpers.size(); ++i)
    CopySearchSettings(Owner, *Helpers[i].Engine, static_cast<int>(i) + 1);
  {
    std::lock_guard lock(Mutex);
    Job = std::move(job);
    Busy = static_cast<int>(Helpers.size());
    ++Generation;
    Active = true;
  }
  Wake.notify_all();
}

int64_t TSearchThreads::Stop() {
  if (!Active) return 0;
  for (THelper& helper : Helpers) helper.Engine->RequestStop();
  std::unique_lock lock(Mutex);
  Finished.wait(lock, [this] { return Busy == 0; });
  Active = false;
  int64_t nodes = 0;
  for (const THelper& helper : Helpers) nodes += helper.Engine->NodeCount;
  TotalHelperNodes += nodes;
  return nodes;
}

void TSearchThreads::Work(int index) {
  HelperThread = true;
  uint64_t seen = 0;
  for (;;) {
    TJob job;
    {
      std::unique_lock lock(Mutex);
      Wake.wait(lock, [&] { return Quit || Generation != seen; });
      if (Quit) return;
      seen = Generation;
      job = Job;
    }
    job(*Helpers[static_cast<size_t>(index)].Engine, index + 1);
    {
      std::lock_guard lock(Mutex);
      --Busy;
    }
    Finished.notify_all();
  }
}

TParallelScope::TParallelScope(TOthelloEngine& owner, TSearchThreads::TJob job) : Owner(owner) {
  if (!Owner.Threads || Owner.Threads->Count() < 2 || Owner.Threads->Running()) return;
  Owner.Threads->Start(std::move(job));
  Started = true;
}

TParallelScope::~TParallelScope() {
  if (Started) Owner.NodeCount += Owner.Threads->Stop();
}

}  // namespace morvane
