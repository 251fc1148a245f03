#pragma once
// A logged-in user played by the server: it greets newcomers, says
// something now and then, and answers private messages, so that a client
// opened on an empty server still sees a living room.
#include <cstdint>
#include <map>
#include <string>

namespace chatd {

class Room;

class Bot {
 public:
  Bot(Room& room, std::string name);

  void Start();  // creates its account when needed and logs it in
  void Greet(const std::string& newcomer);
  void Answer(const std::string& sender, const std::string& text, const std::string& mid);
  void Tick();

  static constexpr uint64_t kClientId = ~uint64_t{0};

 private:
  void SayPublic(const std::string& text);
  void SayPrivate(const std::string& to, const std::string& text);

  Room& room_;
  std::string name_;
  int ticks_ = 0;
  int said_ = 0;
  uint64_t nextMid_ = 1;
  std::map<std::string, int64_t> lastGreeting_;  // account key -> time
};

}  // namespace chatd
