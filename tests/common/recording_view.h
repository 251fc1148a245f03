#pragma once
// A SessionView that records what the session asks the window to show.
#include <string>
#include <vector>

#include "chat/chat_session.h"

class RecordingView : public window::SessionView {
 public:
  bool AskForIdentity(bool) override { return false; }
  void OnlineChanged(bool on) override { online = on; }
  void MenuStateChanged(bool) override {}
  void LampsChanged() override {}
  void ControlsChanged(bool info, bool wav) override {
    userInfo = info;
    sendWav = wav;
  }
  void ModeratorChanged(bool on) override { moderator = on; }
  void Warn(const std::string&, const std::string& english) override { warnings.push_back(english); }
  void Trace(const std::string& t) override { traces.push_back(t); }
  void ShowInfoWindow(const std::string& key, const std::string&, const std::string& text, int, int, bool) override {
    shown.push_back(key + "=" + text);
  }
  void Beep() override {}
  void PlayWave(const std::string&) override {}
  void BringToFront() override {}
  bool NoSound() override { return true; }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  bool AskYesNo(const std::string&, const std::string& english) override {
    questions.push_back(english);
    return answer;
  }
  std::vector<std::string> urls, questions;
  bool answer = false;
  bool online = false, userInfo = false, sendWav = false, moderator = false;
  std::vector<std::string> warnings, traces, shown;
};
