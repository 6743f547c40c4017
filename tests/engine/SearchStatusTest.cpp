#include <gtest/gtest.h>

#include "engines/DiscCountEngine.h"
#include "engine/Widgets.h"

namespace morvane {
namespace {

class SearchStatus : public ::testing::Test {
 protected:
  SearchStatus() : engine(10, TBoardKind::Board8x8) {
    engine.SetupStartPosition();
    engine.SetStatusBars(&scoreBar, &statsBar);
  }
  void StoreBest(int move) {
    engine.HashTable->Store(engine.HashLo, engine.HashHi, 5, -Infinity, Infinity, 0, move,
                            Infinity, false);
  }
  TDiscCountEngine engine;
  TRecordingStatusBar scoreBar{2}, statsBar{4};
};

TEST_F(SearchStatus, PanelTexts) {
  engine.ShowScore(-3.5);
  EXPECT_EQ(scoreBar.Text(0), "Score : -3.500");
  engine.ShowScore(12.7);
  EXPECT_EQ(scoreBar.Text(0), "Score : 12.700");
  engine.ShowDepth(7);
  EXPECT_EQ(statsBar.Text(0), "Depth : 7");
  engine.ShowMoves(3, 12, 56);
  EXPECT_EQ(statsBar.Text(1), "Moves : [3/12] f5");
  engine.ShowNodes(12345678901LL);
  EXPECT_EQ(statsBar.Text(2), "Nodes : 12345678901");
  engine.ShowSpeed(2'500'000, 1000);
  EXPECT_EQ(statsBar.Text(3), "2500 kn/s");
}

TEST_F(SearchStatus, SpeedOverZeroMillisecondsWritesNothing) {
  engine.ShowSpeed(1000, 0);
  EXPECT_TRUE(statsBar.History.empty());
}

TEST_F(SearchStatus, AbsentBarsAreSkipped) {
  engine.SetStatusBars(nullptr, nullptr);
  engine.ShowScore(1);
  engine.ReportBestLine(3);
  engine.ShowDepth(1);
  engine.ShowMoves(1, 1, 56);
  engine.ShowNodes(1);
  engine.ShowSpeed(1, 1);
  EXPECT_TRUE(scoreBar.History.empty());
  EXPECT_TRUE(statsBar.History.empty());
}

TEST_F(SearchStatus, EmptyTableGivesABlankLine) {
  engine.ReportBestLine(4);
  EXPECT_EQ(scoreBar.Text(1), "Bestline : " + std::string(" "));
  EXPECT_EQ(engine.BestLineText(4), " ");
  EXPECT_EQ(engine.BestLineText(0), "");
}

TEST_F(SearchStatus, BestLineFollowsTheTableThroughAPass) {
  const uint32_t startLo = engine.HashLo, startHi = engine.HashHi;
  StoreBest(56);  // f5
  TMoveList list;
  engine.GenerateMovesHashed(list);
  MoveRecord* f5 = list[0].Next;
  while (f5->Square != 56) f5 = f5->Next;
  engine.MakeMove(*f5);
  engine.SwapSides();
  StoreBest(PassMove);
  engine.MakePass();
  StoreBest(34);  // d3, legal for black after f5 and a pass
  engine.MakePass();
  engine.SwapSides();
  engine.UnmakeMove(*f5);
  ASSERT_EQ(engine.HashLo, startLo);

  EXPECT_EQ(engine.BestLineText(3), "f5 pa d3 ");
  EXPECT_EQ(engine.BestLineText(2), "f5 pa ");
  EXPECT_EQ(engine.HashLo, startLo);
  EXPECT_EQ(engine.HashHi, startHi);
  EXPECT_EQ(engine.EmptyCount, 60);

  engine.ReportBestLine(3);
  EXPECT_EQ(scoreBar.Text(1), "Bestline : f5 pa d3 ");
  engine.ShowBestLine = false;
  engine.ReportBestLine(3);
  EXPECT_EQ(scoreBar.Text(1), "Bestline : f5 ");
}

TEST_F(SearchStatus, AnIllegalTableMoveEndsTheLineWithError) {
  StoreBest(11);  // a1 is not legal at the start
  EXPECT_EQ(engine.BestLineText(3), "ERROR");
}

}  // namespace
}  // namespace morvane
