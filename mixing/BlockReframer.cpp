#include "mixing/BlockReframer.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

BlockReframer::BlockReframer(size_t frameSamples, FrameProcessor processFrame)
    : processFrame_(std::move(processFrame)),
      gatheringNear_(frameSamples),
      gatheringFar_(frameSamples),
      processed_(frameSamples) {
  if (frameSamples == 0) throw std::invalid_argument("BlockReframer: a frame needs at least one sample");
}

void BlockReframer::Process(std::span<int16_t> near, std::span<const int16_t> far) {
  if (near.size() != far.size()) throw std::invalid_argument("BlockReframer: near and far blocks differ in length");
  for (size_t done = 0; done < near.size();) {
    const size_t take = std::min(near.size() - done, gatheringNear_.size() - filled_);
    const auto nearPart = near.subspan(done, take);
    std::copy(nearPart.begin(), nearPart.end(), gatheringNear_.begin() + filled_);
    std::copy_n(far.begin() + done, take, gatheringFar_.begin() + filled_);
    std::copy_n(processed_.begin() + filled_, take, nearPart.begin());
    filled_ += take;
    done += take;
    if (filled_ == gatheringNear_.size()) {
      processFrame_(gatheringNear_, gatheringFar_);
      gatheringNear_.swap(processed_);
      filled_ = 0;
    }
  }
}
