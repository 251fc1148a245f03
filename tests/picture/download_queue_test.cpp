#include "picture/download_queue.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

using namespace picture;

namespace {

// Downloads that never run by themselves: the test finishes them.
struct Downloads {
  uint64_t nextId = 100;
  std::vector<std::pair<uint64_t, std::string>> started;  // id, url
  std::set<uint64_t> alive;
  std::map<std::string, int64_t> sizes;
  bool refuse = false;

  struct Fake : RunningDownload {
    Fake(Downloads* d, uint64_t id, int64_t bytes) : d(d), id(id), bytes(bytes) {}
    ~Fake() override { d->alive.erase(id); }
    uint64_t Id() const override { return id; }
    int64_t Bytes() const override { return bytes; }
    Downloads* d;
    uint64_t id;
    int64_t bytes;
  };

  std::unique_ptr<RunningDownload> Start(const std::string& url) {
    if (refuse) return nullptr;
    uint64_t id = nextId++;
    started.emplace_back(id, url);
    alive.insert(id);
    return std::make_unique<Fake>(this, id, sizes.count(url) ? sizes[url] : 10);
  }
  uint64_t IdOf(const std::string& url) const {
    for (const auto& [id, u] : started)
      if (u == url) return id;
    return 0;
  }
};

struct Outcome {
  int picture;
  std::string url, target;
  bool ok;
};

class LoaderTest : public ::testing::Test {
 protected:
  LoaderTest() {
    DownloadQueue::Hooks hooks;
    hooks.start = [this](const std::string& url, const std::string&) { return downloads.Start(url); };
    hooks.finished = [this](int picture, const std::string& url, const std::string& target, bool ok) {
      outcomes.push_back({picture, url, target, ok});
      if (onFinished) onFinished();
    };
    hooks.duplicate = [this](const std::string& url) { duplicates.push_back(url); };
    loader = std::make_unique<DownloadQueue>(std::move(hooks));
  }
  static std::string Url(int i) { return "http://h/" + std::to_string(i) + ".gif"; }
  void QueueMany(int n) {
    for (int i = 1; i <= n; ++i) loader->Queue(i, Url(i), "/c/p" + std::to_string(i) + ".gif");
  }

  Downloads downloads;
  std::vector<Outcome> outcomes;
  std::vector<std::string> duplicates;
  std::function<void()> onFinished;
  std::unique_ptr<DownloadQueue> loader;
};

}  // namespace

TEST_F(LoaderTest, AtMostFiveRunInArrivalOrder) {
  downloads.sizes[Url(2)] = 1234;
  QueueMany(7);
  ASSERT_EQ(downloads.started.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(downloads.started[i].second, Url(i + 1));
  EXPECT_EQ(loader->Running(), 5u);
  EXPECT_EQ(loader->Size(), 7u);

  loader->Finished(downloads.IdOf(Url(2)), true);
  ASSERT_EQ(downloads.started.size(), 6u);
  EXPECT_EQ(downloads.started[5].second, Url(6));
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].picture, 2);
  EXPECT_EQ(outcomes[0].target, "/c/p2.gif");
  EXPECT_TRUE(outcomes[0].ok);
  EXPECT_FALSE(downloads.alive.count(downloads.IdOf(Url(2))));  // destroyed

  loader->Finished(downloads.IdOf(Url(4)), false);
  EXPECT_EQ(downloads.started.back().second, Url(7));
  EXPECT_FALSE(outcomes.back().ok);
  EXPECT_EQ(loader->TrafficIn(), 1234 + 10);

  // Notices of downloads already gone, or never known, change nothing.
  loader->Finished(downloads.IdOf(Url(2)), true);
  loader->Finished(99999, false);
  EXPECT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(loader->Size(), 5u);
}

TEST_F(LoaderTest, CancelAbortsRunningAndDropsWaiting) {
  QueueMany(7);
  loader->Cancel(1);  // running: destroyed, the next one starts
  EXPECT_FALSE(downloads.alive.count(downloads.IdOf(Url(1))));
  EXPECT_EQ(downloads.started.back().second, Url(6));
  loader->Cancel(7);  // waiting: simply gone
  EXPECT_EQ(loader->Size(), 5u);
  EXPECT_TRUE(outcomes.empty());
  loader->Finished(downloads.IdOf(Url(2)), true);
  EXPECT_EQ(downloads.started.size(), 6u);  // nothing left to start
  loader.reset();  // destroying the queue aborts the rest
  EXPECT_TRUE(downloads.alive.empty());
}

TEST_F(LoaderTest, RepeatedUrlIsReportedAndQueuedAnyway) {
  loader->Queue(1, Url(1), "/c/p1.gif");
  loader->Queue(2, Url(1), "/c/p2.gif");
  EXPECT_EQ(duplicates, std::vector<std::string>{Url(1)});
  EXPECT_EQ(loader->Size(), 2u);
  EXPECT_EQ(downloads.started.size(), 2u);
}

TEST_F(LoaderTest, DownloadsThatCannotStartFail) {
  downloads.refuse = true;
  QueueMany(3);
  ASSERT_EQ(outcomes.size(), 3u);
  for (const auto& o : outcomes) EXPECT_FALSE(o.ok);
  EXPECT_EQ(loader->Size(), 0u);
}

TEST_F(LoaderTest, FinishedHookMayQueueAgain) {
  QueueMany(5);
  onFinished = [this] {
    onFinished = nullptr;
    loader->Queue(50, Url(50), "/c/p50.gif");
  };
  loader->Finished(downloads.IdOf(Url(3)), false);
  EXPECT_EQ(loader->Running(), 5u);
  EXPECT_EQ(downloads.started.back().second, Url(50));
}
