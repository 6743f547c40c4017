// The self-learning opening book: a tree of opening lines for one board type and one level. It
// answers book moves during play, learns every finished game (the line, a searched leaf where
// the line leaves the book, and a searched deviation wherever the best alternative is missing)
// and keeps the tree in one ".boo" file per board type and level.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "engine/OthelloEngine.h"

namespace morvane {

class TGameInfo;
class TProgressBar;

// The mark of a missing value, in discs.
constexpr double NoValue = -2'000'000'000.0;

// One book position, reached from its parent by Move. Nodes belong to the book's arena; the
// pointers never own anything.
struct TNode {
  bool IsLink = false;
  int32_t Move = 0;         // in the orientation of the parent's subtree; 1 = pass
  int32_t Orientation = 0;  // links only: maps the link's subtree onto its target's
  uint8_t LineDepth = 0;
  double LeafValue = NoValue;   // discs, for the player who made Move
  double Value = NoValue;       // backed-up negamax value, same view
  TNode* FirstChild = nullptr;  // for a link: its target (null when unresolved)
  TNode* NextSibling = nullptr;
  uint32_t Visit = 0;  // marks of the value back-up, so that a linked target is done once

  // A link's target, or null for a plain node or an unresolved link.
  TNode* Target() const { return IsLink ? FirstChild : nullptr; }
  // Children of a plain node; a link has none of its own.
  TNode* Children() const { return IsLink ? nullptr : FirstChild; }
};

// The book's own board image: side to move (1 or 255), then the bordered cells (0 empty,
// 1 first colour, 255 second colour, 2 outside).
struct TBookBoard {
  uint8_t Side = 1;
  uint8_t Cells[MaxCells] = {};
};

// What MakeMove changed, so that UndoMove can restore it.
struct TBookUndo {
  int32_t Square = PassMove;
  int32_t FlipCount = 0;
  int32_t Flips[MaxFlips] = {};
};

struct TPositionMatch {
  TNode* Node = nullptr;  // null when the position is not in the book
  int Orientation = 0;
};

// Sizes of a book tree, for reports.
struct TBookStats {
  int64_t Nodes = 0;  // every node below the root, links included
  int64_t Links = 0;
  int64_t UnresolvedLinks = 0;
  int64_t Leaves = 0;  // nodes without children, links not counted
  int Depth = 0;       // plies of the longest line
};

class TBook {
 public:
  static constexpr uint8_t BookBlack = 1;
  static constexpr uint8_t BookWhite = 255;
  static constexpr uint8_t BookOutside = 2;

  // size is the board side (10 for the octagon), boardKind 8, 10 or 88. The book file lives
  // below baseFolder (the current directory when empty) in books/<name>/<name>.boo.
  TBook(std::string name, int size, int boardKind, TOthelloEngine* engine,
        std::filesystem::path baseFolder = {});
  TBook(const TBook&) = delete;
  TBook& operator=(const TBook&) = delete;

  // ---- Play ----
  // The book move for a position of the game (in the game's orientation) and its value in
  // discs; false when the book has none.
  bool GetBookMove(const PositionImage& position, int& move, double& value);
  void SetRandomness(double budget);
  void SetProgressBar(TProgressBar* bar) { ProgressBar = bar; }

  // ---- Learning ----
  void AddGame(const TGameInfo& game);
  // Adds a game line from the start position; returns false (after the message) when a move of
  // it is not legal, in which case nothing of the line was added.
  bool AddLine(std::span<const int32_t> line, bool evaluateLeaf);
  void Recompute();
  void ExpandAll();

  // ---- File ----
  std::filesystem::path FilePath() const;
  // Reads the book file when it exists. A damaged file leaves an empty book, says so through
  // ShowMessage and is kept on disk until a game has been learned.
  void Load();
  // Reads any book file; false (after the message) when it is damaged.
  bool LoadFrom(const std::filesystem::path& path);
  // Replaces the tree by the one in `bytes`; on failure the book is emptied and `problem`
  // says what is wrong with them.
  bool ReadTree(std::span<const uint8_t> bytes, std::string& problem);
  // Writes the tree through a temporary file that replaces the book file only once it is
  // complete. Throws std::runtime_error naming the file when writing fails.
  void Save();
  std::vector<uint8_t> Serialize() const;

