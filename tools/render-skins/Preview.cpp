#include "Preview.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "DiscPainter.h"
#include "Skins.h"

namespace morvane::skins {
namespace {

constexpr std::array<const char*, 8> TurnFrames = {"b1", "b2", "b3", "b4", "w4", "w3", "w2", "w1"};
constexpr int Margin = 20;
constexpr int Zoom = 3;
const QRgb Window = qRgb(236, 236, 236);

// A game in progress to show on a board: 'X' black, 'O' white, '.' empty, row by row.
struct TPreviewGame {
  std::array<const char*, 10> Rows;
  bool WhiteToMove;
  int LastColumn;
  int LastRow;
  bool Shadows;  // shows the view's drop shadows too
};

constexpr std::array<TPreviewGame, 3> Games = {{
    {{"........", "........", "..OXO...", "..OXXX..", ".XXOXO..", "...OX...", "....X...",
      "........"},
     true,
     4,
     6,
     false},
    {{"..........", "..........", "...O......", "...OXX....", "....XOX...", "...XXOO...",
      "....XOXX..", "......O...", "..........", ".........."},
     true,
     7,
     6,
     true},
    {{"..........", "..........", "...O......", "...OXX....", "....XOX...", "...XXOO...",
      "....XOXX..", "......O...", "..........", ".........."},
     false,
     6,
     7,
     false},
}};

bool Load(const QString& path, QImage& image, QString& error) {
  image = QImage(path);
  if (image.isNull()) {
    error = QStringLiteral("cannot read \"%1\"").arg(path);
    return false;
  }
  image = image.convertToFormat(QImage::Format_RGB32);
  return true;
}

bool IsTransparent(QRgb pixel) { return (pixel & 0xFFFFFFu) == 0xFFFFFFu; }

void DrawKeyed(QImage& target, const QImage& sprite, int left, int top) {
  for (int y = 0; y < sprite.height(); ++y) {
    for (int x = 0; x < sprite.width(); ++x) {
      const QRgb pixel = sprite.pixel(x, y);
      if (!IsTransparent(pixel)) target.setPixel(left + x, top + y, pixel);
    }
  }
}

// The board view's drop shadow: half brightness 3 pixels right and down of every opaque pixel.
void DrawShadow(QImage& target, const QImage& sprite, int left, int top) {
  for (int y = 0; y < sprite.height(); ++y) {
    for (int x = 0; x < sprite.width(); ++x) {
      if (IsTransparent(sprite.pixel(x, y))) continue;
      const int tx = left + x + 3;
      const int ty = top + y + 3;
      if (tx >= target.width() || ty >= target.height()) continue;
      const QRgb under = target.pixel(tx, ty);
      const auto half = [](int value) { return static_cast<int>(std::nearbyint(value * 0.5)); };
      target.setPixel(tx, ty, qRgb(half(qRed(under)), half(qGreen(under)), half(qBlue(under))));
    }
  }
}

char At(const TPreviewGame& game, const TBoardLayout& layout, int column, int row) {
  if (!layout.IsPlayable(column, row)) return '#';
  return game.Rows[row][column];
}

std::vector<std::pair<int, int>> LegalMoves(const TPreviewGame& game, const TBoardLayout& layout) {
  const char own = game.WhiteToMove ? 'O' : 'X';
  const char other = game.WhiteToMove ? 'X' : 'O';
  std::vector<std::pair<int, int>> moves;
  for (int row = 0; row < layout.Side; ++row) {
    for (int column = 0; column < layout.Side; ++column) {
      if (At(game, layout, column, row) != '.') continue;
      bool legal = false;
      for (int dy = -1; dy <= 1 && !legal; ++dy) {
        for (int dx = -1; dx <= 1 && !legal; ++dx) {
          if (dx == 0 && dy == 0) continue;
          int c = column + dx;
          int r = row + dy;
          int run = 0;
          while (At(game, layout, c, r) == other) {
            c += dx;
            r += dy;
            ++run;
          }
          legal = run > 0 && At(game, layout, c, r) == own;
        }
      }
      if (legal) moves.emplace_back(column, row);
    }
  }
  return moves;
}

struct TBoardFiles {
  QImage Board;
  std::array<QImage, 8> Turn;
  QImage BlackMarked;
  QImage WhiteMarked;
  QImage Legal;
};

bool LoadBoardFiles(const QString& folder, TBoardFiles& files, QString& error) {
  const auto path = [&folder](const char* name) {
    return folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".bmp");
  };
  if (!Load(path("Board"), files.Board, error)) return false;
  for (size_t i = 0; i < TurnFrames.size(); ++i) {
    if (!Load(path(TurnFrames[i]), files.Turn[i], error)) return false;
  }
  return Load(path("bs1"), files.BlackMarked, error) &&
         Load(path("ws1"), files.WhiteMarked, error) && Load(path("ok"), files.Legal, error);
}

// The board as the view draws it: discs (with shadows if asked), the last move marked, the
// legal moves of the side to move.
QImage ComposeBoard(const TPreviewGame& game, const TBoardLayout& layout,
                    const TBoardFiles& files) {
  QImage board = files.Board;
  for (int column = 0; column < layout.Side; ++column) {
    for (int row = 0; row < layout.Side; ++row) {
      const char content = At(game, layout, column, row);
      if (content != 'X' && content != 'O') continue;
      const bool last = column == game.LastColumn && row == game.LastRow;
      const QImage& plain = content == 'X' ? files.Turn[0] : files.Turn[7];
      const QImage& marked = content == 'X' ? files.BlackMarked : files.WhiteMarked;
      const int left = column * layout.Cell;
      const int top = row * layout.Cell;
      if (game.Shadows) DrawShadow(board, plain, left, top);
      DrawKeyed(board, last ? marked : plain, left, top);
    }
  }
  for (const auto& [column, row] : LegalMoves(game, layout)) {
    DrawKeyed(board, files.Legal, column * layout.Cell, row * layout.Cell);
  }
  return board;
}

// Eight cells of board texture with the turning frames on them.
QImage ComposeTurnStrip(const TBoardLayout& layout, const TBoardFiles& files) {
  const int firstColumn = layout.Side == 8 ? 0 : 1;
  const int row = layout.Side / 2 - 1;
  QImage strip =
      files.Board.copy(firstColumn * layout.Cell, row * layout.Cell, 8 * layout.Cell, layout.Cell);
  for (size_t i = 0; i < files.Turn.size(); ++i) {
    DrawKeyed(strip, files.Turn[i], static_cast<int>(i) * layout.Cell, 0);
  }
  return strip;
}

// A single sprite on its board cell, for the enlarged rows.
QImage OnCell(const TBoardFiles& files, int cell, const QImage& sprite) {
  QImage background = files.Board.copy(3 * cell, 3 * cell, cell, cell);
  DrawKeyed(background, sprite, 0, 0);
  return background;
}

QImage Enlarged(const QImage& image) {
  return image.scaled(image.width() * Zoom, image.height() * Zoom, Qt::IgnoreAspectRatio,
                      Qt::FastTransformation);
}

}  // namespace

