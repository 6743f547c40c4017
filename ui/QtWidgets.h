// The Qt side of the widget operations the engine, the evaluation loader and the book touch
// while they work: status bar panels, the captioned progress bar, the event pump and the
// modal message box.
#pragma once

#include <QProgressBar>
#include <QStatusBar>
#include <QString>
#include <functional>
#include <vector>

#include "engine/Widgets.h"

class QLabel;

namespace morvane {

// A status bar of fixed-width text panels; a width of 0 lets the panel take the rest.
class TQtStatusBar final : public QStatusBar, public TStatusBar {
 public:
  TQtStatusBar(const std::vector<int>& panelWidths, QWidget* parent = nullptr);
  void SetPanelText(int panel, const std::string& text) override;
  QString PanelText(int panel) const;
  int PanelCount() const { return static_cast<int>(Labels.size()); }
  int PanelWidth(int panel) const;

 private:
  std::vector<QLabel*> Labels;
};

// A progress bar that shows its caption inside the bar.
class TQtProgressBar final : public QProgressBar, public TProgressBar {
 public:
  explicit TQtProgressBar(QWidget* parent = nullptr);
  void SetEnabled(bool enabled) override { setEnabled(enabled); }
  bool Enabled() const override { return isEnabled(); }
  // Visibility is the bar's own flag, independent of whether the window is shown yet.
  void SetVisible(bool visible) override { setVisible(visible); }
  bool Visible() const override { return !isHidden(); }
  void SetPosition(int position) override { setValue(position); }
  int Position() const override { return value(); }
  void SetMax(int max) override { setMaximum(max); }
  int Max() const override { return maximum(); }
  void SetCaption(const std::string& caption) override;
  std::string Caption() const override { return Text; }

 private:
  std::string Text;
};

// Runs queued timer ticks, clicks and repaints from inside long work.
class TQtEventPump final : public TEventPump {
 public:
  void ProcessPendingEvents() override;
};

// Modal information boxes with one OK button. Tests replace the box by a function so that
// nothing blocks.
class TQtMessageSink final : public TMessageSink {
 public:
  using TShowFunction = std::function<void(const QString& caption, const QString& text)>;
  explicit TQtMessageSink(QWidget* parent = nullptr) : Parent(parent) {}
  void ShowMessage(const std::string& text) override;
  void ShowMessage(const QString& caption, const QString& text);
  void SetShowFunction(TShowFunction function) { Show = std::move(function); }

 private:
  QWidget* Parent;
  TShowFunction Show;
};

}  // namespace morvane
