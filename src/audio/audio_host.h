#pragma once
// What the audio channel needs from the program around it: the server
// connection, the private pane, the trace log, files and settings.  The
// main window implements it; tests implement it over plain containers.
#include <functional>
#include <optional>
#include <string>

namespace audio {

// The settings the channel reads, passed in by the owner whenever they change.
struct AudioSettings {
  bool playNow = false;        // PlayNow: play a received message at once
  bool muted = false;          // the menu item MenuNoSound is checked
  bool createArchive = false;  // CreateArchive
  bool sndArchiving = false;   // SndArchiving: keep every message
  std::string backColor = "ffffff";  // BackColor, colour setting text
  std::string textColor = "000000";  // TextColor
  int lastWav = 0;                   // LastWav: next number of a kept file
};

class AudioHost {
 public:
  virtual ~AudioHost() = default;

  // Runs `call` later on the main thread (a posted message).  May be called
  // from any thread.
  virtual void Post(std::function<void()> call) = 0;

  virtual bool ServerOpen() const = 0;
  virtual void SendLine(const std::string& line) = 0;
  virtual void Trace(const std::string& text) = 0;

  // The private pane: a new line; removing the oldest line that contains
  // `part` (false when none does); cutting the oldest such line at `part`.
  // The pane reports every line it removes to AudioChannel::OnPrivLineRemoved.
  virtual void AddPrivLine(const std::string& markup) = 0;
  virtual bool DeletePrivLine(const std::string& part) = 0;
  virtual void CutPrivLine(const std::string& part) = 0;

  virtual void SetAudioSize(const std::string& text) = 0;
  virtual void SetSendWavEnabled(bool enabled) = 0;

  virtual std::string UserName() const = 0;
  virtual bool IsBlackListed(const std::string& name) const = 0;
  // The program directory, ending with "/".
  virtual std::string ProgramDir() const = 0;
  virtual void StoreLastWav(int value) = 0;
  virtual void AppendArchive(const std::string& line) = 0;

  // A received message that is not played at once: the reaction of a
  // private message (front window, beep or wave), silent when `muted`.
  virtual void ReactToMessage(bool muted) = 0;
  // The save dialog of a sound; nothing when cancelled.
  virtual std::optional<std::string> AskSavePath() = 0;
  // A picture packet ("2…") from `sender`.
  virtual void HandlePicturePacket(const std::string& sender, const std::string& packet,
                                   bool escaped) = 0;
};

}  // namespace audio
