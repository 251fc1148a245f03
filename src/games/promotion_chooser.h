#pragma once
// PromotionChooser: the modal choice of the piece a pawn becomes.  It shows
// the queen, rook, bishop and knight of the pawn's colour and cannot be
// closed without a choice.
#include <QDialog>
#include <cstdint>

class QKeyEvent;

namespace games {

class PromotionChooser : public QDialog {
 public:
  PromotionChooser(bool white, bool russian, QWidget* parent = nullptr);
  // The chosen piece's code (chess codes: 5 queen, 2 rook, 4 bishop, 3 knight; +6 for black).
  int8_t Chosen() const { return chosen_; }
  // Asks until a piece is chosen.
  static int8_t Choose(bool white, bool russian, QWidget* parent = nullptr);

 protected:
  void reject() override {}  // Escape and the close button do not dismiss it
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int8_t chosen_ = 0;
};

}  // namespace games
