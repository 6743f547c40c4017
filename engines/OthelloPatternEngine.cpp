#include "engines/OthelloPatternEngine.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace morvane {

namespace {

std::string Counted(int count, const char* what) { return std::to_string(count) + " " + what; }

// The engine's tables have fixed sizes; an evaluation that does not fit them, or that belongs
// to another board, is refused here rather than found out by a write past the end.
void CheckFits(const TEvaluation* evaluation, int rowStride) {
  if (!evaluation) throw std::runtime_error("A pattern engine needs an evaluation.");
  const std::string name = "Evaluation \"" + evaluation->Name + "\"";
  const auto& patterns = evaluation->Patterns;
  int instances = 0;
  int perSquare[MaxCells] = {};
  for (const auto& pattern : patterns) {
    if (pattern->Width != rowStride) {
      throw std::runtime_error(name + " is made for a board of side " +
                               std::to_string(pattern->Width - 2) + ", not " +
                               std::to_string(rowStride - 2) + ".");
    }
    if (pattern->StageCount != patterns.front()->StageCount) {
      throw std::runtime_error(name + " mixes patterns of " +
                               std::to_string(patterns.front()->StageCount) + " and " +
                               Counted(pattern->StageCount, "stages") + ".");
    }
    if (pattern->StageCount > TOthelloPatternEngine::MaxStageRows) {
      throw std::runtime_error(name + " has " + Counted(pattern->StageCount, "stages") +
                               "; the engine supports at most " +
                               std::to_string(TOthelloPatternEngine::MaxStageRows) + ".");
    }
    for (const auto& instance : pattern->Instances) {
      ++instances;
      for (const int32_t square : instance) {
        if (++perSquare[square] > TOthelloPatternEngine::MaxUpdatesPerSquare) {
          throw std::runtime_error(
              name + " places more than " +
              Counted(TOthelloPatternEngine::MaxUpdatesPerSquare, "pattern instances") +
              " on square " + std::to_string(square) + ".");
        }
      }
    }
  }
  if (instances > TOthelloPatternEngine::MaxInstances) {
    throw std::runtime_error(name + " places " + Counted(instances, "pattern instances") +
                             "; the engine supports at most " +
                             std::to_string(TOthelloPatternEngine::MaxInstances) + ".");
  }
  for (const auto& pattern : patterns) {
    if (static_cast<int>(pattern->Tables.size()) != pattern->StageCount) {
      throw std::runtime_error(name +
                               " has no integer tables yet; load and convert its coefficients "
                               "before giving it to an engine.");
    }
  }
}

}  // namespace

TOthelloPatternEngine::TOthelloPatternEngine(std::string name, double hashSizeBits, int boardSide,
                                             std::unique_ptr<TEvaluation> evaluation)
    : TOthelloEngine(std::move(name), hashSizeBits, boardSide) {
  CheckFits(evaluation.get(), RowStride);
  Evaluation = std::move(evaluation);
  BiasTable = Evaluation->Bias;
  for (auto& updates : SquareUpdates)
    for (auto& update : updates) update = {&ZeroSink, 0, 0};
  for (auto& count : UpdateCount) count = -1;
}

TOthelloPatternEngine::~TOthelloPatternEngine() = default;

// ---- Indices ----

void TOthelloPatternEngine::ComputePatternIndices() {
  ZeroSink = 0;
  std::memset(PatternIndex, 0, sizeof(PatternIndex));
  int i = 0;
  for (const auto& pattern : Evaluation->Patterns) {
    for (const auto& instance : pattern->Instances) {
      int32_t index = 0;
      // A blocked cell inside a pattern counts as empty: no disc ever lands there, and the
      // index must stay within the table.
      for (const int32_t square : instance) {
        const int8_t cell = Board[square];
        index = 3 * index + (cell == BlackCell || cell == WhiteCell ? cell : 0);
      }
      PatternIndex[i] = index;
      for (int stage = 0; stage < pattern->StageCount; ++stage)
        InstanceTables[stage][i] = pattern->TableMiddle(stage);
      ++i;
    }
  }
  InstanceCount = i;
  const int playable = PlayableSquares();
  for (int discs = 0; discs < MaxCells; ++discs)
    StageOfDiscs[discs] = Evaluation->StageOf(discs, playable);
}

void TOthelloPatternEngine::BuildSquareLinks() {
  // Every cell, on the board or not, gets harmless spare entries, so that an engine applying a
  // fixed number of entries per square never follows a stale reference.
  for (int cell = 0; cell < MaxCells; ++cell) {
    UpdateCount[cell] = -1;
    for (auto& update : SquareUpdates[cell]) update = {&ZeroSink, 0, 0};
  }
  int i = 0;
  for (const auto& pattern : Evaluation->Patterns) {
    const int n = pattern->SquareCount;
    for (const auto& instance : pattern->Instances) {
      for (int k = 0; k < n; ++k) {
        const int32_t square = instance[k];
        const int32_t weight = Pow3[n - 1 - k];
        SquareUpdates[square][++UpdateCount[square]] = {&PatternIndex[i], weight, 2 * weight};
      }
      ++i;
    }
  }
}

