#include "sim/adapter_hold.h"

namespace kv58::sim {

AdapterHold::Passing AdapterHold::take(int64_t arrivalUs) {
    if (holdUs_ <= 0 || packetBytes_ <= 1)
        return {arrivalUs, 0};
    if (held_ == 0 || arrivalUs >= releaseUs_) {
        // The first byte of a new hold starts the timer.
        held_ = 1;
        releaseUs_ = arrivalUs + holdUs_;
        return {releaseUs_, 0};
    }
    if (++held_ < packetBytes_)
        return {releaseUs_, 0};
    const size_t earlier = held_ - 1;
    held_ = 0;
    return {arrivalUs, earlier};
}

}  // namespace kv58::sim
