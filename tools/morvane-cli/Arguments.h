// Command-line words: positional words and "--name value" options.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace morvane::cli {

// A mistake in the command line; reported in one line with exit status 2.
class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TArguments {
 public:
  // `flags` are options that take no value.
  TArguments(int argc, char** argv, int first, const std::set<std::string>& flags = {});

  const std::vector<std::string>& Positional() const { return Words; }
  std::optional<std::string> Option(const std::string& name) const;
  bool Flag(const std::string& name) const { return Flags.count(name) > 0; }
  std::string OptionOr(const std::string& name, const std::string& fallback) const;
  // An integer option within [low, high]; a bad value is a usage error naming the option.
  long long IntOption(const std::string& name, long long fallback, long long low,
                      long long high) const;
  // Rejects options the command does not know.
  void Allow(const std::set<std::string>& names) const;

 private:
  std::vector<std::string> Words;
  std::map<std::string, std::string> Options;
  std::set<std::string> Flags;
};

// Reads a whole number in [low, high]; `what` names it in the error.
long long ParseInteger(const std::string& text, const std::string& what, long long low,
                       long long high);

}  // namespace morvane::cli
