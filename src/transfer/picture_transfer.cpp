#include "transfer/picture_transfer.h"

#include <QSaveFile>

#include <filesystem>

#include "link/link_frame.h"
#include "transfer/picture_codec.h"
#include "transfer/transfer_host.h"
#include "text/binary_escape.h"
#include "text/bytes.h"
#include "text/cp1251.h"

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
    host.Trace(W("Картинка слишком велика для пересылки: ") + std::to_string(data.size()));
    return false;
  }
  if (!(clientVersion >= std::string("2.2") && host.SendDirect(recipient, "") &&
        host.SendDirect(recipient, PictureDirectPayload(host.UserName(), data))))
    host.SendLine(PictureServerLine(recipient, data));
  host.AddPrivLine(W("Файл длиной ") + std::to_string(data.size()) + W(" послан ") + recipient);
  return true;
}

namespace {

std::string ExtensionOf(const std::string& bytes) {
  if (text::StartsWith(bytes, "BM")) return ".bmp";
  if (text::StartsWith(bytes, "GIF8")) return ".gif";
  return ".jpg";
}

}  // namespace

std::string KeepPicture(const std::string& programDir, const std::string& sender, const std::string& bytes) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(programDir) / "Pictures";
  std::error_code ec;
  fs::create_directories(dir, ec);
  const std::string base = text::SafeFileName(sender);
  const std::string ext = ExtensionOf(bytes);
  for (int n = 1; n < 100000; ++n) {
    const fs::path path = dir / (base + std::to_string(n) + ext);
    if (fs::exists(path, ec)) continue;
    // Written whole or not at all.
    QSaveFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::WriteOnly)) return {};
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file.commit()) return {};
    return path.string();
  }
  return {};
}

KeptPictures MeasureKeptPictures(const std::string& programDir) {
  namespace fs = std::filesystem;
  KeptPictures kept;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(programDir) / "Pictures", ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code sizeError;
    if (!it->is_regular_file(sizeError)) continue;
    const uintmax_t size = it->file_size(sizeError);
    if (sizeError) continue;
    kept.bytes += size;
    ++kept.files;
  }
  return kept;
}

void HandlePicturePacket(TransferHost& host, const std::string& sender, const std::string& packet,
                         bool escaped, const KeepLimits& limits) {
  if (packet.size() <= 2 || !text::StartsWith(packet, "2P")) {
    host.Trace(W("От <b>") + sender + W("</b>: файл неизвестного типа, длина = ") +
               std::to_string(int64_t(packet.size()) - 3) + ", ");
    return;
  }
  std::string bytes;
  if (escaped) {
    std::optional<std::string> data = text::UnescapeBinary(std::string_view(packet).substr(2), 2 * packet.size() + 10);
    if (!data) {
      host.Trace(W("Неверный пакет при приеме звука, пропущен"));
      return;
    }
    bytes = std::move(*data);
  } else {
    bytes = packet.substr(2);
  }
  std::optional<QImage> image = DecodePicture(bytes);
  if (!image) {
    host.Warn(W("Присланный файл не может быть показан. Неизвестный формат"));
    return;
  }
  // Any number of peers may send: the folder as a whole is bounded.
  const KeptPictures kept = MeasureKeptPictures(host.ProgramDir());
  if (kept.files >= limits.files || kept.bytes + bytes.size() > limits.bytes)
    host.Trace(W("Картинка от ") + sender + W(" не сохранена: папка Pictures заполнена"));
  else if (KeepPicture(host.ProgramDir(), sender, bytes).empty())
    host.Trace(W("Не могу сохранить картинку от ") + sender);
  if (!host.ShowPicture(sender, bytes, *image))
    host.Trace(W("Картинка от ") + sender + W(" не показана: открыто слишком много картинок"));
}

}  // namespace transfer
