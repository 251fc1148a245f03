// Boxes about what peers send: never modal, one per kind and peer at a
// time, all closed with the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include "qt_wait.h"
#include "window/modal_boxes.h"

namespace {

std::vector<QMessageBox*> OpenBoxes() {
  std::vector<QMessageBox*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) out.push_back(box);
  return out;
}

}  // namespace

TEST(PeerBoxes, OneBoxPerKeyNeverModalAndClosedTogether) {
  using window::ModalBox;
  QWidget parent;
  parent.show();
  window::ShowPeerBox(&parent, "picture\nbob", {ModalBox::Kind::Warning, "Attention", "junk from bob"});
  // The caller goes on at once: nothing waits for the user.
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  window::ShowPeerBox(&parent, "picture\nbob", {ModalBox::Kind::Warning, "Attention", "more junk from bob"});
  window::ShowPeerBox(&parent, "picture\neve", {ModalBox::Kind::Warning, "Attention", "junk from eve"});
  std::vector<QMessageBox*> open = OpenBoxes();
  ASSERT_EQ(open.size(), 2u);
  for (QMessageBox* box : open) {
    EXPECT_FALSE(box->isModal());
    EXPECT_NE(box->text(), "more junk from bob");
  }
  // Once bob's box is closed, his next one shows.
  for (QMessageBox* box : open)
    if (box->text() == "junk from bob") box->close();
  ASSERT_TRUE(WaitFor([] { return OpenBoxes().size() == 1; }));
  window::ShowPeerBox(&parent, "picture\nbob", {ModalBox::Kind::Warning, "Attention", "again from bob"});
  EXPECT_EQ(OpenBoxes().size(), 2u);

  window::CloseAllPeerBoxes();
  EXPECT_TRUE(WaitFor([] { return OpenBoxes().empty(); }));
}
