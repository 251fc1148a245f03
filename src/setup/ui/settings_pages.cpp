// The seven pages of the settings dialog: their controls, object names and
// layout.  Captions come from the caption table when the dialog is shown;
// the texts given here are the ones that stay Russian.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "markup/ui/color_button.h"
#include "setup/ui/settings_dialog.h"

namespace media {
namespace {

template <class T>
T* Named(const char* name, QWidget* parent) {
  auto* w = new T(parent);
  w->setObjectName(name);
  return w;
}

QWidget* Page(const char* name) {
  auto* page = new QWidget;
  page->setObjectName(name);
  return page;
}

QLabel* Label(const char* name, QWidget* parent) {
  auto* label = Named<QLabel>(name, parent);
  label->setWordWrap(true);
  return label;
}

QRadioButton* Radio(const char* name, QButtonGroup* group, int tag, QWidget* parent) {
  auto* radio = Named<QRadioButton>(name, parent);
  group->addButton(radio, tag);
  return radio;
}

// The caption of a check box that is a label of its own: a click on it
// toggles the box, as a click on a check box's own text does.
class ToggleLabel : public QLabel {
 public:
  ToggleLabel(QCheckBox* check, QWidget* parent) : QLabel(parent), check_(check) {
    setBuddy(check);
    setWordWrap(true);
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && check_->isEnabled())
      check_->click();
    QLabel::mouseReleaseEvent(event);
  }

 private:
  QCheckBox* check_;
};

QHBoxLayout* CheckWithLabel(QCheckBox* check, const char* labelName, QWidget* parent) {
  auto* row = new QHBoxLayout;
  auto* label = new ToggleLabel(check, parent);
  label->setObjectName(labelName);
  row->addWidget(check);
  row->addWidget(label, 1);
  return row;
}

}  // namespace

QWidget* SettingsDialog::BuildCommon() {
  QWidget* page = Page("Common");
  auto* v = new QVBoxLayout(page);

  auto* colorBox = Named<QGroupBox>("ColorBox", page);
  auto* grid = new QGridLayout(colorBox);
  textColor_ = Named<markup::ColorButton>("TextColor", colorBox);
  backColor_ = Named<markup::ColorButton>("BackColor", colorBox);
  QLabel* lettCol = Label("LettCol", colorBox);
  QLabel* backCol = Label("BackCol", colorBox);
  lettCol->setBuddy(textColor_);
  backCol->setBuddy(backColor_);
  grid->addWidget(lettCol, 0, 0);
  grid->addWidget(textColor_, 0, 1);
  grid->addWidget(backCol, 1, 0);
  grid->addWidget(backColor_, 1, 1);
  grid->addWidget(Label("FSLab", colorBox), 2, 0);
  fontSize_ = new QSlider(Qt::Horizontal, colorBox);
  fontSize_->setObjectName("FSize");
  fontSize_->setRange(1, 40);
  fontSizeValue_ = Named<QLabel>("FSizeValue", colorBox);
  fontSizeValue_->setMinimumWidth(fontSizeValue_->fontMetrics().horizontalAdvance("40") + 4);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(fontSize_, 1);
  sizeRow->addWidget(fontSizeValue_);
  grid->addLayout(sizeRow, 2, 1, 1, 2);
  exam_ = Named<QLabel>("Exam", colorBox);
  exam_->setAutoFillBackground(true);
  exam_->setAlignment(Qt::AlignCenter);
  exam_->setMinimumSize(180, 48);
  grid->addWidget(exam_, 0, 2, 2, 1);
  v->addWidget(colorBox);

  auto* helloBox = Named<QGroupBox>("HelloBox", page);
  auto* hv = new QVBoxLayout(helloBox);
  hv->addWidget(Label("SayLab", helloBox));
  hello_ = Named<QLineEdit>("HelloTxt", helloBox);
  hv->addWidget(hello_);
  hv->addWidget(Label("SayHnt", helloBox));
  v->addWidget(helloBox);

  auto* row = new QHBoxLayout;
  sexBox_ = Named<QGroupBox>("Sex", page);
  sex_ = new QButtonGroup(this);
  auto* sv = new QVBoxLayout(sexBox_);
  for (int i = 0; i < 3; ++i) {
    const std::string name = "Sex" + std::to_string(i);
    sv->addWidget(Radio(name.c_str(), sex_, i, sexBox_));
  }
  row->addWidget(sexBox_);
  auto* gameBox = Named<QGroupBox>("GameBox", page);
  auto* gv = new QVBoxLayout(gameBox);
  hilightMoves_ = Named<QCheckBox>("HilightMoves", gameBox);
  gv->addWidget(hilightMoves_);
  gv->addStretch();
  row->addWidget(gameBox);
  v->addLayout(row);

  remPass_ = Named<QCheckBox>("RemPass", page);
  v->addWidget(remPass_);
  v->addStretch();
  return page;
}

