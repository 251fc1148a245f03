#include "audio/pcm_devices.h"

#include <algorithm>
#include <string>

#include "audio/adpcm.h"
#include "audio/wave_buffer.h"

namespace audio {
namespace {

// Hands every queued buffer back, oldest first, as done.
template <class Done>
void ReturnAll(std::deque<WaveBuffer*>& queue, const Done& done) {
  while (!queue.empty()) {
    WaveBuffer* b = queue.front();
    queue.pop_front();
    b->queued = false;
    done(b);
  }
}

}  // namespace

// ---- recording ---------------------------------------------------------------

EncodingWaveInput::EncodingWaveInput(std::unique_ptr<PcmSource> source, InputDone done)
    : source_(std::move(source)), done_(std::move(done)) {
  pending_.reserve(kBlockSamples);
}

EncodingWaveInput::~EncodingWaveInput() {
  if (running_) source_->Stop();
}

bool EncodingWaveInput::AddBuffer(WaveBuffer& buffer) {
  if (closed_ || !buffer.prepared || buffer.queued) return false;
  buffer.queued = true;
  buffer.recorded = 0;
  queue_.push_back(&buffer);
  return true;
}

bool EncodingWaveInput::Start() {
  if (closed_ || running_) return false;
  running_ = source_->Start([this](std::span<const int16_t> samples) { OnSamples(samples); });
  return running_;
}

void EncodingWaveInput::OnSamples(std::span<const int16_t> samples) {
  if (!running_) return;
  while (!samples.empty()) {
    size_t take = std::min(samples.size(), kBlockSamples - pending_.size());
    pending_.insert(pending_.end(), samples.begin(), samples.begin() + take);
    samples = samples.subspan(take);
    if (pending_.size() == kBlockSamples) EmitBlock();
  }
}

// Encodes the gathered samples (padded when short) into the head buffer and
// hands that back once it is full.  With no buffer queued the block is lost,
// as a sound card drops samples nobody takes.
void EncodingWaveInput::EmitBlock() {
  if (queue_.empty()) {
    pending_.clear();
    return;
  }
  WaveBuffer* head = queue_.front();
  std::string block;
  EncodeBlock(pending_, block);
  pending_.clear();
  std::copy(block.begin(), block.end(), head->data.begin() + head->recorded);
  head->recorded += static_cast<uint32_t>(block.size());
  bytes_ += static_cast<int64_t>(block.size());
  if (head->recorded + kBlockBytes > WaveBuffer::kCapacity) {
    queue_.pop_front();
    head->queued = false;
    done_(head);
  }
}

std::optional<int64_t> EncodingWaveInput::Position() const {
  if (closed_) return std::nullopt;
  // A block still being gathered counts with the bytes it holds so far.
  int64_t partial =
      pending_.empty() ? 0 : static_cast<int64_t>(kBlockHeaderBytes + (pending_.size() - 1) / 2);
  return bytes_ + partial;
}

bool EncodingWaveInput::Stop() {
  if (running_) source_->Stop();
  running_ = false;
  return !closed_;
}

bool EncodingWaveInput::Reset() {
  if (closed_) return false;
  Stop();
  if (!pending_.empty()) EmitBlock();
  ReturnAll(queue_, done_);
  return true;
}

bool EncodingWaveInput::Close() {
  if (closed_) return false;
  if (!queue_.empty()) Reset();
  Stop();
  closed_ = true;
  return true;
}

// ---- playback ----------------------------------------------------------------

DecodingWaveOutput::DecodingWaveOutput(std::unique_ptr<PcmSink> sink, OutputDone done)
    : sink_(std::move(sink)), done_(std::move(done)) {}

DecodingWaveOutput::~DecodingWaveOutput() {
  alive_.reset();
  if (!closed_ && started_) {
    sink_->Reset();
    sink_->Close();
  }
}

bool DecodingWaveOutput::Write(WaveBuffer& buffer) {
  if (closed_ || !buffer.prepared || buffer.queued) return false;
  if (!started_) started_ = sink_->Start();
  if (!started_) return false;
  buffer.queued = true;
  queue_.push_back(&buffer);
  // Each buffer decodes on its own: a peer's buffer need not hold whole blocks.
  sink_->Write(Decode(buffer.Bytes()), [alive = std::weak_ptr<bool>(alive_), this, b = &buffer] {
    if (alive.lock()) Played(b);
  });
  return true;
}

void DecodingWaveOutput::Played(WaveBuffer* buffer) {
  auto it = std::find(queue_.begin(), queue_.end(), buffer);
  if (it == queue_.end()) return;
  queue_.erase(it);
  buffer->queued = false;
  done_(buffer);
}

bool DecodingWaveOutput::Reset() {
  if (closed_) return false;
  if (started_) sink_->Reset();
  ReturnAll(queue_, done_);
  return true;
}

bool DecodingWaveOutput::Close() {
  if (closed_) return false;
  if (!queue_.empty()) Reset();
  if (started_) sink_->Close();
  closed_ = true;
  return true;
}

}  // namespace audio
