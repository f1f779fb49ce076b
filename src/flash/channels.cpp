#include "flash/channels.h"

namespace kelmor::flash {

CFlashChannels::CFlashChannels(int count) {
    for (int i = 0; i < count; ++i) channels_.push_back(std::make_unique<FlashChannel>());
}

void CFlashChannels::Start(FlashObserver* window) {
    for (auto& c : channels_) c->finished = true;
    for (int i = 0; i < Count(); ++i) {
        FlashChannel& c = Channel(i);
        if (!c.enabled) {
            c.h8.result.store(h8result::kPortNotEnabled);
            c.h3069.result.store(h3069result::kPortNotEnabled);
            continue;
        }
        if (h3069Active) {
            c.thread3069 = std::make_unique<TMultiFlash_event_3069>(window, c.h3069, i);
            c.finished = false;
            c.thread3069->Start();
        } else {
            c.thread = std::make_unique<TMultiFlash_event>(window, c.h8, i);
            c.finished = false;
            c.thread->Start();
        }
    }
}

bool CFlashChannels::AllFinished() const {
    for (auto& c : channels_)
        if (!c->finished) return false;
    return true;
}

int CFlashChannels::ResultOf(int index) const {
    const FlashChannel& c = Channel(index);
    return h3069Active ? c.h3069.result.load() : c.h8.result.load();
}

std::string CFlashChannels::ResultTextOf(int index) const {
    const FlashChannel& c = Channel(index);
    return h3069Active ? c.h3069.ResultText(c.h3069.result.load())
                       : CMassFlash::ResultText(c.h8.result.load());
}

std::optional<FlashSummary> CFlashChannels::ChannelEnded(int index) {
    if (index < 0 || index >= Count()) {
        (prompter ? *prompter : platform::DefaultPrompter()).Message(kChannelIndexOutOfRange);
        return std::nullopt;
    }
    Channel(index).finished = true;
    if (!AllFinished()) return std::nullopt;
    FlashSummary summary;
    for (int i = 0; i < Count(); ++i) {
        FlashChannel& c = Channel(i);
        std::string text = ResultTextOf(i);
        int code = ResultOf(i);
        // The end message is the thread's last action; joining here only waits for it to return.
        c.thread.reset();
        c.thread3069.reset();
        bool failed = code != 0 && code < 0xFFFF;
        if (failed) summary.anyFailed = true;
        summary.red.push_back(failed && c.enabled);
        if (c.enabled) summary.portsToReacquire.push_back(c.port);
        summary.text += "Port" + std::to_string(i + 1) + ": " + text + "\n";
    }
    return summary;
}

void CFlashChannels::Interrupt() {
    for (auto& c : channels_) {
        if (h3069Active)
            c->h3069.abort.store(true);
        else
            c->h8.abort.store(true);
    }
    for (auto& c : channels_) {
        if (c->thread) c->thread->WaitFor();
        if (c->thread3069) c->thread3069->WaitFor();
        c->thread.reset();
        c->thread3069.reset();
    }
}

}  // namespace kelmor::flash
