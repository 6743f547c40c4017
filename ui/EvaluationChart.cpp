#include "ui/EvaluationChart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace morvane {

namespace {

// Room for the scale's labels on the left, and for the points' discs at the other edges.
constexpr double LeftMargin = 30;
constexpr double Margin = 6;
constexpr double PointRadius = 2.5;
// The scale grows in steps of this many discs, so that it does not jump with every value.
constexpr double RangeStep = 8;

}  // namespace

TEvaluationChart::TEvaluationChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("EvaluationChart"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setToolTip(tr("Evaluation for black in discs; click a point to show that position"));
}

void TEvaluationChart::SetValues(std::vector<std::optional<double>> values) {
  Values = std::move(values);
  double largest = 0;
  for (const auto& value : Values)
    if (value) largest = std::max(largest, std::abs(*value));
  Top = std::max(RangeStep, std::ceil(largest / RangeStep) * RangeStep);
  if (Shown >= Points()) Shown = -1;
  update();
}

void TEvaluationChart::SetShownPly(int ply) {
  Shown = ply >= 0 && ply < Points() ? ply : -1;
  update();
}

QRectF TEvaluationChart::PlotArea() const {
  return QRectF(LeftMargin, Margin, std::max(1.0, width() - LeftMargin - Margin),
                std::max(1.0, height() - 2 * Margin));
}

double TEvaluationChart::YOf(double value) const {
  const QRectF area = PlotArea();
  const double clamped = std::clamp(value, -Top, Top);
  return area.center().y() - clamped / Top * area.height() / 2;
}

QPointF TEvaluationChart::PointOf(int ply) const {
  const QRectF area = PlotArea();
  const double step = Points() > 1 ? area.width() / (Points() - 1) : 0;
  const auto& value = ply >= 0 && ply < Points() ? Values[static_cast<size_t>(ply)] : std::nullopt;
  return {area.left() + ply * step, YOf(value.value_or(0))};
}

int TEvaluationChart::PlyAt(QPointF position) const {
  if (Points() == 0) return -1;
  const QRectF area = PlotArea().adjusted(-Margin, -Margin, Margin, Margin);
  if (!area.contains(position)) return -1;
  if (Points() == 1) return 0;
  const double step = PlotArea().width() / (Points() - 1);
  const int ply = static_cast<int>(std::lround((position.x() - PlotArea().left()) / step));
  return std::clamp(ply, 0, Points() - 1);
}

void TEvaluationChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(BackgroundColour));
  const QRectF area = PlotArea();

  // The scale: the zero line, and the range at the top and bottom edges.
  painter.setPen(QPen(QColor(ZeroColour), 1));
  painter.drawLine(QPointF(area.left(), YOf(0)), QPointF(area.right(), YOf(0)));
  painter.setPen(QColor(0x555555));
  QFont font = painter.font();
  font.setPointSizeF(7.5);
  painter.setFont(font);
  // Each label centred on its height, kept inside the widget.
  const auto label = [&](double y, const QString& text) {
    const double top = std::clamp(y - 8, 0.0, std::max(0.0, height() - 16.0));
    painter.drawText(QRectF(0, top, LeftMargin - 4, 16), Qt::AlignRight | Qt::AlignVCenter, text);
  };
  label(area.top(), QStringLiteral("+%1").arg(Top));
  label(YOf(0), QStringLiteral("0"));
  label(area.bottom(), QStringLiteral("-%1").arg(Top));

  // The shown ply, under the line so that its point stays visible.
  if (Shown >= 0) {
    painter.setPen(QPen(QColor(ShownColour), 1, Qt::DashLine));
    const double x = PointOf(Shown).x();
    painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
  }

  painter.setRenderHint(QPainter::Antialiasing);
  // The line runs through consecutive known values; a missing value breaks it.
  QPainterPath path;
  bool drawing = false;
  for (int ply = 0; ply < Points(); ++ply) {
    if (!Values[static_cast<size_t>(ply)]) {
      drawing = false;
      continue;
    }
    if (drawing)
      path.lineTo(PointOf(ply));
    else
      path.moveTo(PointOf(ply));
    drawing = true;
  }
  painter.setPen(QPen(QColor(LineColour), 1.5));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(path);

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(PointColour));
  for (int ply = 0; ply < Points(); ++ply)
    if (Values[static_cast<size_t>(ply)])
      painter.drawEllipse(PointOf(ply), PointRadius, PointRadius);
  if (Shown >= 0) {
    painter.setPen(QPen(QColor(ShownColour), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(PointOf(Shown), PointRadius + 2.5, PointRadius + 2.5);
  }
}

void TEvaluationChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const int ply = PlyAt(event->position());
  if (ply >= 0) emit PlyChosen(ply);
}

}  // namespace morvane
