#pragma once
// What the direct links need from the chat session.  The main window's
// controller implements it; tests implement it over plain containers.
#include <cstdint>
#include <string>

namespace direct {

class LinkHost {
 public:
  virtual ~LinkHost() = default;

  virtual std::string UserName() const = 0;
  virtual bool ServerOpen() const = 0;
  // Queues a whole line to the chat server.
  virtual void SendLine(const std::string& line) = 0;
  // The next value of CurrentAckID, which the host then increments (and keeps).
  virtual std::string NextMessageNumber() = 0;
  virtual void Trace(const std::string& text) = 0;
  // Whether the trace is being kept; lines about the client's own state
  // (a taken port) are written only then.
  virtual bool TraceEnabled() const { return true; }
  // A packet that arrived on a link: "f|" + escaped sender + "|" + packet,
  // raw (the audio packet handler with the escaped flag off).
  virtual void HandlePacket(const std::string& payload) = 0;
  // The dirconn pane should be redrawn from LinkManager::PaneMarkup().
  virtual void PaneChanged() = 0;
  // Milliseconds of a steady clock.
  virtual int64_t NowMs() const = 0;
};

}  // namespace direct
