#include "setup/ui/settings_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "markup/ui/color_button.h"
#include "setup/settings_texts.h"
#include "text/cp1251.h"

namespace media {
namespace {

QString Q(const std::string& cp1251) { return QString::fromStdString(text::Cp1251ToUtf8(cp1251)); }
std::string B(const QString& s) { return text::Utf8ToCp1251(s.toStdString()); }

// Checks the button of `id`, or none when no button has it.
void CheckId(QButtonGroup* group, int id) {
  if (QAbstractButton* b = group->button(id)) {
    b->setChecked(true);
    return;
  }
  group->setExclusive(false);
  for (QAbstractButton* b : group->buttons()) b->setChecked(false);
  group->setExclusive(true);
}

void FillList(QListWidget* list, const std::vector<std::string>& items, int current) {
  const QSignalBlocker block(list);
  list->clear();
  for (const std::string& item : items) list->addItem(Q(item));
  list->setCurrentRow(current);
}

void SetTextKeepingCaret(QLineEdit* edit, const QString& value) {
  if (edit->text() == value) return;
  const QSignalBlocker block(edit);
  edit->setText(value);
}

}  // namespace

SettingsDialog::SettingsDialog(settings::Settings& settings, ContactListsRef contacts, SettingsDialogHost& host,
                               QWidget* parent)
    : QDialog(parent), settings_(settings), editor_(std::make_unique<SettingsEditor>(settings, contacts, host)) {
  setObjectName("SetupFrm");
  auto* v = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->setObjectName("SetupPages");
  for (QWidget* page : {BuildCommon(), BuildTranslit(), BuildOffLine(), BuildNotifications(), BuildCaching(),
                        BuildArchive(), BuildInfo(), BuildServer()})
    pages_->addTab(page, QString());
  v->addWidget(pages_, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  ok_ = new QPushButton(this);
  ok_->setObjectName("ButOk");
  ok_->setDefault(true);
  auto* cancel = new QPushButton(this);
  cancel->setObjectName("ButCancel");
  bottom->addWidget(ok_);
  bottom->addWidget(cancel);
  v->addLayout(bottom);
  connect(ok_, &QPushButton::clicked, this, &SettingsDialog::OkClick);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  WireCommon();
  WireTranslit();
  WireOffLine();
  WireNotifications();
  WireOthers();
  WireServer();
  resize(680, 520);
}

SettingsDialog::~SettingsDialog() = default;

bool SettingsDialog::Run() {
  QPointer<SettingsDialog> self(this);
  const int result = exec();
  return self && result == QDialog::Accepted;
}

void SettingsDialog::showEvent(QShowEvent* event) {
  // A window restored from minimised is shown again by the system; what
  // the user has edited since the dialog opened must stay.
  if (!event->spontaneous()) Prepare();
  QDialog::showEvent(event);
}

void SettingsDialog::Prepare() {
  ApplyCaptions();
  editor_->Load();
  SyncAll();
  layout()->activate();  // the new captions' sizes before the first paint
}

void SettingsDialog::ApplyCaptions() {
  const bool russian = settings_.RussianInterface;
  for (const SettingsCaption& c : SettingsCaptions()) {
    const QString value = QString::fromUtf8(russian ? c.russian : c.english);
    const QString name = QString::fromUtf8(c.control);
    if (name == "SettingsDialog") {
      setWindowTitle(value);
      continue;
    }
    QWidget* w = findChild<QWidget*>(name);
    if (!w) continue;
    if (const int tab = pages_->indexOf(w); tab >= 0)
      pages_->setTabText(tab, value);
    else if (auto* box = qobject_cast<QGroupBox*>(w))
      box->setTitle(value);
    else if (auto* label = qobject_cast<QLabel*>(w))
      label->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
      button->setText(value);
  }
  const std::vector<std::string> sexes = SexItems(russian);
  for (int i = 0; i < 3; ++i) sex_->button(i)->setText(QString::fromStdString(sexes[i]));
  const QSignalBlocker block(messType_);
  messType_->clear();
  for (const std::string& item : EventItems(russian)) messType_->addItem(QString::fromStdString(item));
  translDescr_->setText(QString::fromUtf8(TranslitDescription(russian)));
}

// ---- showing the working copy ----

void SettingsDialog::SyncAll() {
  const SettingsEditor& e = *editor_;
  {
    const QSignalBlocker b1(fontSize_), b2(sex_), b3(hilightMoves_), b4(remPass_);
    textColor_->SetColorValue(e.textColor);
    backColor_->SetColorValue(e.backColor);
    fontSize_->setValue(e.fontSize);
    SetTextKeepingCaret(hello_, Q(e.helloText));
    CheckId(sex_, e.sex);
    hilightMoves_->setChecked(e.hilightMoves);
    remPass_->setChecked(e.rememberPassword);
  }
  SyncExample();
  {
    const QSignalBlocker b1(translCheck_);
    translCheck_->setChecked(e.translit);
    FillList(repList_, e.repList, e.letter);
    SetTextKeepingCaret(divider_, Q(e.divider));
  }
  SyncTranslit();
  {
    const QSignalBlocker b1(autoOffLine_), b2(filterAll_);
    autoOffLine_->setChecked(e.autoOffLine);
    filterAll_->setChecked(e.filterAll);
    SetTextKeepingCaret(goAway_, Q(e.goAway));
  }
  SyncLists();
  {
    const QSignalBlocker b1(messType_), b2(playNow_);
    messType_->setCurrentRow(e.event);
    playNow_->setChecked(e.playNow);
  }
  SyncEvent();
  {
    const QSignalBlocker b1(cache_), b2(timeToCache_), b3(timeToCacheQel_);
    CheckId(cache_, e.cacheType);
    timeToCache_->setValue(e.nqelTime);
    timeToCacheQel_->setValue(e.qelTime);
    clrCache_->setEnabled(e.clrCacheEnabled);
  }
  {
    const QSignalBlocker b1(createArchive_), b2(arcLimit_), b3(arcView_), b4(sndArchiving_), b5(zipEnable_);
    createArchive_->setChecked(e.createArchive);
    arcLimit_->setValue(e.arcLimit);
    arcView_->setValue(e.arcView);
    sndArchiving_->setChecked(e.sndArchiving);
    zipEnable_->setChecked(e.zipEnable);
  }
  SyncArchive();
  {
    const QSignalBlocker b1(privInfo_);
    QStringList lines;
    for (const std::string& line : e.privInfo) lines << Q(line);
    privInfo_->setPlainText(lines.join('\n'));
  }
  SyncServer(true);
}

void SettingsDialog::SyncExample() {
  QPalette p = exam_->palette();
  p.setColor(QPalette::Window, backColor_->Color());
  p.setColor(QPalette::WindowText, textColor_->Color());
  exam_->setPalette(p);
  QFont f = exam_->font();
  f.setPointSize(editor_->fontSize);
  exam_->setFont(f);
  fontSizeValue_->setNum(editor_->fontSize);
  // A screen reader names each colour button by the setting it holds (its
  // label, in the interface language) and tells the colour.
  for (auto [button, label] : {std::pair{textColor_, "LettCol"}, std::pair{backColor_, "BackCol"}}) {
    if (const auto* caption = findChild<QLabel*>(label)) {
      QString name = caption->text();
      if (name.endsWith(QLatin1Char(':'))) name.chop(1);
      button->setAccessibleName(name);
    }
    button->setAccessibleDescription(button->Color().name(QColor::HexRgb).toUpper());
  }
}

void SettingsDialog::SyncTranslit() {
  const SettingsEditor& e = *editor_;
  transBox_->setEnabled(e.translit);
  rus_->setText(Q(e.RusText()));
  SetTextKeepingCaret(eng_, Q(e.EngText()));
  eng_->setEnabled(e.EngEnabled());
}

void SettingsDialog::SyncLists() {
  const SettingsEditor& e = *editor_;
  FillList(offList_, e.friends, e.friendIndex);
  FillList(bOffList_, e.blackList, e.blackIndex);
  offDel_->setEnabled(e.OffDelEnabled());
  toBlack_->setEnabled(e.ToBlackEnabled());
  bOffDel_->setEnabled(e.BOffDelEnabled());
  toOff_->setEnabled(e.ToOffEnabled());
  SetTextKeepingCaret(toAdd_, Q(e.toAdd));
  butAdd_->setEnabled(e.ButAddEnabled());
}

void SettingsDialog::SyncEvent() {
  const SettingsEditor& e = *editor_;
  const QSignalBlocker b1(reaction_), b2(stealFocus_);
  CheckId(reaction_, e.answerType[e.event]);
  wavName_->setEnabled(e.WavNameEnabled());
  wavSelect_->setEnabled(e.WavNameEnabled());
  wavPlay_->setEnabled(e.WavPlayEnabled());
  SetTextKeepingCaret(wavName_, Q(e.wave[e.event]));
  stealFocus_->setChecked(e.stealFocus[e.event]);
}

void SettingsDialog::SyncArchive() {
  archBox_->setEnabled(editor_->createArchive);
  clrArchive_->setEnabled(editor_->clrArchiveEnabled);
}

// ---- forwarding the controls ----

void SettingsDialog::WireCommon() {
  auto colorChanged = [this] {
    editor_->textColor = textColor_->ColorValue();
    editor_->backColor = backColor_->ColorValue();
    SyncExample();
  };
  connect(textColor_, &markup::ColorButton::Changed, this, colorChanged);
  connect(backColor_, &markup::ColorButton::Changed, this, colorChanged);
  connect(fontSize_, &QSlider::valueChanged, this, [this](int size) {
    editor_->fontSize = size;
    SyncExample();
  });
  connect(hello_, &QLineEdit::textChanged, this, [this](const QString& s) { editor_->helloText = B(s); });
  connect(sex_, &QButtonGroup::idClicked, this, [this](int id) { editor_->sex = id; });
  connect(hilightMoves_, &QCheckBox::toggled, this, [this](bool on) { editor_->hilightMoves = on; });
  connect(remPass_, &QCheckBox::toggled, this, [this](bool on) { editor_->rememberPassword = on; });
}

void SettingsDialog::WireTranslit() {
  connect(translCheck_, &QCheckBox::toggled, this, [this](bool on) {
    editor_->translit = on;
    SyncTranslit();
  });
  connect(repList_, &QListWidget::currentRowChanged, this, [this](int row) {
    editor_->SelectLetter(row);
    SyncTranslit();
  });
  connect(eng_, &QLineEdit::textChanged, this, [this](const QString& s) {
    editor_->SetEng(B(s));
    if (editor_->letter >= 0) repList_->item(editor_->letter)->setText(Q(editor_->repList[editor_->letter]));
  });
  connect(defaults_, &QPushButton::clicked, this, [this] {
    if (!editor_->RestoreDefaults()) return;
    FillList(repList_, editor_->repList, editor_->letter);
    SyncTranslit();
  });
  connect(divider_, &QLineEdit::textChanged, this, [this](const QString& s) { editor_->divider = B(s); });
}

void SettingsDialog::WireOffLine() {
  auto act = [this](void (SettingsEditor::*op)()) {
    return [this, op] {
      (editor_.get()->*op)();
      SyncLists();
    };
  };
  connect(offList_, &QListWidget::currentRowChanged, this, [this](int row) {
    editor_->SelectFriend(row);
    SyncLists();
  });
  connect(bOffList_, &QListWidget::currentRowChanged, this, [this](int row) {
    editor_->SelectBlack(row);
    SyncLists();
  });
  connect(toBlack_, &QPushButton::clicked, this, act(&SettingsEditor::ToBlack));
  connect(toOff_, &QPushButton::clicked, this, act(&SettingsEditor::ToOff));
  connect(offDel_, &QPushButton::clicked, this, act(&SettingsEditor::DeleteFriend));
  connect(bOffDel_, &QPushButton::clicked, this, act(&SettingsEditor::DeleteBlack));
  connect(butAdd_, &QPushButton::clicked, this, act(&SettingsEditor::AddFriend));
  // A double click moves the item when its button could.
  connect(offList_, &QListWidget::itemDoubleClicked, this, [this] {
    if (toBlack_->isEnabled()) toBlack_->click();
  });
  connect(bOffList_, &QListWidget::itemDoubleClicked, this, [this] {
    if (toOff_->isEnabled()) toOff_->click();
  });
  connect(toAdd_, &QLineEdit::textChanged, this, [this](const QString& s) {
    editor_->toAdd = B(s);
    butAdd_->setEnabled(editor_->ButAddEnabled());
  });
  connect(goAway_, &QLineEdit::textChanged, this, [this](const QString& s) {
    editor_->goAway = B(s);
    butAdd_->setEnabled(editor_->ButAddEnabled());
  });
  connect(autoOffLine_, &QCheckBox::toggled, this, [this](bool on) { editor_->autoOffLine = on; });
  connect(filterAll_, &QCheckBox::toggled, this, [this](bool on) { editor_->filterAll = on; });
}

void SettingsDialog::WireNotifications() {
  connect(messType_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    editor_->SelectEvent(row);
    SyncEvent();
  });
  connect(reaction_, &QButtonGroup::idClicked, this, [this](int tag) {
    editor_->SetAnswerType(tag);
    SyncEvent();
  });
  connect(wavSelect_, &QPushButton::clicked, this, &SettingsDialog::ChooseSound);
  connect(wavName_, &QLineEdit::textChanged, this, [this](const QString& s) {
    editor_->SetWave(B(s));
    wavPlay_->setEnabled(editor_->WavPlayEnabled());
  });
  connect(wavPlay_, &QPushButton::clicked, this, [this] { editor_->PlayWave(); });
  connect(stealFocus_, &QCheckBox::clicked, this, [this](bool on) { editor_->SetStealFocus(on); });
  connect(playNow_, &QCheckBox::toggled, this, [this](bool on) { editor_->playNow = on; });
}

void SettingsDialog::WireOthers() {
  connect(cache_, &QButtonGroup::idClicked, this, [this](int id) { editor_->cacheType = id; });
  connect(timeToCache_, &QSpinBox::valueChanged, this, [this](int v) { editor_->nqelTime = v; });
  connect(timeToCacheQel_, &QSpinBox::valueChanged, this, [this](int v) { editor_->qelTime = v; });
  connect(clrCache_, &QPushButton::clicked, this, [this] {
    editor_->ClearCache();
    clrCache_->setEnabled(editor_->clrCacheEnabled);
  });
  connect(createArchive_, &QCheckBox::toggled, this, [this](bool on) {
    editor_->createArchive = on;
    SyncArchive();
  });
  connect(arcLimit_, &QSpinBox::valueChanged, this, [this](int v) { editor_->arcLimit = v; });
  connect(arcView_, &QSpinBox::valueChanged, this, [this](int v) { editor_->arcView = v; });
  connect(sndArchiving_, &QCheckBox::toggled, this, [this](bool on) { editor_->sndArchiving = on; });
  connect(zipEnable_, &QCheckBox::toggled, this, [this](bool on) { editor_->zipEnable = on; });
  connect(clrArchive_, &QPushButton::clicked, this, [this] {
    editor_->ClearArchive();
    SyncArchive();
  });
  connect(privInfo_, &QPlainTextEdit::textChanged, this, [this] {
    const QString all = privInfo_->toPlainText();
    editor_->privInfo.clear();
    if (!all.isEmpty())
      for (const QString& line : all.split('\n')) editor_->privInfo.push_back(B(line));
  });
  connect(sendInfo_, &QPushButton::clicked, this, [this] { editor_->SendInfo(); });
}

void SettingsDialog::ChooseSound() {
  const bool russian = settings_.RussianInterface;
  QPointer<SettingsDialog> self(this);
  QFileDialog chooser(this, QString::fromUtf8(SoundChooserTitle(russian)), ".",
                      QString::fromUtf8(SoundChooserFilter(russian)));
  chooser.setObjectName("GetSound");
  chooser.setDefaultSuffix("wav");
  chooser.setFileMode(QFileDialog::ExistingFile);
  const bool ok = chooser.exec() == QDialog::Accepted;
  if (!self || !ok || chooser.selectedFiles().isEmpty()) return;
  editor_->SetWave(B(chooser.selectedFiles().front()));
  SyncEvent();
}

void SettingsDialog::OkClick() {
  QPointer<SettingsDialog> self(this);
  editor_->Ok();  // may ask about the cache
  if (self) accept();
}

}  // namespace media
