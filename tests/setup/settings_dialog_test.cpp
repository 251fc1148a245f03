// The settings dialog's widgets on the offscreen platform: captions in both
// languages at every show, controls showing the settings and forwarding the
// user's edits, the enabling rules, OK and Cancel, and a picture of every
// page (kept when CHAT_SCREENSHOT_DIR is set).
#include <QAccessible>
#include <QApplication>
#include <QColorDialog>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <stdexcept>

#include <gtest/gtest.h>

#include "markup/ui/color_button.h"
#include "setup/ui/settings_dialog.h"
#include "temp_dir.h"
#include "text/cp1251.h"

using media::SettingsDialog;
using text::W;

namespace {

struct Host : media::SettingsDialogHost {
  bool online = false;
  std::vector<std::string> sent, told;
  int cacheClears = 0;
  bool SocketOpen() override { return online; }
  void SendLine(const std::string& line) override { sent.push_back(line); }
  void ClearPictureCache() override { ++cacheClears; }
  void Beep() override {}
  bool PlayWave(const std::string&) override { return true; }
  bool Ask(const std::string&, const std::string&, bool) override { return true; }
  void Tell(const std::string&, const std::string& text) override { told.push_back(text); }
};

template <class T>
T* Find(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromUtf8(name));
  if (!child) throw std::runtime_error(std::string("no control ") + name);
  return child;
}

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.Load(dir.Path());
    settings.RussianInterface = true;
    dialog = std::make_unique<SettingsDialog>(settings, media::ContactListsRef{friends, blackList}, host);
  }
  void TearDown() override { dialog->hide(); }
  QString Tab(int i) { return Find<QTabWidget>(*dialog, "SetupPages")->tabText(i); }
  template <class T>
  T* F(const char* name) {
    return Find<T>(*dialog, name);
  }

  TempDir dir;
  settings::Settings settings;
  std::vector<std::string> friends, blackList;
  Host host;
  std::unique_ptr<SettingsDialog> dialog;
};

TEST_F(SettingsDialogTest, CaptionsFollowTheLanguageAtEveryShow) {
  dialog->show();
  EXPECT_EQ(dialog->windowTitle(), "Настройки");
  EXPECT_EQ(Tab(0), "Общие");
  EXPECT_EQ(Tab(3), "События");
  EXPECT_EQ(Tab(6), "Инфо");
  EXPECT_EQ(F<QPushButton>("ButOk")->text(), "Ок");
  EXPECT_EQ(F<QGroupBox>("Sex")->title(), "Пол");
  EXPECT_EQ(F<QRadioButton>("Sex1")->text(), "Мужской");
  EXPECT_EQ(F<QListWidget>("MessType")->item(2)->text(), "Вход в OnLine кого-то из списка друзей");
  EXPECT_EQ(F<QCheckBox>("CreateArchive")->text(), "Создавать архив привата");
  EXPECT_TRUE(F<QLabel>("TranslDescr")->text().startsWith("Символ разделитель"));
  dialog->hide();

  settings.RussianInterface = false;
  dialog->show();
  EXPECT_EQ(dialog->windowTitle(), "Settings");
  EXPECT_EQ(Tab(0), "General");
  EXPECT_EQ(Tab(4), "Cache");
  EXPECT_EQ(Tab(6), "Info");
  EXPECT_EQ(F<QPushButton>("ButCancel")->text(), "Cancel");
  EXPECT_EQ(F<QRadioButton>("Sex2")->text(), "Female");
  EXPECT_EQ(F<QListWidget>("MessType")->count(), 4);
  EXPECT_EQ(F<QListWidget>("MessType")->item(0)->text(), "Any message");
  EXPECT_EQ(F<QCheckBox>("CreateArchive")->text(), "Create archive");
  EXPECT_EQ(F<QLabel>("UsPictLab")->text(), "Lifetime of usual pictures in cache(days)");
  EXPECT_EQ(F<QPushButton>("SendInfo")->text(), "Send to server");
  EXPECT_EQ(F<QPushButton>("WavPlay")->text(), "Listen");
  EXPECT_EQ(F<QRadioButton>("WavSnd")->text(), "Sound file");
}

