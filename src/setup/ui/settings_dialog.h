#pragma once
// SettingsDialog: the modal settings dialog with its eight pages.  Every
// control shows a field of the SettingsEditor and forwards its changes
// there; OK lets the editor store everything.  One instance lives as long
// as the program and is shown again for each use.
#include <QDialog>
#include <memory>

#include "setup/settings_editor.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QGroupBox;

namespace markup {
class ColorButton;
}

namespace media {

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  SettingsDialog(settings::Settings& settings, ContactListsRef contacts, SettingsDialogHost& host,
                 QWidget* parent = nullptr);
  ~SettingsDialog() override;

  // Shows the dialog modally; true when it ended with OK.
  bool Run();
  SettingsEditor& Editor() { return *editor_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* BuildCommon();
  QWidget* BuildTranslit();
  QWidget* BuildOffLine();
  QWidget* BuildNotifications();
  QWidget* BuildCaching();
  QWidget* BuildArchive();
  QWidget* BuildInfo();
  QWidget* BuildServer();
  void WireCommon();
  void WireTranslit();
  void WireOffLine();
  void WireNotifications();
  void WireOthers();
  void WireServer();

  // The steps of showing: captions, working copy, every control.
  void Prepare();
  void ApplyCaptions();
  void SyncAll();
  void SyncExample();
  void SyncTranslit();
  void SyncLists();
  void SyncEvent();
  void SyncArchive();
  // The server page: its fields from the working copy when `fields`, and
  // OK allowed only with a usable address.
  void SyncServer(bool fields);
  void ChooseSound();
  void OkClick();

  settings::Settings& settings_;
  std::unique_ptr<SettingsEditor> editor_;

  QTabWidget* pages_ = nullptr;
  // Common
  markup::ColorButton* textColor_ = nullptr;
  markup::ColorButton* backColor_ = nullptr;
  QLabel* exam_ = nullptr;
  QSlider* fontSize_ = nullptr;
  QLabel* fontSizeValue_ = nullptr;  // the slider's value as a number
  QLineEdit* hello_ = nullptr;
  QGroupBox* sexBox_ = nullptr;
  QButtonGroup* sex_ = nullptr;
  QCheckBox* hilightMoves_ = nullptr;
  QCheckBox* remPass_ = nullptr;
  // Translit
  QCheckBox* translCheck_ = nullptr;
  QGroupBox* transBox_ = nullptr;
  QListWidget* repList_ = nullptr;
  QLabel* rus_ = nullptr;
  QLineEdit* eng_ = nullptr;
  QPushButton* defaults_ = nullptr;
  QLineEdit* divider_ = nullptr;
  QLabel* translDescr_ = nullptr;
  // OffLine
  QListWidget* offList_ = nullptr;
  QListWidget* bOffList_ = nullptr;
  QPushButton* toBlack_ = nullptr;
  QPushButton* toOff_ = nullptr;
  QPushButton* offDel_ = nullptr;
  QPushButton* bOffDel_ = nullptr;
  QLineEdit* toAdd_ = nullptr;
  QPushButton* butAdd_ = nullptr;
  QCheckBox* autoOffLine_ = nullptr;
  QCheckBox* filterAll_ = nullptr;
  QLineEdit* goAway_ = nullptr;
  // Notifications
  QListWidget* messType_ = nullptr;
  QButtonGroup* reaction_ = nullptr;
  QLineEdit* wavName_ = nullptr;
  QPushButton* wavSelect_ = nullptr;
  QPushButton* wavPlay_ = nullptr;
  QCheckBox* stealFocus_ = nullptr;
  QCheckBox* playNow_ = nullptr;
  // Caching
  QButtonGroup* cache_ = nullptr;
  QSpinBox* timeToCache_ = nullptr;
  QSpinBox* timeToCacheQel_ = nullptr;
  QPushButton* clrCache_ = nullptr;
  // Archive
  QCheckBox* createArchive_ = nullptr;
  QGroupBox* archBox_ = nullptr;
  QSpinBox* arcLimit_ = nullptr;
  QSpinBox* arcView_ = nullptr;
  QCheckBox* sndArchiving_ = nullptr;
  QPushButton* clrArchive_ = nullptr;
  QCheckBox* zipEnable_ = nullptr;
  // TabInfo
  QPlainTextEdit* privInfo_ = nullptr;
  QPushButton* sendInfo_ = nullptr;
  // Server
  QLineEdit* serverHost_ = nullptr;
  QSpinBox* serverPort_ = nullptr;
  QLineEdit* chatDir_ = nullptr;
  QLabel* serverProblem_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace media
