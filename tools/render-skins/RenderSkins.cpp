// render-skins: draws Morvane's board skins from code, the same bytes on every run.
//
// Only QImage and QPainter on raster images are used, no fonts and no windows, so no application
// object and no display are needed.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstring>

#include "BoardPainter.h"
#include "DiscPainter.h"
#include "Preview.h"
#include "Skins.h"

namespace {

using namespace morvane::skins;

const char* const Usage =
    "usage: render-skins [--preview PREVIEW_DIR] OUTPUT_DIR\n"
    "  writes OUTPUT_DIR/Skins/<skin>/<board>/<file>.bmp for every skin and board;\n"
    "  --preview also writes one PNG per skin into PREVIEW_DIR, composed from those files\n";

// 24-bit BMP, read back at once so that a file the board view could not load never passes.
bool Save(const QImage& image, const QString& path, QString& error) {
  if (!image.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) {
    error = QStringLiteral("cannot write \"%1\"").arg(path);
    return false;
  }
  const QImage check(path);
  if (check.size() != image.size()) {
    error = QStringLiteral("\"%1\" does not read back as written").arg(path);
    return false;
  }
  return true;
}

bool WriteSkin(const TSkin& skin, const QString& root, QString& error) {
  const TColour surface = MeanSurface(skin);
  // Disc edges fade into a shadowed board tone, which reads as the disc resting on the board.
  const TColour discEdge = surface * 0.5;
  for (const TBoardLayout& layout : Boards) {
    const QString folder = QStringLiteral("%1/Skins/%2/%3")
                               .arg(root, QLatin1String(skin.Name), QLatin1String(layout.Folder));
    if (!QDir().mkpath(folder)) {
      error = QStringLiteral("cannot create \"%1\"").arg(folder);
      return false;
    }
    const auto path = [&folder](const QString& name) {
      return folder + QLatin1Char('/') + name + QStringLiteral(".bmp");
    };
    if (!Save(RenderBoard(skin, layout), path(QStringLiteral("Board")), error)) return false;
    for (size_t i = 0; i < TurnAngles.size(); ++i) {
      const QString number = QString::number(i + 1);
      const QImage black = RenderDisc(layout.Cell, TurnAngles[i], discEdge, false);
      const QImage white = RenderDisc(layout.Cell, 180.0 - TurnAngles[i], discEdge, false);
      if (!Save(black, path(QStringLiteral("b") + number), error) ||
          !Save(white, path(QStringLiteral("w") + number), error)) {
        return false;
      }
    }
    if (!Save(RenderDisc(layout.Cell, 0.0, discEdge, true), path(QStringLiteral("bs1")), error) ||
        !Save(RenderDisc(layout.Cell, 180.0, discEdge, true), path(QStringLiteral("ws1")), error) ||
        !Save(RenderLegalMark(layout.Cell, skin.LegalDot, surface), path(QStringLiteral("ok")),
              error)) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QString output;
  QString preview;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--preview") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "render-skins: --preview needs a folder\n%s", Usage);
        return 2;
      }
      preview = QString::fromLocal8Bit(argv[++i]);
    } else if (argv[i][0] == '-' || !output.isEmpty()) {
      std::fprintf(stderr, "render-skins: unexpected \"%s\"\n%s", argv[i], Usage);
      return 2;
    } else {
      output = QString::fromLocal8Bit(argv[i]);
    }
  }
  if (output.isEmpty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  QString error;
  for (const TSkin& skin : Skins) {
    if (!WriteSkin(skin, output, error)) {
      std::fprintf(stderr, "render-skins: %s\n", qPrintable(error));
      return 1;
    }
  }
  if (!preview.isEmpty() && !WritePreviews(output, preview, error)) {
    std::fprintf(stderr, "render-skins: %s\n", qPrintable(error));
    return 1;
  }
  return 0;
}
