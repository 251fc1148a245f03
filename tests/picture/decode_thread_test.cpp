#include "test_data.h"
#include "picture/decode_thread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

using namespace picture;

namespace {

std::string Data(const char* name) { return TestData(std::string("pictures/") + name); }
// A file that is not there, on purpose.
const std::string kMissing = std::string(CHAT_TESTDATA_DIR) + "/pictures/missing.gif";

// Collects deliveries from the decoding thread; the first delivery can be
// held back to keep the thread busy.
struct Inbox {
  std::mutex m;
  std::condition_variable cv;
  std::vector<DecodeJob> got;
  bool holdFirst = false;
  bool released = false;

  DecodeThread::Deliver Deliver() {
    return [this](DecodeJob&& job) {
      std::unique_lock<std::mutex> lock(m);
      bool first = got.empty();
      got.push_back(std::move(job));
      cv.notify_all();
      if (first && holdFirst) cv.wait(lock, [this] { return released; });
    };
  }
  bool WaitFor(size_t n) {
    std::unique_lock<std::mutex> lock(m);
    return cv.wait_for(lock, std::chrono::seconds(60), [&] { return got.size() >= n; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(m);
    released = true;
    cv.notify_all();
  }
};

}  // namespace

TEST(DecodeThread, DecodesInOrderAndCarriesTheJob) {
  Inbox inbox;
  DecodeThread loader(inbox.Deliver());
  EXPECT_TRUE(loader.Add(Data("anim-dispose-none.gif"), 1, false));
  EXPECT_TRUE(loader.Add(Data("baseline.jpg"), 2, true));
  EXPECT_TRUE(loader.Add(kMissing, 3, false));
  EXPECT_TRUE(loader.Add(Data("bottomleft-magenta.bmp"), 4, false));
  ASSERT_TRUE(inbox.WaitFor(4));
  std::lock_guard<std::mutex> lock(inbox.m);
  ASSERT_EQ(inbox.got.size(), 4u);
  EXPECT_EQ(inbox.got[0].picture, 1);
  EXPECT_TRUE(inbox.got[0].image.Animated());
  EXPECT_EQ(inbox.got[1].picture, 2);
  EXPECT_TRUE(inbox.got[1].fromCache);
  EXPECT_EQ(inbox.got[1].image.kind, ImageKind::Jpeg);
  EXPECT_EQ(inbox.got[2].fileName, kMissing);
  EXPECT_FALSE(inbox.got[2].image.Loaded());
  EXPECT_EQ(inbox.got[3].image.kind, ImageKind::Bmp);
}

TEST(DecodeThread, AFileAlreadyWaitingIsNotQueuedTwice) {
  Inbox inbox;
  inbox.holdFirst = true;
  DecodeThread loader(inbox.Deliver());
  ASSERT_TRUE(loader.Add(Data("static-transparent.gif"), 1, false));
  ASSERT_TRUE(inbox.WaitFor(1));  // the thread is now held inside delivery
  // Queueing goes on while the thread is busy.
  EXPECT_TRUE(loader.Add(Data("baseline.jpg"), 2, false));
  EXPECT_FALSE(loader.Add(Data("baseline.jpg"), 3, false));
  EXPECT_TRUE(loader.Add(Data("static-transparent.gif"), 4, false));  // no longer waiting
  EXPECT_EQ(loader.Waiting(), 2u);
  inbox.Release();
  ASSERT_TRUE(inbox.WaitFor(3));
  std::lock_guard<std::mutex> lock(inbox.m);
  EXPECT_EQ(inbox.got[1].picture, 2);
  EXPECT_EQ(inbox.got[2].picture, 4);
}