QWidget* SettingsDialog::BuildTranslit() {
  QWidget* page = Page("Translit");
  auto* v = new QVBoxLayout(page);
  translCheck_ = Named<QCheckBox>("TranslCheck", page);
  v->addWidget(translCheck_);
  transBox_ = Named<QGroupBox>("TransBox", page);
  auto* grid = new QGridLayout(transBox_);
  repList_ = Named<QListWidget>("RepList", transBox_);
  grid->addWidget(repList_, 0, 0, 5, 1);
  rus_ = Named<QLabel>("Rus", transBox_);
  QFont big = rus_->font();
  big.setPointSize(big.pointSize() * 2);
  big.setBold(true);
  rus_->setFont(big);
  rus_->setMinimumWidth(30);
  grid->addWidget(rus_, 0, 1);
  eng_ = Named<QLineEdit>("Eng", transBox_);
  eng_->setMaxLength(SettingsEditor::kEngMaxLength);
  grid->addWidget(eng_, 0, 2);
  defaults_ = Named<QPushButton>("Defaults", transBox_);
  grid->addWidget(defaults_, 1, 1, 1, 2);
  grid->addWidget(Label("DivLab", transBox_), 2, 1);
  divider_ = Named<QLineEdit>("Divider", transBox_);
  divider_->setMaxLength(1);
  divider_->setMaximumWidth(40);
  grid->addWidget(divider_, 2, 2);
  translDescr_ = Label("TranslDescr", transBox_);
  grid->addWidget(translDescr_, 3, 1, 2, 2);
  grid->setColumnStretch(2, 1);
  v->addWidget(transBox_, 1);
  return page;
}

QWidget* SettingsDialog::BuildOffLine() {
  QWidget* page = Page("OffLine");
  auto* v = new QVBoxLayout(page);
  auto* lists = new QHBoxLayout;
  auto* frBox = Named<QGroupBox>("FrBox", page);
  auto* fv = new QVBoxLayout(frBox);
  offList_ = Named<QListWidget>("OffList", frBox);
  offDel_ = Named<QPushButton>("OffDel", frBox);
  fv->addWidget(offList_);
  fv->addWidget(offDel_);
  lists->addWidget(frBox, 1);
  auto* moves = new QVBoxLayout;
  toBlack_ = Named<QPushButton>("ToBlack", page);
  toBlack_->setText(">>");
  toOff_ = Named<QPushButton>("ToOff", page);
  toOff_->setText("<<");
  moves->addStretch();
  moves->addWidget(toBlack_);
  moves->addWidget(toOff_);
  moves->addStretch();
  lists->addLayout(moves);
  auto* offBox = Named<QGroupBox>("OffBox", page);
  auto* bv = new QVBoxLayout(offBox);
  bOffList_ = Named<QListWidget>("BOffList", offBox);
  bOffDel_ = Named<QPushButton>("BOffDel", offBox);
  bv->addWidget(bOffList_);
  bv->addWidget(bOffDel_);
  lists->addWidget(offBox, 1);
  v->addLayout(lists, 1);

  auto* add = new QHBoxLayout;
  add->addWidget(Label("FrNameLab", page));
  toAdd_ = Named<QLineEdit>("ToAdd", page);
  add->addWidget(toAdd_, 1);
  butAdd_ = Named<QPushButton>("ButAdd", page);
  add->addWidget(butAdd_);
  v->addLayout(add);
  autoOffLine_ = Named<QCheckBox>("AutoOffLine", page);
  v->addLayout(CheckWithLabel(autoOffLine_, "AutoLab", page));
  filterAll_ = Named<QCheckBox>("FilterAll", page);
  v->addLayout(CheckWithLabel(filterAll_, "FiltLab", page));
  v->addWidget(Label("GoAwayLab", page));
  goAway_ = Named<QLineEdit>("GoAway", page);
  v->addWidget(goAway_);
  return page;
}

