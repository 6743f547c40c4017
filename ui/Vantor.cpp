// Morvane's entry: the application, the main window, the event loop. Its data lies below the
// working directory; a game file named on the command line is opened at start.
#include <QApplication>
#include <QStringList>

#include "ui/HauptForm.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Morvane"));
  morvane::TMainForm form;
  // Every board type failed to load; the reason has been shown.
  if (!form.HasGame()) return 1;
  form.show();
  const QStringList arguments = QApplication::arguments();
  // A file that cannot be read is reported and the window starts with a new game.
  if (arguments.size() > 1) form.OpenGameFile(arguments.at(1));
  return QApplication::exec();
}
