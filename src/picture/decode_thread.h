#pragma once
// DecodeThread: the one picture decoding thread.  Files are queued from the GUI
// thread; each is decoded without the queue lock held, and the result is
// handed to a delivery function on the decoding thread (DeliverQueued turns
// that into a call on the GUI thread).
#include "picture/decoded_image.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class QObject;

namespace picture {

// One decoding job and, once decoded, its result.
struct DecodeJob {
  std::string fileName;
  int picture = 0;         // the registry's picture number
  bool fromCache = false;  // the file was taken from a cache, not downloaded
  DecodedImage image;
};

class DecodeThread {
 public:
  using Deliver = std::function<void(DecodeJob&&)>;

  explicit DecodeThread(Deliver deliver);
  // Stops the thread; a decoding in progress is finished, queued files are
  // dropped and nothing more is delivered.
  ~DecodeThread();
  DecodeThread(const DecodeThread&) = delete;
  DecodeThread& operator=(const DecodeThread&) = delete;

  // Queues a file unless a job with that file name is already waiting.
  // Returns whether it was queued.
  bool Add(const std::string& fileName, int picture, bool fromCache);

  size_t Waiting() const;

 private:
  void Run();

  Deliver deliver_;
  mutable std::mutex lock_;  // guards queue_ and stop_
  std::condition_variable wake_;
  std::deque<DecodeJob> queue_;
  bool stop_ = false;
  std::thread thread_;
};

// A delivery function that runs `apply` on the thread of `context` through a
// queued call.  The context must outlive the DecodeThread; results still queued
// when the context goes are dropped with it.
DecodeThread::Deliver DeliverQueued(QObject* context, std::function<void(DecodeJob&)> apply);

}  // namespace picture
