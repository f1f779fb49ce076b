#include "terminal/statuslog.h"

#include "core/hex.h"

namespace kelmor::terminal {

void StatusLogModel::AddLine(const std::string& text) {
    lines_.push_back({text, kDefaultTextColour});
}

bool StatusLogModel::AddBytes(const std::vector<uint8_t>& bytes, bool sent) {
    if (!factoryMode_) return false;
    lines_.push_back(
        {core::EscapedHexBytes(bytes.data(), bytes.size()), sent ? kSentColour : kReceivedColour});
    return true;
}

std::string StatusLogModel::Text() const {
    std::string out;
    for (const StatusLine& line : lines_) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

}  // namespace kelmor::terminal
