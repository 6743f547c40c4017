// Helpers shared by the training commands (train, solve-labels, probe-stats, match).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "Arguments.h"

namespace morvane::cli {

// --eval NAME, which must be one of the 8 x 8 set-ups.
std::string EightByEightName(const TArguments& arguments, const char* usage);

// A decimal option within [low, high].
double DoubleOption(const TArguments& arguments, const std::string& name, double fallback,
                    double low, double high);

// A progress line on standard output with the time of day, flushed at once so that a log
// written by nohup is current.
void PrintLine(const std::string& line);

template <typename... TValues>
std::string Format(const char* format, TValues... values) {
  char text[512];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// Where checkpoints go unless a command is told otherwise.
std::filesystem::path WorkFolder();

}  // namespace morvane::cli
