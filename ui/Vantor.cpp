// Morvane's entry: the application, the main window, the event loop. Morvane reads no
// arguments; its data lies below the working directory.
#include <QApplication>

#include "ui/HauptForm.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Morvane"));
  morvane::TMainForm form;
  // Every board type failed to load; the reason has been shown.
  if (!form.HasGame()) return 1;
  form.show();
  return QApplication::exec();
}