bool WritePreviews(const QString& skinsRoot, const QString& previewDir, QString& error) {
  if (!QDir().mkpath(previewDir)) {
    error = QStringLiteral("cannot create \"%1\"").arg(previewDir);
    return false;
  }
  for (const TSkin& skin : Skins) {
    std::array<TBoardFiles, 3> files;
    for (size_t b = 0; b < Boards.size(); ++b) {
      const QString folder =
          QStringLiteral("%1/Skins/%2/%3")
              .arg(skinsRoot, QLatin1String(skin.Name), QLatin1String(Boards[b].Folder));
      if (!LoadBoardFiles(folder, files[b], error)) return false;
    }
    const int column = BoardPixels + Margin;
    const int stripTop = Margin + BoardPixels + 16;
    const int zoomTop = stripTop + 50 + Margin;
    const int marksTop = zoomTop + 50 * Zoom + Margin;
    QImage sheet(Margin + 3 * column, marksTop + 50 * Zoom + Margin, QImage::Format_RGB32);
    sheet.fill(Window);
    QPainter painter(&sheet);
    for (size_t b = 0; b < Boards.size(); ++b) {
      const int left = Margin + static_cast<int>(b) * column;
      painter.drawImage(left, Margin, ComposeBoard(Games[b], Boards[b], files[b]));
      painter.drawImage(left, stripTop, ComposeTurnStrip(Boards[b], files[b]));
    }
    painter.drawImage(Margin, zoomTop, Enlarged(ComposeTurnStrip(Boards[0], files[0])));
    int left = Margin;
    for (size_t b = 0; b < 2; ++b) {
      const int cell = Boards[b].Cell;
      for (const QImage* sprite : {&files[b].BlackMarked, &files[b].WhiteMarked, &files[b].Legal}) {
        painter.drawImage(left, marksTop, Enlarged(OnCell(files[b], cell, *sprite)));
        left += cell * Zoom + 8;
      }
      left += Margin;
    }
    painter.end();
    const QString path = QStringLiteral("%1/%2.png").arg(previewDir, QLatin1String(skin.Name));
    if (!sheet.save(path, "PNG")) {
      error = QStringLiteral("cannot write \"%1\"").arg(path);
      return false;
    }
  }
  return true;
}

}  // namespace morvane::skins
