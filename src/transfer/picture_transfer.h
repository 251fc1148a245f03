#pragma once
// Sending a picture to one recipient (over a direct link to a client that
// takes one, else through the server) and the picture packets that arrive.
#include <cstddef>
#include <cstdint>
#include <string>

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

// What received pictures may fill of Pictures/ (every file in it counts):
// a picture past it is still shown but not kept.
struct KeepLimits {
  uint64_t bytes = uint64_t(256) << 20;
  size_t files = 20000;  // also bounds the folder scan each picture costs
};

// A packet beginning with "2" from `sender`: shown and kept when it is a
// picture, reported otherwise.
void HandlePicturePacket(TransferHost& host, const std::string& sender, const std::string& packet,
                         bool escaped, const KeepLimits& limits = {});

// Pictures/ + the safe form of the sender + the next free number + the
// extension the bytes call for; the picture is written there.  Empty when
// it cannot be written.
std::string KeepPicture(const std::string& programDir, const std::string& sender, const std::string& bytes);

// The regular files in Pictures/ and their bytes.
struct KeptPictures {
  uint64_t bytes = 0;
  size_t files = 0;
};
KeptPictures MeasureKeptPictures(const std::string& programDir);

}  // namespace transfer
