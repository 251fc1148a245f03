#include "markup/ui/find_bar.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "markup/ui/markup_view.h"
#include "markup/view_globals.h"
#include "text/cp1251.h"

namespace markup {

FindBar::FindBar(QWidget* window, MarkupView* fallback) : QWidget(window), window_(window), fallback_(fallback) {
  setObjectName("FindBar");
  label_ = new QLabel(this);
  field_ = new QLineEdit(this);
  field_->setObjectName("FindText");
  field_->setClearButtonEnabled(true);
  label_->setBuddy(field_);
  previous_ = new QToolButton(this);
  previous_->setObjectName("FindPrevious");
  previous_->setArrowType(Qt::UpArrow);
  next_ = new QToolButton(this);
  next_->setObjectName("FindNext");
  next_->setArrowType(Qt::DownArrow);
  close_ = new QToolButton(this);
  close_->setObjectName("FindClose");
  close_->setText(QString::fromUtf8("\u2715"));
  status_ = new QLabel(this);
  status_->setObjectName("FindStatus");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(label_);
  row->addWidget(field_, 1);
  row->addWidget(previous_);
  row->addWidget(next_);
  row->addWidget(status_);
  row->addWidget(close_);
  hide();

  connect(field_, &QLineEdit::textChanged, this, &FindBar::TextEdited);
  connect(field_, &QLineEdit::returnPressed, this, [this] {
    Find(!(QApplication::keyboardModifiers() & Qt::ShiftModifier));
  });
  connect(previous_, &QToolButton::clicked, this, [this] { Find(false); });
  connect(next_, &QToolButton::clicked, this, [this] { Find(true); });
  connect(close_, &QToolButton::clicked, this, &FindBar::Close);

  auto* open = new QAction(window);
  open->setObjectName("FindAction");
  open->setShortcut(QKeySequence::Find);
  open->setShortcutContext(Qt::WindowShortcut);
  window->addAction(open);
  connect(open, &QAction::triggered, this, &FindBar::Open);
  // The pane that last had the keyboard in this window.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (auto* view = qobject_cast<MarkupView*>(now); view && view->window() == window_) lastFocused_ = view;
  });
  Retranslate();
}

void FindBar::Retranslate() {
  const bool ru = ViewGlobals::russian;
  label_->setText(ru ? QString::fromUtf8("&Найти:") : QString("&Find:"));
  previous_->setToolTip(ru ? QString::fromUtf8("Предыдущее (Shift+Enter)") : QString("Previous (Shift+Enter)"));
  previous_->setAccessibleName(ru ? QString::fromUtf8("Предыдущее") : QString("Previous"));
  next_->setToolTip(ru ? QString::fromUtf8("Следующее (Enter)") : QString("Next (Enter)"));
  next_->setAccessibleName(ru ? QString::fromUtf8("Следующее") : QString("Next"));
  close_->setToolTip(ru ? QString::fromUtf8("Закрыть (Esc)") : QString("Close (Esc)"));
  close_->setAccessibleName(ru ? QString::fromUtf8("Закрыть поиск") : QString("Close find"));
  // The field's own clear button is a tool button Qt makes without a name.
  for (QToolButton* clear : field_->findChildren<QToolButton*>()) {
    clear->setAccessibleName(ru ? QString::fromUtf8("Очистить") : QString("Clear"));
    clear->setToolTip(clear->accessibleName());
  }
}

void FindBar::Open() {
  MarkupView* target = qobject_cast<MarkupView*>(QApplication::focusWidget());
  if (!target || target->window() != window_) target = lastFocused_ ? lastFocused_.data() : fallback_.data();
  if (!target) return;
  if (pane_ && pane_ != target) pane_->SetFindText({});
  pane_ = target;
  Retranslate();
  show();
  field_->setFocus(Qt::ShortcutFocusReason);
  field_->selectAll();
  TextEdited();
}

void FindBar::Close() {
  if (pane_) {
    pane_->SetFindText({});
    pane_->setFocus(Qt::OtherFocusReason);
  }
  hide();
}

void FindBar::TextEdited() {
  if (!pane_) return;
  pane_->SetFindText(text::Utf8ToCp1251(field_->text().toStdString()));
  status_->clear();
  if (!field_->text().isEmpty()) Find(true);
}

void FindBar::Find(bool forward) {
  if (!pane_ || field_->text().isEmpty()) return;
  const bool found = pane_->FindNext(forward);
  const bool ru = ViewGlobals::russian;
  status_->setText(found ? QString() : ru ? QString::fromUtf8("Не найдено") : QString("Not found"));
  QPalette p = field_->palette();
  p.setColor(QPalette::Base, found ? palette().color(QPalette::Base) : QColor(255, 210, 210));
  field_->setPalette(p);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    Close();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace markup
