#include "Failures.h"

#include <system_error>

namespace morvane::cli {

std::string PlainWords(const std::filesystem::filesystem_error& error) {
  // The library's texts name the operation; the user needs the path and the reason.
  const std::string what = error.what();
  const bool reading = what.find("directory iterator") != std::string::npos ||
                       what.find("status") != std::string::npos ||
                       what.find("file size") != std::string::npos;
  std::string text = reading ? "cannot read " : "cannot write ";
  const bool folder = what.find("director") != std::string::npos;
  if (folder) text += "the folder ";
  text += "\"" + error.path1().string() + "\" (" + error.code().message() + ")";
  return text;
}

void MakeFolder(const std::filesystem::path& folder) {
  if (folder.empty()) return;
  std::error_code code;
  std::filesystem::create_directories(folder, code);
  if (code)
    throw std::runtime_error("cannot create the folder \"" + folder.string() + "\" (" +
                             code.message() + ")");
}

void RequireFile(const std::filesystem::path& path, const std::string& what) {
  std::error_code code;
  const auto status = std::filesystem::status(path, code);
  if (!std::filesystem::exists(status))
    throw TDataError("the " + what + " \"" + path.string() + "\" does not exist");
  if (std::filesystem::is_directory(status))
    throw TDataError("the " + what + " \"" + path.string() + "\" is a folder, not a file");
}

void RequireFileOrNothing(const std::filesystem::path& path, const std::string& option) {
  std::error_code code;
  if (std::filesystem::is_directory(path, code))
    throw TUsageError(option + " must name a file; \"" + path.string() + "\" is a folder");
}

}  // namespace morvane::cli
