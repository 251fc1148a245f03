#include "transfer/ui/picture_windows.h"

#include <QCheckBox>
#include <QEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>
#include "transfer/transfer_texts.h"
#include "text/cp1251.h"

namespace transfer {

namespace {

QString ShownQ(const text::ShownText& t) { return QString::fromStdString(text::Cp1251ToUtf8(text::Shown(t))); }

std::vector<PictureRecoder*>& Recoders() {
  static std::vector<PictureRecoder*> list;
  return list;
}
std::vector<PictureWindow*>& Viewers() {
  static std::vector<PictureWindow*> list;
  return list;
}
ViewerLimits& Limits() {
  static ViewerLimits limits;
  return limits;
}
int64_t Pixels(const QImage& image) { return int64_t(image.width()) * image.height(); }

QScrollArea* MakeScroll(QWidget* parent, QLabel** image) {
  auto* scroll = new QScrollArea(parent);
  scroll->setObjectName("Scroll");
  scroll->setAlignment(Qt::AlignCenter);
  scroll->setWidgetResizable(false);
  *image = new QLabel;
  (*image)->setObjectName("Image");
  (*image)->setScaledContents(true);
  scroll->setWidget(*image);
  return scroll;
}

}  // namespace

PicturePreview::PicturePreview(QScrollArea* scroll, QLabel* image)
    : QObject(scroll), scroll_(scroll), viewport_(scroll->viewport()), image_(image) {
  viewport_->installEventFilter(this);
  // Once the viewport is gone nothing is asked of the box either.
  QObject::connect(viewport_, &QObject::destroyed, this, [this] {
    viewport_ = nullptr;
    scroll_ = nullptr;
  });
}

void PicturePreview::Show(const QImage& picture, bool oneToOne) {
  if (picture.isNull()) return;
  picture_ = picture;
  oneToOne_ = oneToOne;
  image_->setPixmap(QPixmap::fromImage(picture_));
  Place();
}

// The scroll area shows a bar exactly when the picture is larger than the
// box on that side, and centres it otherwise.
void PicturePreview::Place() {
  if (picture_.isNull() || !scroll_) return;
  // Without bars: the size the box has when the picture fits.
  const QSize box = scroll_->maximumViewportSize();
  image_->resize(PlacePreview(picture_.size(), box, oneToOne_).rect.size());
}

bool PicturePreview::eventFilter(QObject* watched, QEvent* event) {
  if (viewport_ && watched == viewport_ && event->type() == QEvent::Resize && !oneToOne_) Place();
  return false;
}

// ---- the recode window --------------------------------------------------------------

PictureRecoder* PictureRecoder::Open(std::string source, SendFunction send, bool sendEnabled) {
  auto* window = new PictureRecoder(std::move(send));
  if (!window->model_.SetSource(std::move(source))) {
    delete window;
    return nullptr;
  }
  window->sendButton_->setEnabled(sendEnabled);
  window->Apply();
  window->show();
  return window;
}

PictureRecoder::PictureRecoder(SendFunction send) : send_(std::move(send)) {
  setObjectName("CodeImage");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowTitle(ShownQ(texts::kRecoderTitle));
  resize(480, 400);
  Recoders().push_back(this);

  auto* layout = new QVBoxLayout(this);
  scroll_ = MakeScroll(this, &image_);
  scroll_->setObjectName("ResScroll");
  image_->setObjectName("ResImage");
  layout->addWidget(scroll_, 1);
  preview_ = new PicturePreview(scroll_, image_);

  auto* bottom = new QHBoxLayout;
  oneToOne_ = new QCheckBox("1:1", this);
  oneToOne_->setObjectName("ResOneTo1");
  oneToOne_->setChecked(true);
  bottom->addWidget(oneToOne_);
  bottom->addWidget(new QLabel(ShownQ(texts::kRecode), this));
  recode_ = new QComboBox(this);
  recode_->setObjectName("RecodeType");
  recode_->addItems({ShownQ(texts::kUnchanged), "JPG", "GIF"});
  recode_->setCurrentIndex(2);
  bottom->addWidget(recode_);
  auto* qualityLabel = new QLabel(ShownQ(texts::kJpegQuality), this);
  qualityLabel->setObjectName("QualLab");
  bottom->addWidget(qualityLabel);
  quality_ = new QSpinBox(this);
  quality_->setObjectName("JPGQual");
  quality_->setRange(1, 100);
  quality_->setValue(RecodeModel::kDefaultQuality);
  bottom->addWidget(quality_);
  bottom->addWidget(new QLabel(ShownQ(texts::kSizeToSend), this));
  size_ = new QLineEdit(this);
  size_->setObjectName("ResSize");
  size_->setReadOnly(true);
  bottom->addWidget(size_);
  sendButton_ = new QPushButton(ShownQ(texts::kSend), this);
  sendButton_->setObjectName("Send");
  bottom->addWidget(sendButton_);
  layout->addLayout(bottom);

  connect(oneToOne_, &QCheckBox::toggled, this, [this] { Apply(); });
  connect(recode_, &QComboBox::currentIndexChanged, this, [this](int index) {
    model_.SetRecode(index == 0 ? Recode::Unchanged : index == 1 ? Recode::Jpeg : Recode::Gif);
    Apply();
  });
  connect(quality_, &QSpinBox::valueChanged, this, [this](int value) {
    model_.SetQuality(value);
    Apply();
  });
  connect(sendButton_, &QPushButton::clicked, this, [this] {
    if (send_ && send_(model_.SendData())) close();
  });
}

PictureRecoder::~PictureRecoder() {
  auto& list = Recoders();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void PictureRecoder::SetAllSendEnabled(bool enabled) {
  for (PictureRecoder* w : Recoders()) w->sendButton_->setEnabled(enabled);
}

int PictureRecoder::OpenCount() { return int(Recoders().size()); }

void PictureRecoder::CloseAll() {
  for (PictureRecoder* w : std::vector<PictureRecoder*>(Recoders())) w->close();
}

void PictureRecoder::Apply() {
  quality_->setEnabled(model_.QualityEnabled());
  size_->setText(QString::fromStdString(model_.SizeText()));
  preview_->Show(model_.Preview(), oneToOne_->isChecked());
}


// ---- the viewer ---------------------------------------------------------------------

PictureWindow* PictureWindow::Open(const std::string& bytes, const QImage& image) {
  const std::vector<PictureWindow*>& open = Viewers();
  int64_t pixels = Pixels(image);
  for (const PictureWindow* w : open) pixels += Pixels(w->picture_);
  if (int(open.size()) >= Limits().windows || pixels > Limits().pixels) return nullptr;
  auto* window = new PictureWindow(bytes, image);
  window->show();
  window->Apply();
  return window;
}

PictureWindow::PictureWindow(std::string bytes, QImage image) : bytes_(std::move(bytes)), picture_(std::move(image)) {
  setObjectName("Pict");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(ShownQ(texts::kViewerTitle));
  resize(std::clamp(picture_.width() + 40, 240, 800), std::clamp(picture_.height() + 80, 160, 600));
  Viewers().push_back(this);

  auto* layout = new QVBoxLayout(this);
  scroll_ = MakeScroll(this, &image_);
  layout->addWidget(scroll_, 1);
  preview_ = new PicturePreview(scroll_, image_);
  auto* bottom = new QHBoxLayout;
  oneToOne_ = new QCheckBox("1:1", this);
  oneToOne_->setObjectName("OneTo1");
  oneToOne_->setChecked(true);
  bottom->addWidget(oneToOne_);
  auto* label = new QLabel(ShownQ(texts::kOriginalSize), this);
  label->setObjectName("Label1");
  bottom->addWidget(label);
  auto* size = new QLineEdit(QString::number(qulonglong(bytes_.size())), this);
  size->setObjectName("Size");
  size->setReadOnly(true);
  bottom->addWidget(size);
  bottom->addStretch(1);
  layout->addLayout(bottom);
  connect(oneToOne_, &QCheckBox::toggled, this, [this] { Apply(); });
}

PictureWindow::~PictureWindow() {
  auto& list = Viewers();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

int PictureWindow::OpenCount() { return int(Viewers().size()); }

void PictureWindow::SetLimits(const ViewerLimits& limits) { Limits() = limits; }

void PictureWindow::CloseAll() {
  for (PictureWindow* w : std::vector<PictureWindow*>(Viewers())) w->close();
}

void PictureWindow::Apply() { preview_->Show(picture_, oneToOne_->isChecked()); }


}  // namespace transfer
