#pragma once
// Faults as they are written on the simulator's command line:
//   POINT[=CMD]:KIND[:AFTER[:COUNT[:ARG]]]
// e.g. "packet:nak:3:52" (the 4th packet and the 51 after it get a NAK), "enq:noanswer:0:48",
// "command=0x10:error:0:1:9021", "frame:late:0:1:200". COUNT -1 means every one that follows.
#include <optional>
#include <string>

#include "sim/simmodem.h"

namespace kelmor::sim {

std::optional<Fault> ParseFault(const std::string& text, std::string* error = nullptr);
// The accepted point and kind names, for help texts.
std::string FaultHelp();

}  // namespace kelmor::sim
