// What the book commands of morvane-cli share: message boxes become lines on standard error,
// and moves are written as the board shows them.
#pragma once

#include <cstdio>
#include <string>

#include "engine/OthelloEngine.h"
#include "engine/Widgets.h"

namespace morvane::cli {

class TStderrMessageSink final : public TMessageSink {
 public:
  void ShowMessage(const std::string& text) override {
    std::fprintf(stderr, "morvane-cli: %s\n", text.c_str());
    ++Shown;
  }
  // Every message is a problem: learning a game shows one only when the book was not saved.
  int Shown = 0;
};

// "f5" for a square of a board with `size` squares a side, "pass" for the pass.
inline std::string BookMoveText(int square, int size) {
  if (square == PassMove) return "pass";
  const int width = size + 2;
  return static_cast<char>('a' + square % width - 1) + std::to_string(square / width);
}

}  // namespace morvane::cli
