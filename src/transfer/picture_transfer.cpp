#include "transfer/picture_transfer.h"


#include "link/link_frame.h"
#include "transfer/picture_codec.h"
#include "transfer/transfer_host.h"
#include "text/binary_escape.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "transfer/transfer_texts.h"
#include "text/shown_text.h"

namespace transfer {

using text::W;

std::string PictureServerLine(const std::string& recipient, const std::string& data) {
  return direct::ServerLineFor(recipient, "2P" + data);
}

std::string PictureDirectPayload(const std::string& userName, const std::string& data) {
  return direct::DirectPayload(userName, "2P" + data);
}

bool SendPicture(TransferHost& host, const std::string& recipient, const std::string& clientVersion,
                 const std::string& data) {
  if (data.size() > kMaxPictureBytes) {
    host.Trace(text::Shown("Картинка слишком велика для пересылки: ", "Picture too large to send: ") + std::to_string(data.size()));
    return false;
  }
  if (!(clientVersion >= std::string("2.2") && host.SendDirect(recipient, "") &&
        host.SendDirect(recipient, PictureDirectPayload(host.UserName(), data))))
    host.SendLine(PictureServerLine(recipient, data));
  host.AddPrivLine(text::Shown(texts::kFileOfLength) + std::to_string(data.size()) + text::Shown(texts::kSentTo) + recipient);
  return true;
}

namespace {

std::string ExtensionOf(const std::string& bytes) {
  if (text::StartsWith(bytes, "BM")) return ".bmp";
  if (text::StartsWith(bytes, "GIF8")) return ".gif";
  return ".jpg";
}

}  // namespace

std::string KeepPicture(text::KeptFolder& folder, const std::string& sender, const std::string& bytes) {
  if (!folder.HasRoom(bytes.size())) return {};
  const std::string base = text::UserFileName(sender);
  const std::string ext = ExtensionOf(bytes);
  auto fileNameOf = [&](int n) { return base + std::to_string(n) + ext; };
  const int n = folder.NextFreeNumber(base + ext, 1, fileNameOf);
  if (!folder.Keep(fileNameOf(n), bytes)) return {};
  return folder.Dir() + fileNameOf(n);
}

PictureInbox::PictureInbox(TransferHost& host, text::KeepLimits limits, picture::MemoryBudget* budget)
    : host_(host), limits_(limits), budget_(budget), thread_([this] { Run(); }) {}

PictureInbox::~PictureInbox() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

text::KeptFolder& PictureInbox::Folder() {
  const std::string dir = host_.ProgramDir() + "Pictures/";
  if (!folder_ || folder_->Dir() != dir) folder_ = std::make_unique<text::KeptFolder>(dir, limits_);
  return *folder_;
}

size_t PictureInbox::Pending() const {
  size_t n = 0;
  for (const auto& entry : perSender_) n += size_t(entry.second);
  return n;
}

void PictureInbox::HandlePacket(const std::string& sender, const std::string& packet, bool escaped) {
  if (packet.size() <= 2 || !text::StartsWith(packet, "2P")) {
    host_.Trace(text::Shown("От <b>", "From <b>") + sender + text::Shown("</b>: файл неизвестного типа, длина = ", "</b>: file of unknown type, length = ") +
                std::to_string(int64_t(packet.size()) - 3) + ", ");
    return;
  }
  int& pending = perSender_[sender];
  if (pending >= kPerSender) {
    host_.Trace(text::Shown("Картинка от ", "Picture from ") + sender + text::Shown(" пропущена: предыдущие ещё не показаны", " skipped: earlier ones not shown yet"));
    return;
  }
  std::string bytes;
  if (escaped) {
    std::optional<std::string> data = text::UnescapeBinary(std::string_view(packet).substr(2), 2 * packet.size() + 10);
    if (!data) {
      if (pending == 0) perSender_.erase(sender);
      host_.Trace(text::Shown("Неверный пакет при приеме звука, пропущен", "Bad packet while receiving sound, skipped"));
      return;
    }
    bytes = std::move(*data);
  } else {
    bytes = packet.substr(2);
  }
  ++pending;
  {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.push_back(Job{sender, std::move(bytes)});
  }
  wake_.notify_one();
}

void PictureInbox::Run() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [this] { return stop_ || !queue_.empty(); });
      if (stop_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    std::optional<QImage> image = DecodePicture(job.bytes, budget_);
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (stop_) return;
      // Queued while the lock is held: the destructor cannot pass its
      // stop in between, and the context dies with this object, dropping
      // whatever was not delivered.
      QMetaObject::invokeMethod(
          &context_,
          [this, sender = std::move(job.sender), bytes = std::move(job.bytes), image = std::move(image)] {
            Finish(sender, bytes, image);
          },
          Qt::QueuedConnection);
    }
  }
}

void PictureInbox::Finish(const std::string& sender, const std::string& bytes, const std::optional<QImage>& image) {
  if (auto it = perSender_.find(sender); it != perSender_.end() && --it->second <= 0) perSender_.erase(it);
  if (!image) {
    host_.Warn(text::Shown(texts::kUnknownFormat));
    return;
  }
  // Any number of peers may send: the folder as a whole is bounded.
  text::KeptFolder& folder = Folder();
  if (!folder.HasRoom(bytes.size()))
    host_.Trace(text::Shown("Картинка от ", "Picture from ") + sender + text::Shown(" не сохранена: папка Pictures заполнена", " not saved: the Pictures folder is full"));
  else if (KeepPicture(folder, sender, bytes).empty())
    host_.Trace(text::Shown("Не могу сохранить картинку от ", "Cannot save the picture from ") + sender);
  if (!host_.ShowPicture(sender, bytes, *image))
    host_.Trace(text::Shown("Картинка от ", "Picture from ") + sender + text::Shown(" не показана: открыто слишком много картинок", " not shown: too many pictures open"));
}

}  // namespace transfer
