#include <cstdio>
#include <filesystem>

#include "Commands.h"
#include "engines/DiscCountEngine.h"
#include "engines/SourceGenerator.h"

namespace morvane::cli {

int RunGenerateSource(const TArguments& arguments) {
  arguments.Allow({});
  if (!arguments.Positional().empty()) throw TUsageError("usage: generate-source");
  // The text depends only on the geometry and the hash keys, so the plainest 8 x 8 engine
  // serves; no coefficient files are needed.
  TDiscCountEngine engine(10, TBoardKind::Board8x8);
  engine.SetupStartPosition();
  const std::filesystem::path file = std::filesystem::current_path() / "Generated.txt";
  WriteGeneratedSource(engine, file);
  std::printf("%s\n%zu lines\n", file.string().c_str(), GenerateSourceLines(engine).size());
  return 0;
}

}  // namespace morvane::cli
