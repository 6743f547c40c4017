#include "Arguments.h"

#include <charconv>

namespace morvane::cli {

TArguments::TArguments(int argc, char** argv, int first, const std::set<std::string>& flags) {
  for (int i = first; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.rfind("--", 0) == 0 && word.size() > 2) {
      const std::string name = word.substr(2);
      if (flags.count(name)) {
        Flags.insert(name);
        continue;
      }
      if (i + 1 >= argc) throw TUsageError("option --" + name + " needs a value");
      Options[name] = argv[++i];
    } else {
      Words.push_back(word);
    }
  }
}

std::optional<std::string> TArguments::Option(const std::string& name) const {
  const auto found = Options.find(name);
  if (found == Options.end()) return std::nullopt;
  return found->second;
}

std::string TArguments::OptionOr(const std::string& name, const std::string& fallback) const {
  return Option(name).value_or(fallback);
}

long long TArguments::IntOption(const std::string& name, long long fallback, long long low,
                                long long high) const {
  const auto value = Option(name);
  if (!value) return fallback;
  return ParseInteger(*value, "--" + name, low, high);
}

void TArguments::Allow(const std::set<std::string>& names) const {
  for (const auto& [name, value] : Options)
    if (!names.count(name)) throw TUsageError("unknown option --" + name);
  for (const auto& name : Flags)
    if (!names.count(name)) throw TUsageError("unknown option --" + name);
}

long long ParseInteger(const std::string& text, const std::string& what, long long low,
                       long long high) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    throw TUsageError(what + " must be a whole number, not \"" + text + "\"");
  if (value < low || value > high)
    throw TUsageError(what + " must be between " + std::to_string(low) + " and " +
                      std::to_string(high) + ", not " + text);
  return value;
}

}  // namespace morvane::cli
