#include "picture/decode_thread.h"

#include "picture/picture_decode.h"

#include <QFile>
#include <QMetaObject>
#include <QObject>

#include <memory>

namespace picture {

DecodeThread::DecodeThread(Deliver deliver) : deliver_(std::move(deliver)), thread_([this] { Run(); }) {}

DecodeThread::~DecodeThread() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

bool DecodeThread::Add(const std::string& fileName, int picture, bool fromCache) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& job : queue_)
      if (job.fileName == fileName) return false;
    DecodeJob job;
    job.fileName = fileName;
    job.picture = picture;
    job.fromCache = fromCache;
    queue_.push_back(std::move(job));
  }
  wake_.notify_one();
  return true;
}

size_t DecodeThread::Waiting() const {
  std::lock_guard<std::mutex> guard(lock_);
  return queue_.size();
}

void DecodeThread::Run() {
  for (;;) {
    DecodeJob job;
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [this] { return stop_ || !queue_.empty(); });
      if (stop_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    if (QFile::exists(QFile::decodeName(job.fileName.c_str()))) job.image = DecodeFile(job.fileName);
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (stop_) return;
    }
    if (deliver_) deliver_(std::move(job));
  }
}

DecodeThread::Deliver DeliverQueued(QObject* context, std::function<void(DecodeJob&)> apply) {
  auto shared = std::make_shared<std::function<void(DecodeJob&)>>(std::move(apply));
  return [context, shared](DecodeJob&& job) {
    auto carried = std::make_shared<DecodeJob>(std::move(job));
    QMetaObject::invokeMethod(
        context, [shared, carried] { (*shared)(*carried); }, Qt::QueuedConnection);
  };
}

}  // namespace picture
