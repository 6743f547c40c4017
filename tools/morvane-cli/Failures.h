// How morvane-cli fails. Exit status 2: a mistake in the command line, or input it names (a
// file or folder to read) that is missing, unreadable, empty of what the command needs or made
// for another board. Exit status 1: the run itself failed (an output could not be written, a
// benchmark found a wrong answer, no self-play game could be kept). Messages are one line in
// plain words, naming the file or folder.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>

#include "Arguments.h"

namespace morvane::cli {

// Input named on the command line that cannot be used; exit status 2 like a usage mistake.
class TDataError : public TUsageError {
 public:
  using TUsageError::TUsageError;
};

// "cannot read the folder "x" (No such file or directory)" for a library's
// "filesystem error: directory iterator cannot open directory: ..." text.
std::string PlainWords(const std::filesystem::filesystem_error& error);

// Runs `read`, which reads input named on the command line: the library's runtime errors (a
// missing or damaged file) become data errors.
template <typename TRead>
decltype(auto) ReadingInput(TRead&& read) {
  try {
    return std::forward<TRead>(read)();
  } catch (const TUsageError&) {
    throw;
  } catch (const std::filesystem::filesystem_error& error) {
    throw TDataError(PlainWords(error));
  } catch (const std::runtime_error& error) {
    throw TDataError(error.what());
  }
}

// Creates an output folder and its parents; a failure is a failed run, said in plain words.
void MakeFolder(const std::filesystem::path& folder);

// `what` ("endgame test file") names a file to read: a data error when it is missing or a
// folder.
void RequireFile(const std::filesystem::path& path, const std::string& what);

// An option naming a file to write (and resume from): it may be missing, not a folder.
void RequireFileOrNothing(const std::filesystem::path& path, const std::string& option);

}  // namespace morvane::cli
