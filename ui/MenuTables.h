// The menu items that only differ by the value they set: board types, levels, book randomness,
// table sizes, search accuracy and skins. Component names become the actions' object names.
#pragma once

#include "engines/EngineFactory.h"

namespace morvane {

struct TBoardChoice {
  const char* Component;
  const char* Caption;
  const char* Shortcut;
  int Kind;  // the argument of CreateGame: 8 Pellin, 9 Tovrel, 10, 88 octagon
  TMenuBoard Menu;
  int ViewKind;  // the board kind of the window, the view and the book: 8, 10 or 88
  int Side;
  const char* BaseName;
};

inline constexpr TBoardChoice BoardChoices[] = {
    {"N8x81", "8 x 8 (Pellin)", "Ctrl+F7", 8, TMenuBoard::Pellin, 8, 8, "Pellin_8x8"},
    {"N8x8Tovrel1", "8 x 8 (Tovrel)", "Ctrl+F8", 9, TMenuBoard::Tovrel, 8, 8, "Tovrel_8x8"},
    {"N10x101", "10 x 10", "Ctrl+F10", 10, TMenuBoard::Board10x10, 10, 10, "Fenwa_10x10"},
    {"Octagon1", "Octagon", "Ctrl+F11", 88, TMenuBoard::Octagon, 88, 10, "Fenwa_Oct"},
};

inline const TBoardChoice* BoardChoiceOf(int kind) {
  for (const TBoardChoice& choice : BoardChoices)
    if (choice.Kind == kind) return &choice;
  return nullptr;
}

struct TLevelChoice {
  const char* Component;
  const char* Caption;
  const char* Suffix;
  int Depth;
  int ExactEmpties;
  bool SeparatorAfter;
};

// "_Srong" is the book name the level has always had; renaming it would orphan its books.
inline constexpr TLevelChoice LevelChoices[] = {
    {"Novice1", "Novice (1/6)", "_Novice", 1, 6, false},
    {"Avegare1", "Average (2/10)", "_Average", 2, 10, false},
    {"Strong1", "Strong (4/14)", "_Srong", 4, 14, false},
    {"Expert1", "Expert (8/16)", "_Expert", 8, 16, true},
    {"N12moves16emptiesexact1", "12 moves + 16 empties exact", "_12_16", 12, 16, false},
    {"N14moves18emptiesexact1", "14 moves + 18 empties exact", "_14_18", 14, 18, false},
    {"N16moves18emptiesexact2", "16 moves + 18 empties exact", "_16_18", 16, 18, false},
    {"N18moves20emptiesexact1", "18 moves + 20 empties exact", "_18_20", 18, 20, false},
    {"N20moves22emptiesexact1", "20 moves + 22 empties exact", "_20_22", 20, 22, false},
    {"N24moves26emptiesexact1", "24 moves + 26 empties exact", "_24_26", 24, 26, true},
};

struct TRandomnessChoice {
  const char* Component;
  const char* Caption;
  double Budget;  // negative: switch randomness off and keep the budget
};

inline constexpr TRandomnessChoice RandomnessChoices[] = {
    {"Norandomness1", "No randomness", -1.0},        {"Smallrandomness1", "Small randomness", 1.0},
    {"Mediumrandomness1", "Medium randomness", 2.0}, {"Largerandomness1", "Large randomness", 4.0},
    {"Hugerandomness1", "Huge randomness", 4.0},
};

struct THashChoice {
  const char* Component;
  const char* Caption;
  double Exponent;
};

inline constexpr THashChoice HashChoices[] = {
    {"N25Mb1", "2 Mb", 17.0},    {"N5Mb1", "4 Mb", 18.0},     {"N10Mb1", "9 Mb", 19.0},
    {"N20Mb1", "18 Mb", 20.0},   {"N40Mb1", "35 Mb", 21.0},   {"N80Mb1", "70 Mb", 22.0},
    {"N160Mb1", "140 Mb", 23.0}, {"N1971", "197 Mb", 23.5},   {"N279Mb1", "279 Mb", 24.0},
    {"N394Mb1", "394 Mb", 24.5}, {"N557Mb1", "557 Mb", 25.0}, {"N788Mb1", "788 Mb", 25.5},
    {"N970Mb1", "970 Mb", 25.8},
};

struct TAccuracyChoice {
  const char* Component;
  const char* Caption;
  double MpcThreshold;
};

inline constexpr TAccuracyChoice AccuracyChoices[] = {
    {"Veryfast1", "50% (very fast but not accurate)", 0.6742},
    {"N601", "60%", 0.841432},
    {"N701", "70% (Standard)", 1.0},
    {"N801", "80%", 1.281706},
    {"N901", "90%", 1.6452},
    {"N95Accuratebutveryslow1", "95%", 1.96038},
    {"N991", "99% (very accurate but slow)", 2.576219},
};

struct TSkinChoice {
  const char* Component;
  const char* Caption;
  const char* Name;
};

inline constexpr TSkinChoice SkinChoices[] = {
    {"Standard1", "Standard", "STANDARD"},
    {"Wood1", "Wood", "WOOD"},
    {"Marple1", "Marple", "MARPLE"},
    {"Water1", "Water", "WATER"},
};

}  // namespace morvane