QWidget* SettingsDialog::BuildNotifications() {
  QWidget* page = Page("Notifications");
  auto* v = new QVBoxLayout(page);
  v->addWidget(Label("SobLab", page));
  messType_ = Named<QListWidget>("MessType", page);
  messType_->setMaximumHeight(90);
  v->addWidget(messType_);

  auto* reactionBox = Named<QGroupBox>("Reaction", page);
  auto* rv = new QVBoxLayout(reactionBox);
  reaction_ = new QButtonGroup(this);
  rv->addWidget(Radio("NoSnd", reaction_, 0, reactionBox));
  rv->addWidget(Radio("StdSnd", reaction_, 1, reactionBox));
  QRadioButton* wavSnd = Radio("WavSnd", reaction_, 2, reactionBox);
  rv->addWidget(wavSnd);
  stealFocus_ = Named<QCheckBox>("StealFocus", reactionBox);
  rv->addWidget(stealFocus_);
  v->addWidget(reactionBox);

  auto* soundBox = Named<QGroupBox>("Sound", page);
  auto* sh = new QHBoxLayout(soundBox);
  wavName_ = Named<QLineEdit>("WavName", soundBox);
  wavSelect_ = Named<QPushButton>("WavSelect", soundBox);
  wavSelect_->setText("...");
  wavSelect_->setMaximumWidth(32);
  wavPlay_ = Named<QPushButton>("WavPlay", soundBox);
  sh->addWidget(wavName_, 1);
  sh->addWidget(wavSelect_);
  sh->addWidget(wavPlay_);
  v->addWidget(soundBox);

  playNow_ = Named<QCheckBox>("PlayNow", page);
  v->addWidget(playNow_);
  v->addStretch();
  return page;
}

QWidget* SettingsDialog::BuildCaching() {
  QWidget* page = Page("Caching");
  auto* v = new QVBoxLayout(page);
  auto* cachBox = Named<QGroupBox>("CachBox", page);
  auto* cv = new QVBoxLayout(cachBox);
  cache_ = new QButtonGroup(this);
  cv->addWidget(Radio("NoCache", cache_, 0, cachBox));
  cv->addWidget(Radio("IECache", cache_, 1, cachBox));
  cv->addWidget(Radio("MyCache", cache_, 2, cachBox));
  v->addWidget(cachBox);
  auto* grid = new QGridLayout;
  timeToCache_ = Named<QSpinBox>("TimeToCache", page);
  timeToCacheQel_ = Named<QSpinBox>("TimeToCacheQEL", page);
  for (QSpinBox* spin : {timeToCache_, timeToCacheQel_}) spin->setRange(0, 9999);
  grid->addWidget(Label("UsPictLab", page), 0, 0);
  grid->addWidget(timeToCache_, 0, 1);
  grid->addWidget(Label("QelPictLab", page), 1, 0);
  grid->addWidget(timeToCacheQel_, 1, 1);
  grid->setColumnStretch(0, 1);
  v->addLayout(grid);
  clrCache_ = Named<QPushButton>("ClrCache", page);
  v->addWidget(clrCache_, 0, Qt::AlignLeft);
  v->addStretch();
  return page;
}

QWidget* SettingsDialog::BuildArchive() {
  QWidget* page = Page("Archive");
  auto* v = new QVBoxLayout(page);
  createArchive_ = Named<QCheckBox>("CreateArchive", page);
  v->addWidget(createArchive_);
  archBox_ = Named<QGroupBox>("ArchBox", page);
  auto* grid = new QGridLayout(archBox_);
  arcLimit_ = Named<QSpinBox>("ArcLimit", archBox_);
  arcLimit_->setRange(2, 1000);
  arcView_ = Named<QSpinBox>("ArcView", archBox_);
  arcView_->setRange(10, 500);
  arcView_->setSingleStep(5);
  grid->addWidget(Label("LabArLim", archBox_), 0, 0);
  grid->addWidget(arcLimit_, 0, 1);
  grid->addWidget(Label("MegLab", archBox_), 0, 2);
  grid->addWidget(Label("LabArView", archBox_), 1, 0);
  grid->addWidget(arcView_, 1, 1);
  grid->addWidget(Label("KilLab", archBox_), 1, 2);
  sndArchiving_ = Named<QCheckBox>("SndArchiving", archBox_);
  grid->addWidget(sndArchiving_, 2, 0, 1, 3);
  clrArchive_ = Named<QPushButton>("ButClrArchive", archBox_);
  grid->addWidget(clrArchive_, 3, 0, 1, 1, Qt::AlignLeft);
  grid->setColumnStretch(0, 1);
  v->addWidget(archBox_);
  zipEnable_ = Named<QCheckBox>("ZipEnable", page);
  v->addWidget(zipEnable_);
  v->addStretch();
  return page;
}

QWidget* SettingsDialog::BuildInfo() {
  QWidget* page = Page("TabInfo");
  auto* v = new QVBoxLayout(page);
  privInfo_ = Named<QPlainTextEdit>("PrivInfo", page);
  v->addWidget(privInfo_, 1);
  sendInfo_ = Named<QPushButton>("SendInfo", page);
  v->addWidget(sendInfo_, 0, Qt::AlignRight);
  return page;
}

}  // namespace media
