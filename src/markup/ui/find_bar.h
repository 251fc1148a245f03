#pragma once
// FindBar: the find bar of a window with panes.  Ctrl+F opens it for the
// pane that has (or last had) the keyboard; typing marks the matches, Enter
// and Shift+Enter go to the next and previous one and scroll it into view,
// Escape closes the bar and gives the keyboard back to the pane.
#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace markup {

class MarkupView;

class FindBar : public QWidget {
  Q_OBJECT
 public:
  // Adds Ctrl+F to `window`; the bar stays hidden until then.  `fallback`
  // is searched when no pane of the window has had the keyboard yet.
  FindBar(QWidget* window, MarkupView* fallback);

  // Opens the bar for the current pane with the keyboard in the field.
  void Open();
  void Close();
  MarkupView* Pane() const { return pane_; }
  QLineEdit* Field() const { return field_; }
  // Captions in the interface language.
  void Retranslate();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Find(bool forward);
  void TextEdited();

  QWidget* window_;
  QPointer<MarkupView> fallback_;
  QPointer<MarkupView> lastFocused_;
  QPointer<MarkupView> pane_;
  QLabel* label_;
  QLineEdit* field_;
  QToolButton* previous_;
  QToolButton* next_;
  QToolButton* close_;
  QLabel* status_;
};

}  // namespace markup
