// The window's own menu items that only differ by the value they set: book randomness, table
// sizes, search accuracy and skins (the board types and levels are Morvane's catalogue).
// Component names become the actions' object names.
#pragma once

#include "engine/Catalogue.h"

namespace morvane {

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
