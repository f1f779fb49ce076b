#include "flash/channels.h"

#include <cerrno>
#include <new>
#include <system_error>

namespace kelmor::flash {

std::string ThreadNotCreatedText(int channelNumber, int error) {
    return std::string(
               "S\xE4"
               "e ") +
           std::to_string(channelNumber) + " k\xE4ynnisty " + std::to_string(error);
}

std::string ThreadNotStartedText(int channelNumber, int error) {
    return std::string(
               "S\xE4"
               "e ") +
           std::to_string(channelNumber) + " ei aukea " + std::to_string(error);
}

CFlashChannels::CFlashChannels(int count) {
    for (int i = 0; i < count; ++i) channels_.push_back(std::make_unique<FlashChannel>());
}

void CFlashChannels::Start(FlashObserver* window) {
    platform::Prompter& messages = prompter ? *prompter : platform::DefaultPrompter();
    for (auto& c : channels_) c->finished = true;
    for (int i = 0; i < Count(); ++i) {
        FlashChannel& c = Channel(i);
        if (!c.enabled) {
            c.h8.result.store(h8result::kPortNotEnabled);
            c.h3069.result.store(h3069result::kPortNotEnabled);
            continue;
        }
        // A run after an interrupt starts clean.
        c.h8.abort.store(false);
        c.h3069.abort.store(false);
        c.finished = false;
        // A channel whose thread does not come up keeps its flag clear: it never reports.
        try {
            if (h3069Active)
                c.thread3069 = std::make_unique<TMultiFlash_event_3069>(window, c.h3069, i);
            else
                c.thread = std::make_unique<TMultiFlash_event>(window, c.h8, i);
        } catch (const std::bad_alloc&) {
            messages.Message(ThreadNotCreatedText(i + 1, ENOMEM));
            continue;
        }
        try {
            if (h3069Active)
                c.thread3069->Start(launcher);
            else
                c.thread->Start(launcher);
        } catch (const std::system_error& e) {
            c.thread.reset();
            c.thread3069.reset();
            messages.Message(ThreadNotStartedText(i + 1, e.code().value()));
        } catch (const std::exception&) {
            c.thread.reset();
            c.thread3069.reset();
            messages.Message(ThreadNotStartedText(i + 1, 0));
        }
    }
}

bool CFlashChannels::AllFinished() const {
    for (auto& c : channels_)
        if (!c->finished) return false;
    return true;
}

bool CFlashChannels::AnyRunning() const {
    for (auto& c : channels_)
        if (c->Running()) return true;
    return false;
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
        if (c.enabled) summary.portsToReacquire.push_back(PortOf(i));
        summary.text += "Port" + std::to_string(i + 1) + ": " + text + "\n";
    }
    return summary;
}

void CFlashChannels::RequestInterrupt() {
    for (auto& c : channels_) {
        if (h3069Active)
            c->h3069.abort.store(true);
        else
            c->h8.abort.store(true);
    }
}

void CFlashChannels::Interrupt() {
    RequestInterrupt();
    for (auto& c : channels_) {
        if (c->thread) c->thread->WaitFor();
        if (c->thread3069) c->thread3069->WaitFor();
        c->thread.reset();
        c->thread3069.reset();
    }
}

}  // namespace kelmor::flash