TEST_F(SettingsDialogTest, ColourButtonsAreNamedByTheirSettingForScreenReaders) {
  settings.TextColor = "0000FF";  // red, in the Windows order
  dialog->show();
  auto read = [](QWidget* w, QAccessible::Text t) { return QAccessible::queryAccessibleInterface(w)->text(t); };
  auto* text = F<markup::ColorButton>("TextColor");
  auto* back = F<markup::ColorButton>("BackColor");
  EXPECT_EQ(read(text, QAccessible::Name), "Цвет букв");
  EXPECT_EQ(read(back, QAccessible::Name), "Цвет фона");
  EXPECT_EQ(read(text, QAccessible::Description), "#FF0000");
  EXPECT_EQ(F<QLabel>("LettCol")->buddy(), text);
  // A colour picked in the chooser is told too.
  QTimer::singleShot(0, [] {
    if (auto* chooser = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
      chooser->setCurrentColor(QColor(0, 0x80, 0));
      chooser->accept();
    }
  });
  back->click();
  EXPECT_EQ(read(back, QAccessible::Description), "#008000");
  dialog->hide();
  settings.RussianInterface = false;
  dialog->show();
  EXPECT_EQ(read(text, QAccessible::Name), "Letters color");
  EXPECT_EQ(read(back, QAccessible::Name), "Back. color");
}

TEST_F(SettingsDialogTest, ControlsShowTheSettingsAndOkStoresTheEdits) {
  settings.FontSize = 14;
  settings.Translit = true;
  settings.TextColor = "0000ff";  // red
  settings.Sex = 2;
  settings.Caching.Type = 1;
  settings.CreateArchive = false;
  dialog->show();
  EXPECT_EQ(F<QSlider>("FSize")->value(), 14);
  EXPECT_EQ(F<QLabel>("FSizeValue")->text(), "14");
  EXPECT_EQ(F<markup::ColorButton>("TextColor")->Color(), QColor(255, 0, 0));
  EXPECT_TRUE(F<QRadioButton>("Sex2")->isChecked());
  EXPECT_TRUE(F<QRadioButton>("IECache")->isChecked());
  EXPECT_TRUE(F<QGroupBox>("TransBox")->isEnabled());
  EXPECT_FALSE(F<QGroupBox>("ArchBox")->isEnabled());
  EXPECT_EQ(F<QListWidget>("RepList")->count(), 33);
  EXPECT_FALSE(F<QLineEdit>("Eng")->isEnabled());

  F<QListWidget>("RepList")->setCurrentRow(25);  // ш
  EXPECT_EQ(F<QLabel>("Rus")->text(), "ш");
  EXPECT_EQ(F<QLineEdit>("Eng")->text(), "sh");
  F<QLineEdit>("Eng")->clear();
  QTest::keyClicks(F<QLineEdit>("Eng"), " SHWXYZ");  // five characters fit
  EXPECT_EQ(F<QListWidget>("RepList")->item(25)->text(), "ш -  SHWX");
  F<QCheckBox>("TranslCheck")->click();
  EXPECT_FALSE(F<QGroupBox>("TransBox")->isEnabled());
  F<QCheckBox>("CreateArchive")->click();
  EXPECT_TRUE(F<QGroupBox>("ArchBox")->isEnabled());
  F<QSlider>("FSize")->setValue(20);
  EXPECT_EQ(F<QLabel>("Exam")->font().pointSize(), 20);
  EXPECT_EQ(F<QLabel>("FSizeValue")->text(), "20");
  // A check box's caption beside it toggles it when clicked.
  auto* autoOff = F<QCheckBox>("AutoOffLine");
  const bool wasOff = autoOff->isChecked();
  QTest::mouseClick(F<QLabel>("AutoLab"), Qt::LeftButton);
  EXPECT_NE(autoOff->isChecked(), wasOff);
  F<QRadioButton>("Sex0")->click();
  F<QSpinBox>("ArcLimit")->setValue(33);
  F<QRadioButton>("MyCache")->click();

  F<QPushButton>("ButOk")->click();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(settings.TranslitTable[25], "shwx");
  EXPECT_FALSE(settings.Translit);
  EXPECT_TRUE(settings.CreateArchive);
  EXPECT_EQ(settings.FontSize, 20);
  EXPECT_EQ(settings.Sex, 0);
  EXPECT_EQ(settings.ArcLimit, 33);
  EXPECT_EQ(settings.Caching.Type, 2);
  EXPECT_EQ(settings.TextColor, "0000FF");
}

