// The cumulative rule for delays on real times.
#include "host/output/frame_delays.h"

namespace frame_delays {

int64_t DelayUntil(int64_t until, int64_t* given) {
    const int64_t reached = until > 0 ? until / kPerHundredth : 0;
    const int64_t delay = reached > *given ? reached - *given : 0;
    *given += delay;
    return delay;
}

}  // namespace frame_delays
