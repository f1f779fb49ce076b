#pragma once
// The flash channels of a multi flash window (four) or of the command-line flasher (any number):
// per channel one engine of each kind, its thread and a finished flag; the start, the end
// messages, the summary and the interrupt. GUI-thread logic: the window calls ChannelEnded from
// its end-message handler.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flash/flashthreads.h"
#include "platform/prompter.h"

namespace kelmor::flash {

inline constexpr const char* kChannelIndexOutOfRange = "Lopetuksessa meni indeksi yli ";

struct FlashChannel {
    CMassFlash h8;
    CMassFlash_3069 h3069;
    std::unique_ptr<TMultiFlash_event> thread;
    std::unique_ptr<TMultiFlash_event_3069> thread3069;
    bool enabled = false;
    bool finished = true;
    int port = 1;  // the COM port the channel's engines use
};

struct FlashSummary {
    std::string text;                   // "Port1: ...\n" for every channel
    bool anyFailed = false;             // picks the error sound
    std::vector<bool> red;              // groups to paint red (failed and enabled)
    std::vector<int> portsToReacquire;  // enabled channels' ports
};

class CFlashChannels {
  public:
    explicit CFlashChannels(int count = 4);

    int Count() const { return static_cast<int>(channels_.size()); }
    FlashChannel& Channel(int index) { return *channels_.at(static_cast<size_t>(index)); }
    const FlashChannel& Channel(int index) const {
        return *channels_.at(static_cast<size_t>(index));
    }

    // The kind that runs: H8/3069 engines when true, H8 engines otherwise.
    bool h3069Active = false;
    // Messages of the collection ("Lopetuksessa ..."); null: the default prompter.
    platform::Prompter* prompter = nullptr;

    // Every channel's finished flag is set; each enabled channel, in order, gets a started
    // thread of the active kind and a cleared flag; the others the result 0xFFFF.
    void Start(FlashObserver* window);
    // The end message of one channel. Returns the summary once every channel has finished.
    std::optional<FlashSummary> ChannelEnded(int index);
    // Asks every run of the active kind to stop and waits for all threads to end.
    void Interrupt();
    bool AllFinished() const;
    int ResultOf(int index) const;
    std::string ResultTextOf(int index) const;

  private:
    std::vector<std::unique_ptr<FlashChannel>> channels_;
};

}  // namespace kelmor::flash
