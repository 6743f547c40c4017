// The File menu: game files in GGF (the octagon as TY[10o]) and plain transcripts, the recent
// files, and the game as GGF on the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>
#include <QSettings>

#include "engines/OthelloPatternEngine.h"
#include "game/GameInfo.h"
#include "game/GgfFile.h"
#include "ui/HauptForm.h"

namespace morvane {

namespace {

constexpr int RecentFileCount = 8;
const QString RecentFilesKey = QStringLiteral("RecentFiles");

}  // namespace

TGameFile TMainForm::LineFile() const {
  TGameFile file;
  file.Game = Line;
  file.Place = "Morvane";
  const auto name = [this](uint8_t programColour) {
    return ProgramColour == programColour ? std::string("Morvane") : std::string("Player");
  };
  file.Black = FileHeader.Black.empty() ? name(1) : FileHeader.Black;
  file.White = FileHeader.White.empty() ? name(255) : FileHeader.White;
  file.Date = FileHeader.Date.empty()
                  ? QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss").toStdString()
                  : FileHeader.Date;
  if (Line.IsFinished()) {
    const int margin = Line.Current().FinalScore();
    file.Result = (margin > 0 ? "+" : "") + std::to_string(margin) + ".000";
  }
  file.Evals = LineEvals;
  file.Evals.resize(static_cast<size_t>(Line.Plies()));
  return file;
}

void TMainForm::NewGameOnThisBoard() {
  if (CurrentBoardItem) NewGameItemClick(CurrentBoardItem);
  GameFileName.clear();
  FileHeader = TGameFile();
}

bool TMainForm::OpenGameFile(const QString& path) {
  QFile file(path);
  const QString name = QFileInfo(path).fileName();
  std::string problem;
  if (QFileInfo(path).isDir()) {
    problem = "it is a folder";
  } else if (!file.open(QIODevice::ReadOnly)) {
    problem = file.errorString().toStdString();
  } else if (file.size() > 16 * 1024 * 1024) {
    problem = "it is larger than any game file";
  } else {
    const QByteArray bytes = file.readAll();
    if (OpenText(std::string(bytes.constData(), static_cast<size_t>(bytes.size())), problem)) {
      GameFileName = path;
      AddRecentFile(path);
      return true;
    }
  }
  Messages.ShowMessage(QStringLiteral("Morvane"),
                       QStringLiteral("The game file %1 cannot be opened: %2")
                           .arg(name, QString::fromStdString(problem)));
  return false;
}

bool TMainForm::OpenGgfText(const std::string& text, std::string& problem) {
  const auto files = ReadGgf(text, &problem);
  if (!files) return false;
  if (files->empty()) {
    problem = "it holds no game";
    return false;
  }
  // A file of several games opens its first.
  const TGameFile& first = files->front();
  if (!SwitchToKind(first.Game.Kind())) {
    problem = "its board cannot be loaded";
    return false;
  }
  StartGameFrom(first.Game);
  LineLearned = true;  // a game read in is studied, not learned
  FileHeader = first;
  FileHeader.Game = TGame();
  LineEvals = first.Evals;
  RedrawBoard(LastMoveSquare());
  return true;
}

bool TMainForm::SaveGameFile(const QString& path) {
  const std::string text = WriteGgf(LineFile()) + "\n";
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(text.data(), static_cast<qint64>(text.size())) !=
          static_cast<qint64>(text.size()) ||
      !file.commit()) {
    Messages.ShowMessage(QStringLiteral("Morvane"),
                         QStringLiteral("The game cannot be saved as %1: %2")
                             .arg(path, file.errorString()));
    return false;
  }
  GameFileName = path;
  AddRecentFile(path);
  return true;
}

void TMainForm::OpenCommand() {
  const QString path = ChooseFile(false, GameFileName);
  if (!path.isEmpty()) OpenGameFile(path);
}

void TMainForm::SaveCommand() {
  if (GameFileName.isEmpty() || !GameFileName.endsWith(QStringLiteral(".ggf"), Qt::CaseInsensitive))
    SaveAsCommand();
  else
    SaveGameFile(GameFileName);
}

void TMainForm::SaveAsCommand() {
  QString suggested = GameFileName;
  if (suggested.isEmpty()) suggested = QStringLiteral("game.ggf");
  const QString path = ChooseFile(true, suggested);
  if (!path.isEmpty()) SaveGameFile(path);
}

void TMainForm::CopyGameAsGgf() {
  QApplication::clipboard()->setText(QString::fromStdString(WriteGgf(LineFile())));
}

QStringList TMainForm::RecentFiles() const {
  return Settings ? Settings->value(RecentFilesKey).toStringList() : QStringList();
}

void TMainForm::AddRecentFile(const QString& path) {
  if (!Settings) return;
  const QString full = QFileInfo(path).absoluteFilePath();
  QStringList files = RecentFiles();
  files.removeAll(full);
  files.prepend(full);
  while (files.size() > RecentFileCount) files.removeLast();
  Settings->setValue(RecentFilesKey, files);
  FillRecentMenu();
}

void TMainForm::FillRecentMenu() {
  RecentMenu->clear();
  const QStringList files = RecentFiles();
  for (int index = 0; index < files.size(); ++index) {
    const QString path = files[index];
    QAction* item = RecentMenu->addAction(
        QStringLiteral("&%1 %2").arg(index + 1).arg(QFileInfo(path).fileName()));
    item->setObjectName(QStringLiteral("Recentfile%1").arg(index + 1));
    item->setToolTip(path);
    Connect(item, [this, path] { OpenGameFile(path); });
  }
  RecentMenu->setEnabled(!files.isEmpty());
}

QString TMainForm::DefaultChooseFile(bool save, const QString& suggested) {
  const QString filter = QStringLiteral("Game files (*.ggf *.txt);;All files (*)");
  return save ? QFileDialog::getSaveFileName(this, QStringLiteral("Save game"), suggested,
                                             QStringLiteral("GGF games (*.ggf)"))
              : QFileDialog::getOpenFileName(this, QStringLiteral("Open game"), suggested, filter);
}

}  // namespace morvane