// ---- Make and unmake ----

void TOthelloPatternEngine::MakeMove(const MoveRecord& record) {
  const int8_t own = SideToMove;
  Board[record.Square] = own;
  PlaceDisc(record.Square, own);
  for (int f = 0; f < record.FlipCount; ++f) {
    Board[record.Flips[f]] = own;
    FlipDisc(record.Flips[f], own);
  }
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
  UnlinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TOthelloPatternEngine::UnmakeMove(const MoveRecord& record) {
  const int8_t opp = OpponentColour;
  Board[record.Square] = EmptyCell;
  PlaceDisc(record.Square, opp);
  for (int f = 0; f < record.FlipCount; ++f) {
    Board[record.Flips[f]] = opp;
    FlipDisc(record.Flips[f], opp);
  }
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
  RelinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TOthelloPatternEngine::MakeMoveLight(const MoveRecord& record) {
  const int8_t own = SideToMove;
  PlaceDisc(record.Square, own);
  for (int f = 0; f < record.FlipCount; ++f) FlipDisc(record.Flips[f], own);
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
}

void TOthelloPatternEngine::UnmakeMoveLight(const MoveRecord& record) {
  const int8_t opp = OpponentColour;
  PlaceDisc(record.Square, opp);
  for (int f = 0; f < record.FlipCount; ++f) FlipDisc(record.Flips[f], opp);
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
}

// ---- Positions ----

void TOthelloPatternEngine::SetPosition(const int8_t* board, int side) {
  // A copy first: the caller may hand in this engine's own board.
  int8_t image[MaxCells];
  std::memcpy(image, board, MaxCells);
  TOthelloEngine::SetPosition(image, side);
  ComputePatternIndices();
  BuildSquareLinks();
}

namespace {

// The empty-list nodes as one numbered run: 0 the head, 1..MaxCells the pool, then the tail.
struct TNodeRun {
  TEmptyNode* Head;
  TEmptyNode* Pool;
  TEmptyNode* Tail;

  int SlotOf(const TEmptyNode* node) const {
    if (!node) return -1;
    if (node == Head) return 0;
    if (node == Tail) return MaxCells + 1;
    return 1 + static_cast<int>(node - Pool);
  }
  TEmptyNode* NodeAt(int slot) const {
    if (slot < 0) return nullptr;
    if (slot == 0) return Head;
    if (slot == MaxCells + 1) return Tail;
    return Pool + (slot - 1);
  }
};

// Copies a list with its links, rewritten to point into the target run.
void CopyNodes(const TNodeRun& from, const TNodeRun& to) {
  for (int slot = 0; slot <= MaxCells + 1; ++slot) {
    const TEmptyNode* source = from.NodeAt(slot);
    TEmptyNode* target = to.NodeAt(slot);
    target->Square = source->Square;
    target->Prev = to.NodeAt(from.SlotOf(source->Prev));
    target->Next = to.NodeAt(from.SlotOf(source->Next));
  }
}

}  // namespace

void TOthelloPatternEngine::SaveStartPosition() {
  SetupStartPosition();
  std::memcpy(SavedBoard, Board, MaxCells);
  SavedSideToMove = SideToMove;
  SavedOwnDiscs = OwnDiscs;
  SavedOppDiscs = OppDiscs;
  SavedEmptyCount = EmptyCount;
  const TNodeRun live{&EmptyHead, EmptyPool, &EmptyTail};
  const TNodeRun saved{&SavedEmptyNodes[0], &SavedEmptyNodes[1], &SavedEmptyNodes[MaxCells + 1]};
  CopyNodes(live, saved);
  for (int square = 0; square < MaxCells; ++square)
    SavedNodeOfSquare[square] = saved.NodeAt(live.SlotOf(SquareNode[square]));
  std::memcpy(SavedPatternIndex, PatternIndex, sizeof(PatternIndex));
}

void TOthelloPatternEngine::RestoreStartPosition() {
  std::memcpy(Board, SavedBoard, MaxCells);
  SideToMove = SavedSideToMove;
  OpponentColour = static_cast<int8_t>(Opposite(SavedSideToMove));
  OwnDiscs = SavedOwnDiscs;
  OppDiscs = SavedOppDiscs;
  EmptyCount = SavedEmptyCount;
  std::memcpy(PatternIndex, SavedPatternIndex, sizeof(PatternIndex));
  // A board without its empty list and hash would mislead the next search.
  const TNodeRun live{&EmptyHead, EmptyPool, &EmptyTail};
  const TNodeRun saved{&SavedEmptyNodes[0], &SavedEmptyNodes[1], &SavedEmptyNodes[MaxCells + 1]};
  CopyNodes(saved, live);
  for (int square = 0; square < MaxCells; ++square)
    SquareNode[square] = live.NodeAt(saved.SlotOf(SavedNodeOfSquare[square]));
  RecountRegions();
  ComputeHash(HashLo, HashHi);
}

}  // namespace morvane
