#include "games/promotion_chooser.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QToolButton>

#include "games/piece_images.h"

namespace games {

PromotionChooser::PromotionChooser(bool white, bool russian, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
  setObjectName("ChessSelP");
  setModal(true);
  setWindowTitle(QString::fromUtf8(russian ? "Выберите фигуру" : "Choose a piece"));
  auto* row = new QHBoxLayout(this);
  const PieceImages& images = PiecesOf(GameKind::Chess, true);
  // Queen, rook, bishop, knight.
  for (int8_t type : {int8_t(5), int8_t(2), int8_t(4), int8_t(3)}) {
    const int8_t code = static_cast<int8_t>(white ? type : type + 6);
    auto* b = new QToolButton(this);
    b->setObjectName(QString("Piece%1").arg(type));
    if (const QPixmap* p = images.Piece(code)) {
      b->setIcon(*p);
      b->setIconSize(p->size());
    }
    connect(b, &QToolButton::clicked, this, [this, code] {
      chosen_ = code;
      accept();
    });
    row->addWidget(b);
  }
}

void PromotionChooser::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

int8_t PromotionChooser::Choose(bool white, bool russian, QWidget* parent) {
  PromotionChooser chooser(white, russian, parent);
  while (chooser.Chosen() == 0) chooser.exec();
  return chooser.Chosen();
}

}  // namespace games
