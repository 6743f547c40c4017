// The running figures of a search, written into the window's two status bars.
#include <cmath>
#include <cstdio>

#include "engine/OthelloEngine.h"
#include "engine/Widgets.h"

namespace morvane {

std::string TOthelloEngine::FormatScore(double discs) {
  char text[48];
  std::snprintf(text, sizeof(text), "%.3f", discs);
  // Never show a negative zero.
  if (std::string(text) == "-0.000") return "0.000";
  return text;
}

void TOthelloEngine::ShowScore(double discs) { ShowScoreText(FormatScore(discs)); }

void TOthelloEngine::ShowScoreText(const std::string& text) {
  if (ScoreBar) ScoreBar->SetPanelText(0, "Score : " + text);
}

void TOthelloEngine::ReportBestLine(int depth) {
  if (ScoreBar) ScoreBar->SetPanelText(1, "Bestline : " + BestLineText(ShowBestLine ? depth : 1));
}

void TOthelloEngine::ShowDepth(int depth) {
  if (StatsBar) StatsBar->SetPanelText(0, "Depth : " + std::to_string(depth));
}

void TOthelloEngine::ShowMoves(int index, int count, int square) {
  if (StatsBar)
    StatsBar->SetPanelText(1, "Moves : [" + std::to_string(index) + "/" + std::to_string(count) +
                                  "] " + MoveToText(square));
}

void TOthelloEngine::ShowNodes(int64_t count) {
  if (StatsBar) StatsBar->SetPanelText(2, "Nodes : " + std::to_string(count));
}

void TOthelloEngine::ShowSpeed(int64_t nodes, int64_t milliseconds) {
  if (!StatsBar || milliseconds == 0) return;
  const auto rate = std::llround(static_cast<double>(nodes) / static_cast<double>(milliseconds));
  StatsBar->SetPanelText(3, std::to_string(rate) + " kn/s");
}

std::string TOthelloEngine::BestLineText(int count) {
  if (count <= 0) return "";
  const THashProbe entry = HashTable->Probe(HashLo, HashHi);
  if (!entry) return " ";
  const int best = entry->BestMove;
  if (best == PassMove) {
    MakePass();
    std::string text = "pa " + BestLineText(count - 1);
    MakePass();
    return text;
  }
  TMoveList list;
  GenerateMovesHashed(list);
  const MoveRecord* move = list[0].Next;
  while (move && move->Square != best) move = move->Next;
  if (!move) return "ERROR";
  std::string text = MoveToText(best) + " ";
  MakeMove(*move);
  SwapSides();
  text += BestLineText(count - 1);
  SwapSides();
  UnmakeMove(*move);
  return text;
}

}  // namespace morvane
