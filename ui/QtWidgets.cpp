#include "ui/QtWidgets.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace morvane {

TQtStatusBar::TQtStatusBar(const std::vector<int>& panelWidths, QWidget* parent)
    : QStatusBar(parent) {
  setSizeGripEnabled(false);
  for (int width : panelWidths) {
    auto* label = new QLabel(this);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (width > 0) {
      label->setFixedWidth(width);
      addWidget(label);
    } else {
      addWidget(label, 1);
    }
    Labels.push_back(label);
  }
}

void TQtStatusBar::SetPanelText(int panel, const std::string& text) {
  if (panel < 0 || panel >= PanelCount()) return;
  Labels[panel]->setText(QString::fromStdString(text));
}

QString TQtStatusBar::PanelText(int panel) const {
  if (panel < 0 || panel >= PanelCount()) return {};
  return Labels[panel]->text();
}

int TQtStatusBar::PanelWidth(int panel) const {
  if (panel < 0 || panel >= PanelCount()) return 0;
  return Labels[panel]->minimumWidth() == Labels[panel]->maximumWidth() ? Labels[panel]->width()
                                                                        : 0;
}

TQtProgressBar::TQtProgressBar(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(true);
  setAlignment(Qt::AlignCenter);
  setFormat(QString());
}

void TQtProgressBar::SetCaption(const std::string& caption) {
  Text = caption;
  // '%' starts a placeholder in a progress bar's format.
  setFormat(QString::fromStdString(caption).replace('%', "%%"));
}

void TQtEventPump::ProcessPendingEvents() { QApplication::processEvents(); }

void TQtMessageSink::ShowMessage(const std::string& text) {
  ShowMessage(QStringLiteral("Morvane"), QString::fromStdString(text));
}

void TQtMessageSink::ShowMessage(const QString& caption, const QString& text) {
  if (Show) {
    Show(caption, text);
    return;
  }
  QMessageBox::information(Parent, caption, text);
}

}  // namespace morvane
