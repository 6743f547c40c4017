// The root of every engine: one position on a bordered board of side 8 or 10, the rules, the
// incremental position hash, the list of empty squares that every search walks, the midgame and
// endgame searches and the reporting of their progress.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "engine/BoardKind.h"
#include "engine/Cells.h"
#include "engine/HashTable.h"
#include "engine/SearchInfo.h"

namespace morvane {

class TEvaluation;
class TStatusBar;
class TSearchThreads;

// Frees the table of an engine that owns it; a helper thread's engine searches on its owner's
// table and leaves it alone.
struct TTableOwnership {
  bool Owned = true;
  void operator()(THashTable* table) const {
    if (Owned) delete table;
  }
};

// One entry of a move list. Flips are recorded direction by direction (north-west, north-east,
// north, west, south-east, south-west, south, east), nearest first.
struct MoveRecord {
  int32_t Square;
  int32_t Flips[MaxFlips];
  int32_t FlipCount;
  int32_t OrderKey;
  uint32_t HashDeltaLo;
  uint32_t HashDeltaHi;
  MoveRecord* Next;
  // The bitboard solver keeps the bitboards after the move here: the mover's discs, then the
  // opponent's.
  uint64_t MoverBitsAfter;
  uint64_t OpponentBitsAfter;
};

// A move list: record 0 is the head whose Next is the first legal move.
using TMoveList = MoveRecord[MaxMoves + 1];

// A node of the doubly linked list of empty squares. Removing a node keeps its own links, so
// that putting it back is two writes; removals and insertions are strictly last-in first-out.
struct TEmptyNode {
  int32_t Square;
  TEmptyNode* Prev;
  TEmptyNode* Next;
};

struct TSearchResult {
  int32_t Score = 0;  // millionths of a disc
  int32_t BestSquare = PassMove;
};

struct TTimedSearchResult {
  int32_t Score = 0;
  int32_t BestSquare = PassMove;
  int64_t ElapsedMs = 0;
  int32_t Depth = 0;
};

struct TEndgameResult {
  int32_t Score = 0;  // whole discs
  int32_t BestSquare = PassMove;
  int32_t Margin = Infinity;
};

// The probe bounds of a probability cut. Usable is false when the statistics at hand cannot
// predict the deep score (a zero, negative or absurd slope, no spread): then no cut is made.
struct TMpcBounds {
  int32_t BetaBound = Infinity;
  int32_t AlphaBound = -Infinity;
  int32_t Margin = Infinity;
  bool Usable = false;
};

// A monotonic millisecond clock for search timing and speed figures.
int64_t TickCount();

class TOthelloEngine {
 public:
  TOthelloEngine(std::string name, double hashSizeBits, int boardSide);
  virtual ~TOthelloEngine();
  TOthelloEngine(const TOthelloEngine&) = delete;
  TOthelloEngine& operator=(const TOthelloEngine&) = delete;

  // ---- Virtual operations, in their slot order ----
  virtual void BuildEmptyList();
  virtual int ProbeMoveHashed(int square, MoveRecord& record);
  virtual void GenerateMoves(MoveRecord* list);
  virtual int ProbeMove(int square, MoveRecord& record);
  virtual int FlipInPlace(int square, MoveRecord& record);
  virtual int ProbeAndFlipHashed(int square, MoveRecord& record);
  virtual int CountFlips(int square);
  virtual bool IsLegalMove(int square);
  virtual int32_t Evaluate() = 0;
  virtual int32_t EvaluateAlt() = 0;
  virtual int32_t EndSearchPV(int32_t alpha, int32_t beta, bool passed, int32_t& margin);
  virtual int32_t EndSearchZW(int32_t alpha, int32_t beta, bool passed, int32_t& margin);
  virtual int CornerStability(int colour);
  virtual void MakeMove(const MoveRecord& record);
  virtual void MakeMoveParity(const MoveRecord& record);
  virtual void MakeMoveLight(const MoveRecord& record);
  virtual void UnmakeMove(const MoveRecord& record);
  virtual void UnmakeMoveLight(const MoveRecord& record);
  virtual void UnmakeMoveParity(const MoveRecord& record);
  virtual void SaveStartPosition() = 0;
  virtual void RestoreStartPosition() = 0;
  virtual void SetPosition(const int8_t* board, int side);
  virtual void GenerateMovesHashed(MoveRecord* list);

