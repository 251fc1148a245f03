#include "games/ui/promotion_chooser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "games/board_speech.h"
#include "games/ui/piece_images.h"

namespace games {
namespace {

// One panel's paint box: the piece on the button face, chosen by a press of
// the mouse, or by Space or Enter when it has the keyboard (Tab goes from
// box to box).  A screen reader reads it as a button named by its piece.
class PieceBox : public QAbstractButton {
 public:
  PieceBox(PromotionChooser& chooser, int8_t code, const QPixmap* picture, bool russian, QWidget* parent)
      : QAbstractButton(parent), chooser_(chooser), code_(code), picture_(picture) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    const QString name = QString::fromUtf8(PieceSpeech(GameKind::Chess, code, russian).c_str());
    setAccessibleName(name);
    setToolTip(name);
    connect(this, &QAbstractButton::clicked, this, [this] { chooser_.Pick(code_); });
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    if (picture_) p.drawPixmap(4, 4, *picture_);
    if (hasFocus()) {
      p.setPen(QPen(palette().color(QPalette::Highlight), 2));
      p.drawRect(rect().adjusted(1, 1, -1, -1));
    }
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) chooser_.Pick(code_);
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return chooser_.Pick(code_);
    QAbstractButton::keyPressEvent(event);
  }

 private:
  PromotionChooser& chooser_;
  int8_t code_;
  const QPixmap* picture_;
};

}  // namespace

PromotionChooser::PromotionChooser(bool white, bool russian, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("ChessSelP");
  setModal(true);
  setWindowTitle(QString::fromUtf8(russian ? "Выберите" : "Choose"));
  setFixedSize(160, 175);
  const PieceImages& images = PiecesOf(GameKind::Chess, true);
  // Boxes F1 to F4 hold the rook, knight, bishop and queen (type codes 2 to 5).
  const QPoint corners[] = {{7, 7}, {83, 7}, {7, 90}, {83, 90}};
  for (int i = 0; i < 4; ++i) {
    const int8_t code = static_cast<int8_t>(2 + i + (white ? 0 : 6));
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setGeometry(QRect(corners[i], QSize(70, 78)));
    auto* box = new PieceBox(*this, code, images.Piece(code), russian, panel);
    box->setObjectName(QString("F%1").arg(i + 1));
    box->setGeometry(panel->contentsRect());
    if (i == 3) box->setFocus();  // the queen, the usual choice, has the keyboard first
  }
}

void PromotionChooser::Pick(int8_t code) {
  chosen_ = code;
  accept();
}

void PromotionChooser::GiveUp() {
  givenUp_ = true;
  done(QDialog::Rejected);
}

void PromotionChooser::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

void PromotionChooser::closeEvent(QCloseEvent* event) {
  if (chosen_ == 0 && !givenUp_) event->ignore();
  else QDialog::closeEvent(event);
}

// The owner closing (its game ended, the program quits) ends the choice at
// once: quitting ends the dialog's loop too, so it must not ask again.
bool PromotionChooser::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Close) GiveUp();
  return QDialog::eventFilter(watched, event);
}

int8_t PromotionChooser::Choose(bool white, bool russian, QObject* owner) {
  // Not a child of the game window: that window may be deleted while the
  // dialog runs its own loop.
  PromotionChooser chooser(white, russian);
  if (owner) {
    connect(owner, &QObject::destroyed, &chooser, &PromotionChooser::GiveUp);
    owner->installEventFilter(&chooser);
  }
  connect(qApp, &QCoreApplication::aboutToQuit, &chooser, &PromotionChooser::GiveUp);
  while (chooser.Chosen() == 0 && !chooser.givenUp_) chooser.exec();
  return chooser.Chosen();
}

}  // namespace games
