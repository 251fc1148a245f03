#pragma once
// GrLoader: the one picture decoding thread.  Files are queued from the GUI
// thread; each is decoded without the queue lock held, and the result is
// handed to a delivery function on the decoding thread (DeliverQueued turns
// that into a call on the GUI thread).
#include "markup/picture/decoded_image.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class QObject;

namespace picture {

// One decoding job and, once decoded, its result.
struct GrLoaderInf {
  std::string fileName;
  int picture = 0;         // the registry's picture number
  bool fromCache = false;  // the file was taken from a cache, not downloaded
  DecodedImage image;
};

class GrLoader {
 public:
  using Deliver = std::function<void(GrLoaderInf&&)>;

  explicit GrLoader(Deliver deliver);
  // Stops the thread; a decoding in progress is finished, queued files are
  // dropped and nothing more is delivered.
  ~GrLoader();
  GrLoader(const GrLoader&) = delete;
  GrLoader& operator=(const GrLoader&) = delete;

  // Queues a file unless a job with that file name is already waiting.
  // Returns whether it was queued.
  bool Add(const std::string& fileName, int picture, bool fromCache);

  size_t Waiting() const;

 private:
  void Run();

  Deliver deliver_;
  mutable std::mutex lock_;  // guards queue_ and stop_
  std::condition_variable wake_;
  std::deque<GrLoaderInf> queue_;
  bool stop_ = false;
  std::thread thread_;
};

// A delivery function that runs `apply` on the thread of `context` through a
// queued call.  The context must outlive the GrLoader; results still queued
// when the context goes are dropped with it.
GrLoader::Deliver DeliverQueued(QObject* context, std::function<void(GrLoaderInf&)> apply);

}  // namespace picture