  // ---- Rules ----
  void UndoFlipInPlace(const MoveRecord& record);
  void SwapSides() {
    const int8_t side = SideToMove;
    SideToMove = OpponentColour;
    OpponentColour = side;
    const int32_t own = OwnDiscs;
    OwnDiscs = OppDiscs;
    OppDiscs = own;
  }
  // A pass: the side key enters the hash and the sides change. Undone by calling it again.
  void MakePass() {
    HashLo ^= HashTable->SideKey[0];
    HashHi ^= HashTable->SideKey[1];
    SwapSides();
  }
  static int Opposite(int colour) { return colour == WhiteCell ? BlackCell : WhiteCell; }
  std::string MoveToText(int square) const;
  // Reads a position text: the side to move, then a x a cells row by row. Returns false (and
  // leaves the image alone) when the text has the wrong length.
  bool ParsePosition(const std::string& text, PositionImage& image) const;
  void ComputeHash(uint32_t& lo, uint32_t& hi) const;
  void SetupStartPosition();
  int MobilityCount();
  int PlayableSquares() const { return BoardSide * BoardSide - BlockedCount; }
  // The board this engine plays on: the octagon is the 10 x 10 grid with cut cells.
  TBoardKind Kind() const {
    if (BoardSide == 8) return TBoardKind::Board8x8;
    return BlockedCount > 0 ? TBoardKind::Octagon : TBoardKind::Board10x10;
  }
  // Black's disc margin with the empty squares given to the winner.
  int FinalScore() const;
  // The side to move's final margin, empties to the winner, in whole discs.
  int FinalMargin() const {
    if (OwnDiscs > OppDiscs) return PlayableSquares() - 2 * OppDiscs;
    if (OwnDiscs < OppDiscs) return 2 * OwnDiscs - PlayableSquares();
    return 0;
  }
  void ComputeRegions();
  void RecountRegions();
  PositionImage CurrentPosition() const;
  int SquareAt(int column, int row) const { return row * RowStride + column; }
  const TEmptyNode* FirstEmpty() const { return EmptyHead.Next; }

  // ---- Search control and drivers ----
  void SetTimeBudget(int64_t milliseconds) { TimeBudget = milliseconds; }
  // Safe from any thread: the engine protocol's input reader stops a search this way.
  void RequestStop() { StopRequested.store(true, std::memory_order_relaxed); }
  TSearchResult SearchFixedLevel(const TFixedSearchInfo& level);
  TTimedSearchResult SearchTimed();

  // ---- Midgame search ----
  int32_t RootSearch(int32_t alpha, int32_t beta, int32_t previousScore, MoveRecord* rootList,
                     int depth);
  int32_t PVSearch(int32_t alpha, int32_t beta, int depth, bool passed, bool useMpc,
                   int32_t& margin);
  int32_t NullWindowSearch(int32_t alpha, int32_t beta, int depth, bool passed, bool useMpc,
                           int32_t& margin);
  template <bool PvNode>
  int32_t AlphaBeta(int32_t alpha, int32_t beta, int depth, bool passed, bool useMpc,
                    int32_t& margin);
  int32_t ShallowSearch(int32_t alpha, int32_t beta, int depth, bool passed);
  int32_t LeafSearch(int32_t alpha, int32_t beta, bool passed);
  // How the shallow searches' move loops find the moves of the position: by probing every empty
  // square here. An engine with a cheaper way hides this with its own.
  struct TProbeEverySquare {
    TOthelloEngine* Engine;
    int Probe(int square, MoveRecord& record) const { return Engine->ProbeMove(square, record); }
  };
  TProbeEverySquare LegalMoves() { return {this}; }
  void OrderBySearch(MoveRecord* list, int depth);
  void OrderByMobility(MoveRecord* list);
  static void MoveToFront(MoveRecord* list, int square);
  // Stable selection sort by OrderKey, largest first.
  static void SortMoves(MoveRecord* list);
  TMpcBounds MpcBounds(int depth, int shallow, int32_t alpha, int32_t beta) const;
  // The shallow depth of a node's multi-prob-cut probe; -1 when the node is too shallow for one.
  static int MpcShallowDepth(int depth);
  static int OrderingDepthFor(int remainingDepth);
  // The time the timed search gives one move, from the budget (negative: 1,000 ms), the empties
  // and whether the table knows the root.
  static int64_t MoveTimeFor(int64_t budget, int empties, bool rootKnown);

  // ---- Endgame search ----
  int32_t ExactSolveAspirated(int32_t alpha, int32_t beta, MoveRecord* rootList);
  TEndgameResult SelectiveEndgame(std::span<const double> probabilities, int64_t allowance,
                                  MoveRecord* rootList, int depth, int32_t alpha, int32_t beta);
  int32_t TimedEndgame(int64_t allowance, MoveRecord* rootList);
  template <bool PvNode>
  int32_t EndNode(int32_t alpha, int32_t beta, bool passed, int32_t& margin);
  TEndgameResult EndRootSearch(int32_t alpha, int32_t beta, MoveRecord* rootList, int depth);
  int32_t SolveExact(int32_t alpha, int32_t beta, bool passed);
  int32_t ExactSearch(int32_t alpha, int32_t beta, bool passed);
  int32_t SolveSmall(int32_t alpha, int32_t beta, bool passed);
  int32_t SolveLastTwo(int32_t alpha, int32_t beta, bool passed);
  void OrderForEndgame(MoveRecord* list, int32_t beta);
  static double InverseNormal(double p);
  static int EndOrderDepthFor(int empties);
  // The end-cut's probe bounds for a window in discs at the current empties and EndCutThreshold.
  TMpcBounds EndCutBounds(int32_t alpha, int32_t beta) const;

