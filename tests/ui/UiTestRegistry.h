// Each UI test file defines a QObject test class and registers it with
// MORVANE_UI_TEST(ClassName); one runner executes them all.
#pragma once

#include <QObject>
#include <functional>
#include <vector>

namespace morvane {

struct TUiTestEntry {
  const char* Name;
  std::function<QObject*()> Create;
};

inline std::vector<TUiTestEntry>& UiTestRegistry() {
  static std::vector<TUiTestEntry> entries;
  return entries;
}

struct TUiTestRegistrar {
  TUiTestRegistrar(const char* name, std::function<QObject*()> create) {
    UiTestRegistry().push_back({name, std::move(create)});
  }
};

}  // namespace morvane

#define MORVANE_UI_TEST(Class) \
  static ::morvane::TUiTestRegistrar Class##Registrar(#Class, [] { return new Class; })
