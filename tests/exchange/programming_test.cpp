// The simulated modem's programming side on its own: framing, validation and state files.
#include <gtest/gtest.h>

#include "bench.h"

namespace kelmor::exchangetest {
namespace {}  // namespace
}  // namespace kelmor::exchangetest