  // ---- Status reporting ----
  void SetStatusBars(TStatusBar* scoreBar, TStatusBar* statsBar) {
    ScoreBar = scoreBar;
    StatsBar = statsBar;
  }
  void ShowScore(double discs);
  void ShowScoreText(const std::string& text);
  void ReportBestLine(int depth);
  void ShowDepth(int depth);
  void ShowMoves(int index, int count, int square);
  void ShowNodes(int64_t count);
  void ShowSpeed(int64_t nodes, int64_t milliseconds);
  std::string BestLineText(int count);
  static std::string FormatScore(double discs);

  // ---- State ----
  std::string Name;
  double HashSizeBits;
  int32_t RowStride, FirstCell, LastCell;
  int64_t TimeBudget = 0;
  double EndProbability = 0;
  int32_t RegionEmpties[4] = {};
  int32_t RegionOf[MaxCells] = {};
  bool TimedSearch = false;
  // 0 for an engine searching for itself; k for the k-th helper thread of another engine.
  int32_t HelperIndex = 0;
  // Polled by every search; set by the search itself (time is up), by the window's event pump
  // or by RequestStop from another thread. Atomic so that another thread may set it; on x86 a
  // load of it is the plain load it was before.
  std::atomic<bool> StopRequested{false};
  int64_t SearchStart = 0, SearchLimit = 0;
  uint32_t HashLo = 0, HashHi = 0;
  int32_t EndCutThreshold = Infinity;
  int32_t OwnDiscs = 0, OppDiscs = 0;
  int32_t FirstInner, LastInner;
  TEmptyNode EmptyHead{};
  TEmptyNode EmptyPool[MaxCells]{};
  TEmptyNode EmptyTail{};
  TEmptyNode* SquareNode[MaxCells] = {};
  int32_t Directions[9] = {};  // 1..8
  int8_t Board[MaxCells] = {};
  int8_t ExcludedMoves[MaxCells] = {};
  std::unique_ptr<TEvaluation> Evaluation;
  int8_t SideToMove = BlackCell, OpponentColour = WhiteCell;
  int32_t BoardSide;
  int64_t NodeCount = 0;
  int32_t EmptyCount = 0;
  int32_t BlockedCount = 0;
  // The most discs one move can flip on this board's grid (19 on 8 x 8); bounds the last-two
  // solver's early cuts.
  int32_t MaxFlipsPerMove = 0;
  bool ShowBestLine = true;
  TStatusBar* ScoreBar = nullptr;
  TStatusBar* StatsBar = nullptr;
  std::unique_ptr<THashTable, TTableOwnership> HashTable;
  // Helper threads searching the same root on this engine's table while it searches; null when
  // the engine searches alone. Set by SetSearchThreads (engines/).
  std::unique_ptr<TSearchThreads> Threads;

  // Searches on another engine's table from now on: a helper thread's engine.
  void BorrowTable(THashTable& table) {
    HashTable = std::unique_ptr<THashTable, TTableOwnership>(&table, TTableOwnership{false});
  }

 protected:
  // The move ordering and the end-cut probe of the endgame nodes with 14 or more empties; a
  // board engine may put its own shallow searches in their place. Beta of the ordering in whole
  // discs, the probe's window in millionths.
  virtual void OrderEndgameMoves(MoveRecord* list, int32_t beta);
  virtual int32_t EndCutProbe(int32_t alpha, int32_t beta, int depth, bool passed);

  // Appends a square's node at the end of the empty list being built.
  void ResetEmptyList();
  void AppendEmpty(int square);
  void UnlinkEmpty(int square) {
    TEmptyNode* node = SquareNode[square];
    node->Prev->Next = node->Next;
    node->Next->Prev = node->Prev;
  }
  void RelinkEmpty(int square) {
    TEmptyNode* node = SquareNode[square];
    node->Prev->Next = node;
    node->Next->Prev = node;
  }

 private:
  // Iterative deepening at the root, two passes per depth, with the 0.6 / 0.4 blend; a
  // non-negative moveTime ends it after the first depth that reaches it.
  int32_t DeepenIteratively(MoveRecord* rootList, int lastDepth, int64_t start, int64_t moveTime,
                            int32_t& depthReached);
  // A helper thread starts on another root move than its owner (the k-th helper on the k-th
  // move): the threads prove different subtrees first and find each other's results in the
  // table. Nothing for an engine searching for itself.
  void StartHelperElsewhere(MoveRecord* rootList) const;
  // The answer of a driver: the first root move that the book has not excluded.
  int FirstRootMove(const MoveRecord* rootList) const;

  int AppendedNodes = 0;
};

}  // namespace morvane
