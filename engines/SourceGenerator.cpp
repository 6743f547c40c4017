#include "engines/SourceGenerator.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace morvane {

namespace {

constexpr int MaxRaySteps = 6;

std::string Hex8(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof(text), "%08X", value);
  return text;
}

std::string Hex16(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof(text), "%016llX", static_cast<unsigned long long>(value));
  return text;
}

// Bit of a square of the 10-wide bordered board: (column - 1) + 8 * (row - 1).
int BitOf(int square) { return (square % 10 - 1) + 8 * (square / 10 - 1); }

// A bit outside 0..63 (only on boards the numbering does not describe) sets nothing.
uint64_t SingleBit(int bit) { return bit >= 0 && bit < 64 ? uint64_t{1} << bit : 0; }

uint32_t Low(uint64_t value) { return static_cast<uint32_t>(value); }
uint32_t High(uint64_t value) { return static_cast<uint32_t>(value >> 32); }

// May the square after the next one in direction `step` still be on the board?
bool MayStep(int bit, int step) {
  const int column = bit % 8, row = bit / 8;
  bool allowed;
  switch (step) {
    case 1:
      allowed = column < 6;
      break;
    case -1:
      allowed = column > 1;
      break;
    case 10:
      allowed = row < 6;
      break;
    case -10:
      allowed = row > 1;
      break;
    case 9:
      allowed = column > 1 && row < 6;
      break;
    case -9:
      allowed = column < 6 && row > 1;
      break;
    case 11:
      allowed = column < 6 && row < 6;
      break;
    case -11:
      allowed = column > 1 && row > 1;
      break;
    default:
      allowed = false;
  }
  return allowed && bit + step > 0 && bit + step < 63;
}

// "Name.L and $XXXXXXXX" or "Name.H and $XXXXXXXX" for one bit of the board.
std::string BitTest(const char* name, int bit) {
  if (bit >= 32) return std::string(name) + ".H and $" + Hex8(Low(SingleBit(bit - 32)));
  return std::string(name) + ".L and $" + Hex8(Low(SingleBit(bit)));
}

void AddRay(std::vector<std::string>& lines, const TOthelloEngine& engine, int square, int step) {
  const THashTable& keys = *engine.HashTable;
  uint64_t flipMask[MaxRaySteps + 1] = {};
  uint32_t hashWord1[MaxRaySteps + 1] = {};
  uint32_t hashWord2[MaxRaySteps + 1] = {};
  int after[MaxRaySteps + 1] = {};

  int current = square;
  int steps = 0;
  while (steps < MaxRaySteps && MayStep(BitOf(current), step)) {
    current += step;
    ++steps;
    lines.push_back("          if " + BitTest("GegnerBitboard", BitOf(current)) +
                    "<> 0 then begin");
    flipMask[steps] = flipMask[steps - 1] | SingleBit(BitOf(current));
    hashWord1[steps] = hashWord1[steps - 1] ^ keys.FlipKey[0][current];
    hashWord2[steps] = hashWord2[steps - 1] ^ keys.FlipKey[1][current];
    after[steps] = BitOf(current + step);
  }

  for (int run = steps; run >= 1; --run) {
    lines.push_back("           if " + BitTest("PlayerBitboard", after[run]) + "<> 0 then begin ");
    lines.push_back("            INC(result," + std::to_string(run) + ");");

    const uint64_t own = flipMask[run] | SingleBit(BitOf(square));
    if (High(own) == 0)
      lines.push_back("            PlayerBitboard.L := PlayerBitboard.L or $" + Hex8(Low(own)) +
                      ";");
    else if (Low(own) == 0)
      lines.push_back("            PlayerBitboard.H := PlayerBitboard.H or $" + Hex8(High(own)) +
                      ";");
    else
      lines.push_back("            PlayerBitboard.asInt64 := PlayerBitboard.asInt64 or $" +
                      Hex16(own) + ";");

    // The half test looks at the own mask: a run in the upper half from a square in the lower
    // half is written whole.
    const uint64_t opponent = flipMask[run];
    if (High(opponent) == 0)
      lines.push_back("            GegnerBitboard.L := GegnerBitboard.L xor $" +
                      Hex8(Low(opponent)) + ";");
    else if (Low(own) == 0)
      lines.push_back("            GegnerBitboard.H := GegnerBitboard.H xor $" +
                      Hex8(High(opponent)) + ";");
    else
      lines.push_back("            GegnerBitboard.asInt64 := GegnerBitboard.asInt64 xor $" +
                      Hex16(opponent) + ";");

    lines.push_back("            hashcode[0] := hashcode[0] xor $" + Hex8(hashWord1[run]) + ";");
    lines.push_back("            hashcode[1] := hashcode[1] xor $" + Hex8(hashWord2[run]) + ";");
    lines.push_back("            end;");
    lines.push_back(run == 1 ? "           end;" : "           end else");
  }
}

}  // namespace

std::vector<std::string> GenerateSourceLines(const TOthelloEngine& engine) {
  std::vector<std::string> lines;
  lines.push_back("case wohin of");
  for (int square = 0; square < MaxCells; ++square) {
    if (engine.Board[square] == OutsideCell) continue;
    lines.push_back("  " + std::to_string(square) + ": begin");
    for (int d = 1; d <= 8; ++d) AddRay(lines, engine, square, engine.Directions[d]);
    lines.push_back("      end;");
  }
  lines.push_back("end;");
  return lines;
}

void WriteGeneratedSource(const TOthelloEngine& engine, const std::filesystem::path& file) {
  const std::vector<std::string> lines = GenerateSourceLines(engine);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("Cannot write \"" + file.string() + "\".");
  for (const std::string& line : lines) out << line << "\r\n";
  out.flush();
  if (!out) throw std::runtime_error("Writing \"" + file.string() + "\" failed.");
}

}  // namespace morvane
