#pragma once
// DesktopReactions: how an event reaches the user on a desktop of today.
// The window comes forward where the window system lets a program do that,
// and otherwise asks for attention (the task bar entry flashes).  Wave
// files play through Qt Multimedia without ever waiting; a file that is
// missing or no wave, and a machine without sound output, are written to
// the trace once each instead of failing again on every event.
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

class QSoundEffect;
class QWidget;

namespace window {

class DesktopReactions {
 public:
  using TraceFunction = std::function<void(const std::string& text)>;
  DesktopReactions(QWidget& window, TraceFunction trace);
  ~DesktopReactions();

  // Restores and raises the window.  While this program is the active one
  // it takes the keyboard too; while the user works in another program it
  // only asks for attention, as a background program may do.
  void BringToFront();
  // Whether this program is the one the user works in; the application
  // state unless replaced.
  void SetActiveProbe(std::function<bool()> probe) { activeProbe_ = std::move(probe); }
  // Starts playing `file` (a file-system path in Windows-1251); false when
  // it cannot be played: unreadable, not a wave file, or no output device.
  bool PlayWave(const std::string& file);

  // The first bytes of a RIFF wave file.
  static bool LooksLikeWave(const std::string& header);

 private:
  void TraceOnce(const std::string& key, const std::string& text);

  bool ProgramActive() const;

  QWidget& window_;
  TraceFunction trace_;
  std::function<bool()> activeProbe_;
  std::set<std::string> reported_;
  // One effect per file, so a burst of events reuses it.
  std::map<std::string, std::unique_ptr<QSoundEffect>> effects_;
};

}  // namespace window