TEST_F(SettingsDialogTest, ListButtonsFollowTheSelectionAndCancelDiscards) {
  friends = {"bob", "alice"};
  blackList = {"zed"};
  dialog->show();
  auto* off = F<QListWidget>("OffList");
  auto* boff = F<QListWidget>("BOffList");
  ASSERT_EQ(off->count(), 2);
  EXPECT_EQ(off->item(0)->text(), "alice");
  EXPECT_FALSE(F<QPushButton>("ToBlack")->isEnabled());
  EXPECT_FALSE(F<QPushButton>("ToOff")->isEnabled());
  off->setCurrentRow(1);
  EXPECT_TRUE(F<QPushButton>("ToBlack")->isEnabled());
  EXPECT_TRUE(F<QPushButton>("OffDel")->isEnabled());
  F<QPushButton>("ToBlack")->click();
  EXPECT_EQ(off->count(), 1);
  EXPECT_EQ(off->currentRow(), 0);
  EXPECT_EQ(boff->item(0)->text(), "bob");
  // A double click moves back.
  boff->setCurrentRow(1);
  emit boff->itemDoubleClicked(boff->item(1));
  EXPECT_EQ(boff->count(), 1);
  EXPECT_EQ(off->count(), 2);
  EXPECT_EQ(off->item(1)->text(), "zed");

  EXPECT_FALSE(F<QPushButton>("ButAdd")->isEnabled());
  QTest::keyClicks(F<QLineEdit>("ToAdd"), " carol ");
  EXPECT_TRUE(F<QPushButton>("ButAdd")->isEnabled());
  F<QPushButton>("ButAdd")->click();
  EXPECT_EQ(off->count(), 3);

  F<QPushButton>("ButCancel")->click();
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(friends, (std::vector<std::string>{"bob", "alice"}));
  EXPECT_EQ(blackList, std::vector<std::string>{"zed"});

  // Shown again, the dialog starts from the lists, not from the discarded edits.
  dialog->show();
  EXPECT_EQ(F<QListWidget>("BOffList")->count(), 1);
  EXPECT_EQ(F<QLineEdit>("ToAdd")->text(), "");
}

TEST_F(SettingsDialogTest, EventPageEnablesTheSoundControlsPerEvent) {
  dialog->show();
  EXPECT_TRUE(F<QRadioButton>("NoSnd")->isChecked());
  EXPECT_FALSE(F<QPushButton>("WavPlay")->isEnabled());
  F<QListWidget>("MessType")->setCurrentRow(1);
  EXPECT_TRUE(F<QRadioButton>("StdSnd")->isChecked());
  EXPECT_TRUE(F<QPushButton>("WavPlay")->isEnabled());
  EXPECT_TRUE(F<QCheckBox>("StealFocus")->isChecked());
  EXPECT_FALSE(F<QLineEdit>("WavName")->isEnabled());
  F<QListWidget>("MessType")->setCurrentRow(2);
  F<QRadioButton>("WavSnd")->click();
  EXPECT_TRUE(F<QLineEdit>("WavName")->isEnabled());
  EXPECT_TRUE(F<QPushButton>("WavSelect")->isEnabled());
  EXPECT_FALSE(F<QPushButton>("WavPlay")->isEnabled());
  QTest::keyClicks(F<QLineEdit>("WavName"), "ring.wav");
  EXPECT_TRUE(F<QPushButton>("WavPlay")->isEnabled());
  F<QListWidget>("MessType")->setCurrentRow(0);
  EXPECT_EQ(F<QLineEdit>("WavName")->text(), "");
  F<QListWidget>("MessType")->setCurrentRow(2);
  EXPECT_EQ(F<QLineEdit>("WavName")->text(), "ring.wav");
  F<QPushButton>("ButOk")->click();
  EXPECT_EQ(settings.AnswerType[2], 2);
  EXPECT_EQ(settings.Wave[2], "ring.wav");
}

TEST_F(SettingsDialogTest, RunReturnsTrueOnlyForOk) {
  QTimer::singleShot(0, [this] { F<QPushButton>("ButCancel")->click(); });
  EXPECT_FALSE(dialog->Run());
  QTimer::singleShot(0, [this] { F<QPushButton>("ButOk")->click(); });
  EXPECT_TRUE(dialog->Run());
}

TEST_F(SettingsDialogTest, EveryPagePaintsInBothLanguages) {
  settings.BackColor = "00ff00";  // green
  friends = {"alice", "bob"};
  blackList = {"mallory"};
  const char* shots = getenv("CHAT_SCREENSHOT_DIR");
  for (bool russian : {true, false}) {
    settings.RussianInterface = russian;
    dialog->show();
    QApplication::processEvents();
    auto* pages = F<QTabWidget>("SetupPages");
    for (int i = 0; i < pages->count(); ++i) {
      pages->setCurrentIndex(i);
      const QImage shot = dialog->grab().toImage();
      ASSERT_FALSE(shot.isNull());
      if (i == 0) {
        QLabel* exam = F<QLabel>("Exam");
        const QImage example = exam->grab().toImage();
        EXPECT_EQ(example.pixel(2, 2), QColor(0, 255, 0).rgb());
      }
      if (shots)
        shot.save(QString("%1/settings-%2-%3-%4.png")
                      .arg(shots, russian ? "ru" : "en")
                      .arg(i)
                      .arg(pages->widget(i)->objectName()));
    }
    dialog->hide();
  }
}

}  // namespace
