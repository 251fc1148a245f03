#pragma once
// Sending a picture to one recipient (over a direct link to a client that
// takes one, else through the server) and the picture packets that arrive.
#include <QImage>
#include <QObject>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "text/kept_folder.h"
#include "picture/decode_budget.h"

namespace transfer {

class TransferHost;

// Pictures above this are not sent: escaped for the server they would
// exceed what a receiving client takes in one line.
constexpr size_t kMaxPictureBytes = 4u << 20;

// `clientVersion` is ClientInfo of the recipient ("" when unknown).  False
// (and a trace line) when the picture is too large to send.
bool SendPicture(TransferHost& host, const std::string& recipient, const std::string& clientVersion,
                 const std::string& data);

// The server line and the direct-link payload of a picture.
std::string PictureServerLine(const std::string& recipient, const std::string& data);
std::string PictureDirectPayload(const std::string& userName, const std::string& data);

// Received pictures.  Each is decoded on a worker thread within the budget
// of shown pictures, so no picture a peer sends holds up the chat; a sender
// has at most kPerSender pictures waiting or decoding at once, the rest are
// dropped.  A decoded picture is kept in Pictures/ (bounded as a whole) and
// shown on the thread that handed it in.
class PictureInbox {
 public:
  static constexpr int kPerSender = 2;

  PictureInbox(TransferHost& host, text::KeepLimits limits = {},
               picture::MemoryBudget* budget = &picture::ProcessBudget());
  // Stops the worker: a decoding under way is finished, nothing more is
  // shown or kept.
  ~PictureInbox();
  PictureInbox(const PictureInbox&) = delete;
  PictureInbox& operator=(const PictureInbox&) = delete;

  // A packet beginning with "2" from `sender`: queued when it is a picture,
  // reported otherwise.
  void HandlePacket(const std::string& sender, const std::string& packet, bool escaped);

  // Pictures waiting or being decoded.
  size_t Pending() const;
  // Pictures/, counted once.
  text::KeptFolder& Folder();

 private:
  struct Job {
    std::string sender;
    std::string bytes;
  };
  void Run();
  void Finish(const std::string& sender, const std::string& bytes, const std::optional<QImage>& image);

  TransferHost& host_;
  text::KeepLimits limits_;
  picture::MemoryBudget* budget_;
  std::unique_ptr<text::KeptFolder> folder_;
  std::map<std::string, int> perSender_;  // pictures of a sender not finished yet
  QObject context_;                        // finished pictures come back through it

  mutable std::mutex lock_;  // guards queue_ and stop_
  std::condition_variable wake_;
  std::deque<Job> queue_;
  bool stop_ = false;
  std::thread thread_;
};

// Pictures/ + the safe form of the sender + the next free number + the
// extension the bytes call for; the picture is written there.  Empty when
// it cannot be written or the folder has no room.
std::string KeepPicture(text::KeptFolder& folder, const std::string& sender, const std::string& bytes);

}  // namespace transfer
