#pragma once
// Sending a picture to one recipient (over a direct link to a client that
// takes one, else through the server) and the picture packets that arrive.
#include <cstddef>
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

// A packet beginning with "2" from `sender`: shown and kept when it is a
// picture, reported otherwise.
void HandlePicturePacket(TransferHost& host, const std::string& sender, const std::string& packet,
                         bool escaped);

// Pictures/ + the safe form of the sender + the next free number + the
// extension the bytes call for; the picture is written there.  Empty when
// it cannot be written.
std::string KeepPicture(const std::string& programDir, const std::string& sender, const std::string& bytes);

}  // namespace transfer
