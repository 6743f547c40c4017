// Runs every registered Qt Test class in one process, headless unless a platform is chosen.
#include <QApplication>
#include <QtTest>

#include "ui/UiTestRegistry.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int failures = 0;
  for (const auto& entry : morvane::UiTestRegistry()) {
    std::unique_ptr<QObject> test(entry.Create());
    failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
