// The main window's panes and controls: the top bar, the online list and
// the two conversation panes, the preview and transliteration rows, the
// message rows.  Object names are the ones captions and tests look up.
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include "markup/ui/find_bar.h"
#include "markup/ui/markup_view.h"
#include "resources/images.h"
#include "chat/link_actions.h"
#include "window/main_window.h"
#include "chat/smiley_codes.h"

namespace window {

namespace {

using markup::MarkupView;

QWidget* Panel(QWidget* parent, QBoxLayout* layout, const char* name) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(name);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(3);
  panel->setLayout(layout);
  return panel;
}

MarkupView* Pane(QWidget* parent, const char* name) {
  auto* pane = new MarkupView(parent);
  pane->setObjectName(name);
  return pane;
}

// A row of a caption and a pane: the caption takes the width it needs and
// the pane the rest.
QWidget* LabelledPane(QWidget* parent, const char* panelName, const char* labelName, const char* paneName,
                      int paneHeight, MarkupView** pane) {
  QWidget* panel = Panel(parent, new QHBoxLayout, panelName);
  auto* label = new QLabel(panel);
  label->setObjectName(labelName);
  label->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
  *pane = Pane(panel, paneName);
  (*pane)->setFixedHeight(paneHeight);
  auto* row = static_cast<QHBoxLayout*>(panel->layout());
  row->addWidget(label);
  row->addWidget(*pane, 1);
  return panel;
}

QPushButton* Button(QWidget* parent, const char* name, int fixedWidth = 0) {
  auto* button = new QPushButton(parent);
  button->setObjectName(name);
  if (fixedWidth) button->setFixedWidth(fixedWidth);
  return button;
}

}  // namespace

