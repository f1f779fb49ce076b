#pragma once
// Pieces both simulated chips share: recognising the RAM loader they were sent, the
// flash-mode request of the running firmware, and applying a fault to a reply.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/simmodem.h"

namespace kelmor::sim {

struct LoaderInfo {
    bool known = false;
    bool h83069 = false;
    int nominalRate = 0;         // the rate the loader switches to on its design crystal
    uint32_t designCrystal = 0;  // H8/3069 loaders: the crystal they were built for
};
// Compares the received bytes with the program's loader images (built-in and overrides). An
// unknown program would run wild in RAM: the chips then fall silent.
LoaderInfo IdentifyLoader(const std::vector<uint8_t>& bytes);

// Watches the running firmware's input for a 7-character request.
class RequestMatcher {
  public:
    // Returns the request completed by this byte, or empty.
    std::string Feed(uint8_t byte);

  private:
    std::string window_;
};

// Sends reply unless fault says otherwise (NoAnswer, Late, Garbage, ErrorReply, WrongEcho).
void SendWithFault(ChipContext& ctx, const std::vector<uint8_t>& reply, const Fault* fault);

// Frame check of the command protocol: all bytes add up to 0 modulo 256.
bool SumOk(const std::vector<uint8_t>& frame);
uint8_t SumByte(const std::vector<uint8_t>& bytes);

}  // namespace kelmor::sim
