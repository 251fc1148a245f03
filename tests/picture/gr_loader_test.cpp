#include "markup/picture/gr_loader.h"

#include "gif_writer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

using namespace picture;
using namespace testing_picture;

namespace {

std::string Data(const char* name) { return std::string(CHAT_TESTDATA_DIR "/pictures/") + name; }

// Collects deliveries from the decoding thread; the first delivery can be
// held back to keep the thread busy.
struct Inbox {
  std::mutex m;
  std::condition_variable cv;
  std::vector<GrLoaderInf> got;
  bool holdFirst = false;
  bool released = false;
  std::function<void()> whileHeld;

  GrLoader::Deliver Deliver() {
    return [this](GrLoaderInf&& job) {
      std::unique_lock<std::mutex> lock(m);
      bool first = got.empty();
      got.push_back(std::move(job));
      cv.notify_all();
      if (first && holdFirst) {
        if (whileHeld) {
          lock.unlock();
          whileHeld();
          lock.lock();
        }
        cv.wait(lock, [this] { return released; });
      }
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

TEST(GrLoader, DecodesInOrderAndCarriesTheJob) {
  Inbox inbox;
  GrLoader loader(inbox.Deliver());
  EXPECT_TRUE(loader.Add(Data("anim-dispose-none.gif"), 1, false));
  EXPECT_TRUE(loader.Add(Data("baseline.jpg"), 2, true));
  EXPECT_TRUE(loader.Add(Data("missing.gif"), 3, false));
  EXPECT_TRUE(loader.Add(Data("bottomleft-magenta.bmp"), 4, false));
  ASSERT_TRUE(inbox.WaitFor(4));
  std::lock_guard<std::mutex> lock(inbox.m);
  ASSERT_EQ(inbox.got.size(), 4u);
  EXPECT_EQ(inbox.got[0].picture, 1);
  EXPECT_TRUE(inbox.got[0].image.Animated());
  EXPECT_EQ(inbox.got[1].picture, 2);
  EXPECT_TRUE(inbox.got[1].fromCache);
  EXPECT_EQ(inbox.got[1].image.kind, ImageKind::Jpeg);
  EXPECT_EQ(inbox.got[2].fileName, Data("missing.gif"));
  EXPECT_FALSE(inbox.got[2].image.Loaded());
  EXPECT_EQ(inbox.got[3].image.kind, ImageKind::Bmp);
}

TEST(GrLoader, AFileAlreadyWaitingIsNotQueuedTwice) {
  Inbox inbox;
  inbox.holdFirst = true;
  GrLoader loader(inbox.Deliver());
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

TEST(GrLoader, DestructionDropsWaitingFiles) {
  Inbox inbox;
  inbox.holdFirst = true;
  auto loader = std::make_unique<GrLoader>(inbox.Deliver());
  GrLoader* raw = loader.get();
  // Held in the first delivery until destruction has emptied the queue.
  inbox.whileHeld = [&inbox, raw] {
    QDeadlineTimer guard(60000);
    while (raw->Waiting() > 0 && !guard.hasExpired()) QThread::msleep(1);
    inbox.Release();
  };
  loader->Add(Data("baseline.jpg"), 1, false);
  ASSERT_TRUE(inbox.WaitFor(1));
  for (int i = 2; i <= 5; ++i) loader->Add(Data("anim-dispose-mixed.gif") + std::to_string(i), i, false);
  loader.reset();
  std::lock_guard<std::mutex> lock(inbox.m);
  EXPECT_EQ(inbox.got.size(), 1u);
}

TEST(GrLoader, QueuedDeliveryRunsOnTheContextThread) {
  EnsureApp();
  QObject context;
  std::vector<int> applied;
  bool onMainThread = true;
  GrLoader loader(DeliverQueued(&context, [&](GrLoaderInf& job) {
    onMainThread = onMainThread && QThread::currentThread() == context.thread();
    applied.push_back(job.picture);
  }));
  loader.Add(Data("baseline.jpg"), 7, false);
  loader.Add(Data("interlaced.gif"), 8, false);
  QDeadlineTimer guard(60000);
  while (applied.size() < 2 && !guard.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(applied, (std::vector<int>{7, 8}));
  EXPECT_TRUE(onMainThread);
}
