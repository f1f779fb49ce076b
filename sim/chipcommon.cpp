#include "sim/chipcommon.h"

#include <algorithm>
#include <numeric>

#include "flash/loaders.h"

namespace kelmor::sim {

LoaderInfo IdentifyLoader(const std::vector<uint8_t>& bytes) {
    using flash::LoaderId;
    for (int i = 0; i < flash::kLoaderCount; ++i) {
        auto id = static_cast<LoaderId>(i);
        auto builtIn = flash::BuiltInLoader(id);
        bool same = builtIn.size() == bytes.size() &&
                    std::equal(builtIn.begin(), builtIn.end(), bytes.begin());
        if (!same) {
            auto loaded = flash::LoadLoader(id);
            same = !loaded.bytes.empty() && loaded.bytes == bytes;
        }
        if (!same) continue;
        LoaderInfo info;
        info.known = true;
        switch (id) {
            case LoaderId::H8_38400:
                info.nominalRate = 38400;
                break;
            case LoaderId::H8_115200:
                info.nominalRate = 115200;
                break;
            default: {
                info.h83069 = true;
                bool high = id == LoaderId::H83069_Speed0High ||
                            id == LoaderId::H83069_Speed1High || id == LoaderId::H83069_Speed2High;
                info.designCrystal = high ? 33000000u : 24576000u;
                if (id == LoaderId::H83069_Speed0Low || id == LoaderId::H83069_Speed0High)
                    info.nominalRate = 38400;
                else if (id == LoaderId::H83069_Speed1Low || id == LoaderId::H83069_Speed1High)
                    info.nominalRate = 115200;
                else
                    info.nominalRate = 9600;
            }
        }
        return info;
    }
    return {};
}

std::string RequestMatcher::Feed(uint8_t byte) {
    window_.push_back(static_cast<char>(byte));
    if (window_.size() > 7) window_.erase(0, window_.size() - 7);
    if (window_ == "QVFLASH" || window_ == "QVFLOEM") {
        std::string done = window_;
        window_.clear();
        return done;
    }
    return {};
}

void SendWithFault(ChipContext& ctx, const std::vector<uint8_t>& reply, const Fault* fault) {
    if (!fault) {
        ctx.Send(reply);
        return;
    }
    switch (fault->kind) {
        case FaultKind::NoAnswer:
        case FaultKind::Unplug:
            return;
        case FaultKind::Late:
            ctx.Send(reply, int64_t{fault->delayMs} * 1000);
            return;
        case FaultKind::Garbage:
            ctx.Send({'?'});
            return;
        case FaultKind::ErrorReply:
            ctx.Send(fault->reply);
            return;
        case FaultKind::WrongEcho: {
            std::vector<uint8_t> wrong = reply;
            for (auto& b : wrong) b = static_cast<uint8_t>(~b);
            ctx.Send(wrong);
            return;
        }
        default:
            ctx.Send(reply);
    }
}

uint8_t SumByte(const std::vector<uint8_t>& bytes) {
    unsigned sum = std::accumulate(bytes.begin(), bytes.end(), 0u);
    return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

bool SumOk(const std::vector<uint8_t>& frame) {
    unsigned sum = std::accumulate(frame.begin(), frame.end(), 0u);
    return (sum & 0xFF) == 0;
}

}  // namespace kelmor::sim
