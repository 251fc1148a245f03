#pragma once
// A fresh chatd per test, and logged-in clients on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "chatd_process.h"
#include "line_client.h"
#include "wire/wire.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace chatd_test {

class ChatdTest : public ::testing::Test {
 protected:
  // Most tests make more accounts from 127.0.0.1 than one address may make
  // in an hour; the tests of that limit name it themselves.
  void StartChatd(std::vector<std::string> extra = {}) {
    if (std::find(extra.begin(), extra.end(), "--registrations-per-hour") == extra.end())
      extra.insert(extra.end(), {"--registrations-per-hour", "0"});
    chatd_ = std::make_unique<ChatdProcess>(CHAT_BINARY_DIR "/bin/chatd", extra);
    ASSERT_TRUE(chatd_->ok()) << "banner: " << chatd_->banner();
  }

  // A client logged in (registered on first use) with the first lines of
  // the login already read.
  std::unique_ptr<LineClient> Join(const std::string& name, const std::string& password = "pw",
                                   const std::string& extra = "Sex=m;Sound=1;") {
    auto c = std::make_unique<LineClient>(chatd_->chatPort());
    EXPECT_TRUE(c->connected());
    EXPECT_NE(c->Login(name, password, "", extra), "") << name;
    return c;
  }

  std::unique_ptr<ChatdProcess> chatd_;
};

// The first line of `c` that is a record with `key`, skipping others.
inline std::optional<wire::Record> NextRecordWith(LineClient& c, const std::string& key) {
  auto line = c.ReadUntil([&](const std::string& l) { return IsRecordWith(l, key); });
  if (!line) return std::nullopt;
  return AsRecord(*line);
}

inline bool AnyRecordWith(const std::vector<std::string>& lines, const std::string& key) {
  for (const auto& l : lines)
    if (IsRecordWith(l, key)) return true;
  return false;
}

// Online list entries as the client reads them: "User=a,Ver=…;" each.
inline std::vector<wire::Record> OnlineEntries(const std::string& line) {
  std::vector<wire::Record> entries;
  std::string body(wire::RecordBody(line));
  for (const auto& entry : text::Split(body, ';')) {
    if (!entry.empty()) entries.push_back(wire::ParseRecord(wire::ReplaceChar(entry, ',', ';') + ";"));
  }
  return entries;
}

}  // namespace chatd_test
