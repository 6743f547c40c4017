// The board view: draws the position of the game record from the bitmaps of a skin, marks the
// last move and the user's legal moves, animates placed and turning discs, previews the discs a
// move would turn, labels the coordinates and turns a click into a square. It reads the game
// record and the engine and never changes them.
#pragma once

#include <QImage>
#include <QRandomGenerator>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/OthelloEngine.h"

class QLabel;
class QTimer;

namespace morvane {

class TGameInfo;

// Equal-sized images drawn by index. Pure white in the skin files is transparent; the images are
// kept premultiplied, with alpha 0 where the file was pure white.
class TImageList final {
 public:
  void Clear();
  void Add(const QImage& image);
  int Count() const { return static_cast<int>(Images.size()); }
  const QImage& Image(int index) const { return Images[static_cast<size_t>(index)]; }
  int Width = 50;
  int Height = 50;

 private:
  std::vector<QImage> Images;
};

// A move's value written in its cell: the best moves stand out, exact values are whole discs.
struct THintMark {
  int Square = 0;
  QRect Cell;
  QString Text;
  bool Best = false;
  bool Exact = false;
};

// The image control: shows a bitmap at its natural size and reports every button press with
// the button and the position in image coordinates.
class TBoardImage final : public QWidget {
  Q_OBJECT
 public:
  // The move values painted over the picture (none: no hints).
  void SetHints(std::vector<THintMark> hints);
  const std::vector<THintMark>& Hints() const { return HintMarks; }
  explicit TBoardImage(QWidget* parent = nullptr);
  // The picture shown; the view owns it and calls Changed after composing into it.
  void SetSource(const QImage* source);
  void Changed(const QRect& area);
  void Changed();
  // What the control shows now (a copy of the source).
  QImage Picture() const;

 signals:
  void MouseDown(Qt::MouseButton button, int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  const QImage* Source = nullptr;
  std::vector<THintMark> HintMarks;
};

class TBoardDrawer final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int ImageSize = 402;
  static constexpr int LabelCount = 28;
  static constexpr int AnimationFrames = 8;
  static constexpr int ShadowOffset = 3;

  // Per-square animation state.
  struct TCellState {
    const TImageList* List = nullptr;
    bool Active = false;
    int32_t Counter = 0;
  };

  explicit TBoardDrawer(QWidget* parent = nullptr);
  ~TBoardDrawer() override;

  void SetGame(TGameInfo* game) { Game = game; }
  // Kind 8, 10 or 88 (octagon); skin "STANDARD", "WOOD", "MARPLE" or "WATER".
  void LoadBoard(int kind, const std::string& skin);
  void ChangeSkin(const std::string& skin);
  // The full redraw; lastMove 0 marks none.
  void Draw(bool showLegalMoves, int lastMove);
  // Starts the move animation and returns at once; Animating tells when it has ended.
  void AnimateMove(int square);
  void PreviewFlips(int square);
  // The square a click on BoardImage plays: 0 while animating, outside the board, for a square
  // that is not legal, and for any button but the left one (a right click on a legal square
  // starts the flip preview).
  int ClickToSquare(Qt::MouseButton button, int x, int y);
  // The square a click at pixel (x, y) of BoardImage aims at, 0 outside the grid; a pixel on a
  // grid line goes to the even-numbered of its two cells.
  int SquareAt(int x, int y) const;

  // Timer handlers, public so that the window's tests can step an animation.
  void PlayTimerTimer();
  void WhoChangeTimerTimer();

  // The folder that holds the skin folders; empty means "Skins" below the working directory.
  void SetSkinsFolder(const std::string& folder) { SkinsFolder = folder; }
  // True when the last LoadBoard found every skin file; otherwise the missing ones were
  // reported and painted stand-ins are used.
  bool SkinComplete() const { return Faults.empty(); }
  const std::vector<std::string>& SkinFaults() const { return Faults; }
  QLabel* Label(int index) const { return Labels[index]; }

  // Components.
  TBoardImage* BoardImage;
  TImageList BToWAnim, WToBAnim, BlackSet, WhiteSet, InfoList;
  QTimer* PlayTimer;
  QTimer* WhoChangeTimer;

  // Fields.
  QImage WorkBitmap;
  QImage CleanBitmap;
  TGameInfo* Game = nullptr;
  std::string SkinName;
  int BoardKind = 8;
  std::string SkinDir;
  int BoardSide = 8;
  int CellSize = 50;
  TCellState Cells[MaxCells];
  QLabel* Labels[LabelCount] = {};
  bool Animating = false;
  bool AnimationsOn = true;
  // Paints the move values (square, text, best, exact) over the board; none clears them.
  void ShowHints(std::vector<THintMark> hints);
  // The square the last Draw marked as the last move, 0 for none.
  int LastMoveMark = 0;
  bool ShadowsOn = false;

  QSize sizeHint() const override { return {448, 461}; }

 private:
  // What a square shows now: its disc image (and the image whose shadow it casts), an offset
  // from the cell's corner, and whether the legal-move mark lies on it.
  struct TShownCell {
    const TImageList* List = nullptr;
    int Frame = 0;
    const TImageList* ShadowList = nullptr;
    int ShadowFrame = 0;
    int Dx = 0, Dy = 0;
    bool LegalMark = false;
  };

  void LoadSkin();
  QImage LoadSkinBitmap(const std::string& name, bool transparent);
  void PlaceLabels();
  QPoint CellOrigin(int square) const;
  // The pixels a square's picture may touch: its cell, a displaced disc and its shadow.
  QRect CellReach(int square) const;
  // Rebuilds the part of WorkBitmap inside area from CleanBitmap and what every square shows.
  void Compose(const QRect& area);
  void DrawImage(const QImage& image, QPoint at, const QRect& clip);
  void DrawShadow(const QImage& image, QPoint at, const QRect& clip);
  void StopAnimations();
  // One tick of an animation: `show` sets what each running cell shows now; the changed areas
  // are composed once all of Shown is set, and `timer` stops when no cell runs any more.
  template <typename TShow>
  void AdvanceCells(QTimer* timer, TShow show);
  // The game is drawn only on the board it is played on.
  bool GameFits() const;
  // The side to move's move on `square` with its flips; false when it is not a legal move.
  bool ProbeGameMove(int square, MoveRecord& move) const;

  std::string SkinsFolder;
  std::vector<std::string> Faults;
  TShownCell Shown[MaxCells];
  bool LabelsCreated = false;
  QRandomGenerator Random{QRandomGenerator::global()->generate()};
};

}  // namespace morvane
