// The evaluation chart as the user sees and clicks it: one point painted per known value and a
// gap for a missing one, higher values higher up, the shown ply marked, and a click near a point
// choosing its ply.
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <optional>
#include <vector>

#include "ui/EvaluationChart.h"
#include "ui/UiTestRegistry.h"

namespace morvane {
namespace {

using TValues = std::vector<std::optional<double>>;

// A game's curve: 61 positions, black ahead then behind, two plies not analysed.
TValues GameCurve() {
  TValues values;
  for (int ply = 0; ply <= 60; ++ply) values.push_back(12.0 * std::sin(ply / 9.0) - ply / 10.0);
  values[20].reset();
  values[21].reset();
  return values;
}

QRgb PixelAt(const QImage& image, QPointF point) {
  return image.pixel(point.toPoint()) & 0xFFFFFFu;
}

class EvaluationChartTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Chart = std::make_unique<TEvaluationChart>();
    Chart->resize(420, 160);
    Chart->show();
    QVERIFY(QTest::qWaitForWindowExposed(Chart.get()));
  }
  void cleanup() { Chart.reset(); }

  void PaintsOnePointPerKnownValue() {
    const TValues values = GameCurve();
    Chart->SetValues(values);
    QCOMPARE(Chart->Points(), 61);
    const QImage image = Chart->grab().toImage();
    double lastX = -1;
    for (int ply = 0; ply < Chart->Points(); ++ply) {
      const QPointF point = Chart->PointOf(ply);
      QVERIFY2(point.x() > lastX, qPrintable(QStringLiteral("ply %1").arg(ply)));
      lastX = point.x();
      const bool known = values[static_cast<size_t>(ply)].has_value();
      QCOMPARE(PixelAt(image, point) == TEvaluationChart::PointColour, known);
    }
    // Black ahead is drawn above the zero line, behind below it.
    const double zero = Chart->PointOf(20).y();
    QVERIFY(Chart->PointOf(12).y() < zero);
    QVERIFY(Chart->PointOf(40).y() > zero);
    QCOMPARE(PixelAt(image, QPointF(Chart->PointOf(20).x(), zero)), TEvaluationChart::ZeroColour);
    // The scale holds the largest value.
    QVERIFY(Chart->Range() >= 12.0);
    QVERIFY(Chart->PointOf(12).y() >= 0);
  }

  void MarksTheShownPly() {
    Chart->SetValues(GameCurve());
    Chart->SetShownPly(30);
    QCOMPARE(Chart->ShownPly(), 30);
    const QImage image = Chart->grab().toImage();
    // The dashed marker runs through the ply's column; count the marker's pixels there.
    const int x = Chart->PointOf(30).toPoint().x();
    int marked = 0;
    for (int y = 0; y < image.height(); ++y)
      if ((image.pixel(x, y) & 0xFFFFFFu) == TEvaluationChart::ShownColour) ++marked;
    QVERIFY2(marked > image.height() / 4, qPrintable(QString::number(marked)));
    const int other = Chart->PointOf(45).toPoint().x();
    for (int y = 0; y < image.height(); ++y)
      QVERIFY((image.pixel(other, y) & 0xFFFFFFu) != TEvaluationChart::ShownColour);
    // A ply past the curve shows no mark.
    Chart->SetShownPly(61);
    QCOMPARE(Chart->ShownPly(), -1);
  }

  void AClickNearAPointChoosesItsPly_data() {
    QTest::addColumn<int>("ply");
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::newRow("start") << 0 << 0.0 << 0.0;
    QTest::newRow("on a point") << 17 << 0.0 << 0.0;
    QTest::newRow("just right of it") << 33 << 2.0 << 3.0;
    QTest::newRow("just left, below") << 34 << -2.0 << 10.0;
    QTest::newRow("a gap's ply") << 21 << 0.0 << -4.0;
    QTest::newRow("the end") << 60 << 0.0 << 0.0;
  }
  void AClickNearAPointChoosesItsPly() {
    QFETCH(int, ply);
    QFETCH(double, dx);
    QFETCH(double, dy);
    Chart->SetValues(GameCurve());
    QSignalSpy chosen(Chart.get(), &TEvaluationChart::PlyChosen);
    const QPoint at = (Chart->PointOf(ply) + QPointF(dx, dy)).toPoint();
    QTest::mouseClick(Chart.get(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), ply);
  }

  void ClicksWithoutAPointChooseNothing() {
    QSignalSpy chosen(Chart.get(), &TEvaluationChart::PlyChosen);
    QTest::mouseClick(Chart.get(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 80));
    QCOMPARE(chosen.count(), 0);
    Chart->SetValues(GameCurve());
    // The scale's labels on the left, and the right button.
    QTest::mouseClick(Chart.get(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 80));
    QTest::mouseClick(Chart.get(), Qt::RightButton, Qt::NoModifier, Chart->PointOf(5).toPoint());
    QCOMPARE(chosen.count(), 0);
  }

 private:
  std::unique_ptr<TEvaluationChart> Chart;
};

}  // namespace

MORVANE_UI_TEST(EvaluationChartTest);

}  // namespace morvane

#include "EvaluationChartTest.moc"
