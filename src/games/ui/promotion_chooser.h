#pragma once
// PromotionChooser: the modal choice of the piece a pawn becomes.  Four
// panels show the rook, knight, bishop and queen of the pawn's colour; a
// click on one chooses it, and nothing else closes the dialog.
#include <QDialog>
#include <cstdint>

class QCloseEvent;
class QKeyEvent;

namespace games {

class PromotionChooser : public QDialog {
 public:
  PromotionChooser(bool white, bool russian, QWidget* parent = nullptr);
  // The chosen piece's code (chess codes: 2 rook, 3 knight, 4 bishop,
  // 5 queen; +6 for black), 0 while nothing is chosen.
  int8_t Chosen() const { return chosen_; }
  void Pick(int8_t code);
  // Asks until a piece is chosen; 0 when `owner` is destroyed or the
  // program quits first.
  static int8_t Choose(bool white, bool russian, const QObject* owner = nullptr);

 protected:
  void reject() override {}  // Escape and the close button do not dismiss it
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void GiveUp();

  int8_t chosen_ = 0;
  bool givenUp_ = false;
};

}  // namespace games