  // ---- Tree ----
  TPositionMatch FindPosition(const TBookBoard& position);
  // s maps the game's orientation onto the node's subtree; positionAfterMove is the game's
  // position after the move.
  TNode* FindOrAddChild(TNode* node, int s, int move, const TBookBoard& positionAfterMove);
  // The preferred child, with the second best taken instead when randomness allows it.
  // excluded holds one byte per square in the game's orientation.
  TNode* SelectChild(TNode* node, int s, uint8_t* excluded);
  bool NeedsDeviation(TNode* node, TBookBoard& board);
  void ExpandNode(TNode* node, TBookBoard& board);
  TBookStats Stats() const;
  TNode* NewNode();
  // Drops every node but a fresh root.
  void Clear();

  // ---- Book board ----
  void SetStartBoard(TBookBoard& board) const;
  int TransformSquare(int code, int square) const;
  void Transform(int code, const TBookBoard& from, TBookBoard& to) const;
  int CountEmpties(const TBookBoard& board) const;
  int CountMoves(const TBookBoard& board) const;
  // CountMoves, with a forced pass counted as the one legal move.
  int CountMovesOrPass(const TBookBoard& board) const;
  bool IsLegalMove(const TBookBoard& board, int square) const;
  bool IsGameOver(const TBookBoard& board) const;
  void MakeMove(TBookBoard& board, int square, TBookUndo& undo) const;
  static void SwitchSide(TBookBoard& board) {
    board.Side = board.Side == BookBlack ? BookWhite : BookBlack;
  }
  void UndoMove(TBookBoard& board, const TBookUndo& undo) const;
  bool SamePosition(const TBookBoard& a, const TBookBoard& b) const;
  // The first colour's margin of a finished game, the empties to the winner.
  int FinalMargin(const TBookBoard& board) const;
  // A playable square of this board (not the border, not a cut octagon corner).
  bool IsPlayable(int square) const;
  TBookBoard FromImage(const PositionImage& image) const;

  // ---- State ----
  const int Size;
  const int Width;
  const int BoardKind;
  TNode* Root;
  int32_t Directions[8];
  int MinEmpties = 0;
  TOthelloEngine* Engine;
  std::string Name;
  bool UseRandomness = false;
  double RandomBudget = 0;
  double RandomSpent = 0;
  bool StopLearning = false;
  TProgressBar* ProgressBar = nullptr;

  // The random draws behind randomness: reseeded from the clock at every lookup unless a test
  // seeded it, or replaced entirely by DrawPermille (a number in 0..999 per call).
  std::mt19937 Random;
  bool ReseedFromClock = true;
  std::function<int()> DrawPermille;
  void SeedRandom(uint32_t seed) {
    Random.seed(seed);
    ReseedFromClock = false;
  }

  // The last Load found a damaged file; it stays untouched until a game has been learned.
  bool LoadedFileDamaged = false;
  bool LearnedSinceLoad = false;
  std::filesystem::path BaseFolder;
  // When set, the book file itself, wherever it lies (the engine protocol's --book).
  std::filesystem::path File;

 private:
  bool FindIn(TNode* node, TBookBoard& scratch, const TBookBoard& target, TNode*& found);
  void ResetLeaves(TNode* node);
  void Propagate(TNode* node);
  bool CreateLinks(TNode* node, TBookBoard& board);
  // A fixed-level search of the board with the given excluded squares; false when stopped.
  bool SearchBoard(const TBookBoard& board, const uint8_t* excluded, int& best, double& score);
  int Draw();
  void PreserveDamagedFile(const std::filesystem::path& path) const;

  std::deque<TNode> Nodes;  // the arena: Nodes[0] is the root
  int32_t SquareMap[4][MaxCells];
  uint8_t Playable[MaxCells];
  // Visit marks of the current Recompute: a node is under way or done.
  uint32_t UnderWay = 0, Done = 0;
  // The level the learning searches use when the engine has no evaluation object.
  TFixedSearchInfo OwnLevel;
};

}  // namespace morvane
