// Preview sheets: what a player sees of each skin, composed from the written bitmaps the way the
// board view composes them (pure white transparent), for a person to judge.
#pragma once

#include <QString>

namespace morvane::skins {

// Reads `skinsRoot`/Skins and writes one PNG per skin into `previewDir`. On failure returns false
// with `error` naming the file.
bool WritePreviews(const QString& skinsRoot, const QString& previewDir, QString& error);

}  // namespace morvane::skins
