// What Morvane offers, written once: the board types with their evaluations, book stems and
// skin folders, the evaluations with their boards, and the playing levels with their book
// suffixes. The window's menus, the command line, the engine factory and the book names read
// these tables.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/BoardKind.h"
#include "engine/SearchInfo.h"

namespace morvane {

// The board types of the board menu; the value is the argument of the window's CreateGame
// (8 and 9 are the two 8 x 8 personalities).
enum class TMenuBoard : int { Pellin = 8, Tovrel = 9, Board10x10 = 10, Octagon = 88 };

struct TBoardEntry {
  TMenuBoard Menu;
  TBoardKind Kind;
  const char* Caption;     // the board menu's item
  const char* Component;   // the item's component name
  const char* Shortcut;
  const char* Evaluation;  // coefficient folder and evaluation set-up
  const char* BookStem;    // first part of the book name
  const char* SkinFolder;  // the board's folder inside each skin
};

inline constexpr TBoardEntry Boards[] = {
    {TMenuBoard::Pellin, TBoardKind::Board8x8, "8 x 8 (Pellin)", "N8x81", "Ctrl+F7", "Pellin",
     "Pellin_8x8", "Board8x8"},
    {TMenuBoard::Tovrel, TBoardKind::Board8x8, "8 x 8 (Tovrel)", "N8x8Tovrel1", "Ctrl+F8",
     "Tovrel", "Tovrel_8x8", "Board8x8"},
    {TMenuBoard::Board10x10, TBoardKind::Board10x10, "10 x 10", "N10x101", "Ctrl+F10",
     "Bot10x10", "Fenwa_10x10", "Board10x10"},
    {TMenuBoard::Octagon, TBoardKind::Octagon, "Octagon", "Octagon1", "Ctrl+F11", "Bot8x8Oct",
     "Fenwa_Oct", "Octagon"},
};

// The evaluations and the board each belongs to ("Bot8x8" is the plain 8 x 8 set-up that the
// trainer and the tests use; it has no menu item).
struct TEvaluationEntry {
  const char* Name;
  TBoardKind Kind;
};

inline constexpr TEvaluationEntry Evaluations[] = {
    {"Bot8x8", TBoardKind::Board8x8},     {"Pellin", TBoardKind::Board8x8},
    {"Tovrel", TBoardKind::Board8x8},     {"Bot10x10", TBoardKind::Board10x10},
    {"Bot8x8Oct", TBoardKind::Octagon},
};

struct TLevelEntry {
  const char* Caption;    // the level menu's item
  const char* Component;
  const char* Suffix;     // second part of the book name
  int Depth;
  int ExactEmpties;
  bool SeparatorAfter;    // the menu draws a line below the item
  // The name the command line takes: the suffix without its underscore.
  const char* Name() const { return Suffix + 1; }
};

// "_Srong" is the book name the level has always had; renaming it would orphan its books.
inline constexpr TLevelEntry Levels[] = {
    {"Novice (1/6)", "Novice1", "_Novice", 1, 6, false},
    {"Average (2/10)", "Avegare1", "_Average", 2, 10, false},
    {"Strong (4/14)", "Strong1", "_Srong", 4, 14, false},
    {"Expert (8/16)", "Expert1", "_Expert", 8, 16, true},
    {"12 moves + 16 empties exact", "N12moves16emptiesexact1", "_12_16", 12, 16, false},
    {"14 moves + 18 empties exact", "N14moves18emptiesexact1", "_14_18", 14, 18, false},
    {"16 moves + 18 empties exact", "N16moves18emptiesexact2", "_16_18", 16, 18, false},
    {"18 moves + 20 empties exact", "N18moves20emptiesexact1", "_18_20", 18, 20, false},
    {"20 moves + 22 empties exact", "N20moves22emptiesexact1", "_20_22", 20, 22, false},
    {"24 moves + 26 empties exact", "N24moves26emptiesexact1", "_24_26", 24, 26, true},
};

// The window's start-up board and level.
inline constexpr const TBoardEntry& StartBoard = Boards[0];
inline constexpr const TLevelEntry& StartLevel = Levels[1];

const TBoardEntry* FindBoard(TMenuBoard menu);
// By the command line's names: "8" (or "pellin"), "9" ("tovrel"), "10", "88" ("octagon").
const TBoardEntry* FindBoard(std::string_view text);
const TEvaluationEntry* FindEvaluation(std::string_view name);
// By the command line's name ("Average", "Srong", "12_16") or the caption.
const TLevelEntry* FindLevel(std::string_view name);
// "Novice, Average, ..." for messages.
std::string LevelNameList();
std::string EvaluationNameList();

// The level record of a level: its depth and exact empties, no selective steps.
TFixedSearchInfo LevelInfo(const TLevelEntry& level);
// The book name of a board at a level ("Pellin_8x8_Average").
std::string BookName(const TBoardEntry& board, const TLevelEntry& level);

}  // namespace morvane
