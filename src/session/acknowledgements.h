#pragma once
// Messages waiting for the server's answer, their file waitacq.dat, and the
// state pictures of sent private messages in the private pane.
#include <cstdint>
#include <string>
#include <vector>

#include "games/game_kind.h"
#include "wire/wire.h"

namespace markup {
class MarkupDocument;
}
namespace settings {
class Settings;
}

namespace session {

struct AcqRecord {
  std::string text;        // as sent, not escaped
  std::string number;      // decimal
  std::string addressees;  // comma-joined names, decoded; empty for a public message
  bool operator==(const AcqRecord&) const = default;
};

// State pictures at the start of an echo line.
inline constexpr int kWaiting = 15, kAccepted = 16, kDelivered = 17, kKeptForOffline = 18;

class AcknowledgementHost {
 public:
  virtual ~AcknowledgementHost() = default;
  virtual bool TraceEnabled() = 0;
  virtual void Trace(const std::string& text) = 0;
  virtual std::string CodesToMarkup(const std::string& text) = 0;
  virtual void ArchiveLine(const std::string& line) = 0;
  // Changes the first "<id=N><pict=-old>" from the end of private.arc.
  virtual void PatchArchive(const std::string& number, int oldPicture, int newPicture) = 0;
  virtual void OwnGameEcho(games::GameKind, const std::string& /*text*/, const std::string& /*addressee*/,
                           uint32_t /*textColor*/, uint32_t /*backColor*/) {}
};

class Acknowledgements {
 public:
  Acknowledgements(settings::Settings& settings, AcknowledgementHost& host, markup::MarkupDocument& priv);

  void Add(AcqRecord record) { waiting_.push_back(std::move(record)); }
  const std::vector<AcqRecord>& Waiting() const { return waiting_; }

  void HandleAcknowledgement(const wire::Record& record, const std::string& line);
  void ReplaceStatusLine(const std::string& number, int oldPicture, int newPicture, const std::string& newLine);

  // waitacq.dat: three lines (text, number, addressees) per private record.
  void LoadWaiting(const std::string& path);
  bool SaveWaiting(const std::string& path) const;

  static std::string StatusPrefix(const std::string& number, int picture);

 private:
  settings::Settings& settings_;
  AcknowledgementHost& host_;
  markup::MarkupDocument& priv_;
  std::vector<AcqRecord> waiting_;
};

}  // namespace session
