// The evaluation chart: one point per position of the game (ply 0 .. n) at black's evaluation
// in discs, a zero line, the shown ply marked. A click near a point chooses that ply. It shows
// what the window gives it and reports the user's choice as a signal.
#pragma once

#include <QWidget>
#include <optional>
#include <vector>

namespace morvane {

class TEvaluationChart final : public QWidget {
  Q_OBJECT
 public:
  explicit TEvaluationChart(QWidget* parent = nullptr);

  // One value per position, black's view in discs; a missing value leaves a gap in the line.
  void SetValues(std::vector<std::optional<double>> values);
  // The ply whose position the board shows; -1 for none.
  void SetShownPly(int ply);

  int Points() const { return static_cast<int>(Values.size()); }
  int ShownPly() const { return Shown; }
  const std::vector<std::optional<double>>& Evaluations() const { return Values; }
  // Where the ply's point is drawn; a ply without a value sits on the zero line.
  QPointF PointOf(int ply) const;
  // The ply whose point is nearest across; -1 outside the plot or without points.
  int PlyAt(QPointF position) const;
  // The evaluation (discs for black) at the top of the plot; the bottom is its negation.
  double Range() const { return Top; }

  QSize sizeHint() const override { return {360, 140}; }
  QSize minimumSizeHint() const override { return {120, 60}; }

  static constexpr QRgb LineColour = 0x2F5C8A;
  static constexpr QRgb PointColour = 0x1B3A5C;
  static constexpr QRgb ShownColour = 0xC0392B;
  static constexpr QRgb ZeroColour = 0x9A9A9A;
  static constexpr QRgb BackgroundColour = 0xFBFBF8;

 signals:
  // The user asks for the position after `ply` plies (0: the start).
  void PlyChosen(int ply);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QRectF PlotArea() const;
  double YOf(double value) const;

  std::vector<std::optional<double>> Values;
  int Shown = -1;
  double Top = 8;
};

}  // namespace morvane
