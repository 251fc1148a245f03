#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

#include "text/bytes.h"
#include "text/cp1251.h"
#include "window_fixture.h"

TEST(MainWindowDebug, ReconnectLines) {
  WindowFixture w("[Global]\r\nUserName=alice\r\nPassword=pw\r\nUserNum=5\r\nPort1=1\r\n");
  w.form->show();
  WaitFor([] { return false; }, 1500);
  for (const auto& l : Lines(w.form->comm)) printf("LINE %s\n", text::Cp1251ToUtf8(l).c_str());
}