void MainWindow::BuildPanes() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  QWidget* top = Panel(central, new QHBoxLayout, "TopPanel");
  top->setAutoFillBackground(true);
  top->setStyleSheet("#TopPanel { background: white; }");
  top->setFixedHeight(40);
  topleft_ = Pane(top, "topleft");
  topleft_->SetBorderStyle(markup::ViewBorder::None);
  topleft_->setFixedWidth(170);
  topright_ = Pane(top, "topright");
  topright_->SetBorderStyle(markup::ViewBorder::None);
  top->layout()->addWidget(topleft_);
  top->layout()->addWidget(topright_);
  column->addWidget(top);

  auto* middle = new QSplitter(Qt::Horizontal, central);
  middle->setObjectName("MainPanel");
  QWidget* left = Panel(middle, new QVBoxLayout, "LeftPanel");
  left->setMinimumWidth(100);
  users_ = Pane(left, "users");
  QWidget* panel2 = Panel(left, new QVBoxLayout, "Panel2");
  auto* directLab = new QLabel(panel2);
  directLab->setObjectName("DirectLab");
  panel2->layout()->addWidget(directLab);
  dirconn_ = Pane(panel2, "dirconn");
  panel2->layout()->addWidget(dirconn_);
  panel2->hide();  // never shown
  left->layout()->addWidget(users_);
  left->layout()->addWidget(panel2);
  auto* right = new QSplitter(Qt::Vertical, middle);
  right->setObjectName("RightPanel");
  comm_ = Pane(right, "comm");
  priv_ = Pane(right, "priv");
  right->addWidget(comm_);
  right->addWidget(priv_);
  right->setStretchFactor(0, 3);
  right->setStretchFactor(1, 2);
  middle->addWidget(left);
  middle->addWidget(right);
  middle->setStretchFactor(0, 1);
  middle->setStretchFactor(1, 4);
  middle->setSizes({200, 800});
  right->setSizes({500, 300});
  column->addWidget(middle, 1);
  findBar_ = new markup::FindBar(this, comm_);
  column->addWidget(findBar_);

  prevPanel_ = LabelledPane(central, "PrevPanelBig", "PrevLab", "prev", 44, &prev_);
  column->addWidget(prevPanel_);
  transPanel_ = LabelledPane(central, "TransPanelBig", "TransLab", "transl", 26, &transl_);
  column->addWidget(transPanel_);

  QWidget* bottom = Panel(central, new QVBoxLayout, "BotPanel");
  auto* row1 = new QHBoxLayout;
  auto* privLab = new QLabel(bottom);
  privLab->setObjectName("PrivLab");
  towhom_ = Pane(bottom, "towhom");
  towhom_->setFixedHeight(24);
  userInfo_ = Button(bottom, "UserInfo", 28);
  userInfo_->setText("?");
  userInfo_->setEnabled(false);
  sendWav_ = Button(bottom, "SendWav", 28);
  sendWav_->setIcon(QIcon(QPixmap::fromImage(resources::Image(11))));
  sendWav_->setEnabled(false);
  row1->addWidget(privLab);
  row1->addWidget(towhom_, 1);
  row1->addWidget(userInfo_);
  row1->addWidget(Button(bottom, "ClearCommon"));
  row1->addWidget(Button(bottom, "ClearPrivate"));
  row1->addWidget(sendWav_);

  auto* row2 = new QHBoxLayout;
  ledPanel_ = new QWidget(bottom);
  ledPanel_->setObjectName("LedPanel");
  ledPanel_->setFixedSize(13, 22);
  ledBox_ = new QWidget(ledPanel_);
  ledBox_->setObjectName("LedBox");
  ledBox_->setGeometry(0, 0, 13, 22);
  ledBox_->installEventFilter(this);
  ledPanel_->installEventFilter(this);
  auto* messLab = new QLabel(bottom);
  messLab->setObjectName("MessLab");
  enter_ = new QLineEdit(bottom);
  enter_->setObjectName("Enter");
  say_ = Button(bottom, "Say");
  say_->setDefault(true);
  say_->setEnabled(false);
  row2->addWidget(ledPanel_);
  row2->addWidget(messLab);
  row2->addWidget(enter_, 1);
  row2->addWidget(say_);

  auto* row3 = new QHBoxLayout;
  for (int i = 0; i < 10; ++i) {
    auto* sm = new QToolButton(bottom);
    sm->setObjectName(QString("Sm%1").arg(i + 1));
    sm->setProperty("tag", i);
    sm->setIcon(QIcon(QPixmap::fromImage(resources::Image(i))));
    sm->setIconSize(QSize(15, 15));
    sm->setAutoRaise(true);
    connect(sm, &QToolButton::clicked, this,
            [this, i] { ApplyEnterState(InsertText(EnterState(), SmileyButtonCode(i))); });
    row3->addWidget(sm);
  }
  auto* audioSize = new QLabel(bottom);
  audioSize->setObjectName("AudioSize");
  row3->addWidget(Button(bottom, "AddSmile"));
  row3->addStretch();
  row3->addWidget(audioSize);
  auto* rows = static_cast<QVBoxLayout*>(bottom->layout());
  rows->addLayout(row1);
  rows->addLayout(row2);
  rows->addLayout(row3);
  column->addWidget(bottom);
  setCentralWidget(central);

  // The online list has no pop-up menu: nothing in it is worth copying,
  // and clearing it would only hide who is there until the next list.
  for (MarkupView* pane : {comm_, priv_}) pane->SetStdPopup(true);
  // What a screen reader calls each pane.
  const std::pair<MarkupView*, std::pair<const char*, const char*>> names[] = {
      {comm_, {"Общий чат", "Common room"}},     {priv_, {"Приват", "Private"}},
      {users_, {"Кто в чате", "Who is online"}}, {dirconn_, {"Прямые соединения", "Direct links"}},
      {topleft_, {"Сайт", "Site"}},              {topright_, {"Архивы", "Archives"}},
      {prev_, {"Предпросмотр", "Preview"}},      {transl_, {"Транслит", "Transliteration"}},
      {towhom_, {"Кому", "Addressees"}}};
  for (const auto& [pane, name] : names) pane->SetPaneName(QString::fromUtf8(name.first), QString::fromUtf8(name.second));
  // What the user types from the start goes into the message line, not
  // into the first pane of the tab order (the site's logo).
  enter_->setFocus();
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &MainWindow::ClipboardChanged);
}

}  // namespace window
