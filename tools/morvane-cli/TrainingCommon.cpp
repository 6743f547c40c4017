#include "TrainingCommon.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>

#include "engine/Catalogue.h"
#include "evaluation/EvaluationSetups.h"

namespace morvane::cli {

std::string EightByEightName(const TArguments& arguments, const char* usage) {
  const auto name = arguments.Option("eval");
  if (!name) throw TUsageError(usage);
  if (!FindEvaluation(*name))
    throw TUsageError("unknown evaluation \"" + *name + "\"; known are " + EvaluationNameList());
  if (EvaluationBoardSide(*name) != 8)
    throw TUsageError("the trainer works on the 8 x 8 set-ups only, not " + *name);
  return *name;
}

double DoubleOption(const TArguments& arguments, const std::string& name, double fallback,
                    double low, double high) {
  const auto text = arguments.Option(name);
  if (!text) return fallback;
  double value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size() || !std::isfinite(value))
    throw TUsageError("--" + name + " must be a number, not \"" + *text + "\"");
  if (value < low || value > high)
    throw TUsageError("--" + name + " must be between " + Format("%g", low) + " and " +
                      Format("%g", high) + ", not " + *text);
  return value;
}

void PrintLine(const std::string& line) {
  const std::time_t now = std::time(nullptr);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::localtime(&now));
  std::printf("[%s] %s\n", stamp, line.c_str());
  std::fflush(stdout);
}

std::filesystem::path WorkFolder() {
  return std::filesystem::temp_directory_path() / "morvane-training";
}

}  // namespace morvane::cli
