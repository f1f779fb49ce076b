#pragma once
// The flash channels of a multi flash window (four) or of the command-line flasher (any number):
// per channel one engine of each kind, its thread and a finished flag; the start, the end
// messages, the summary and the interrupt. GUI-thread logic: the window calls ChannelEnded from
// its end-message handler and never waits for a thread (RequestInterrupt only asks).
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "flash/flashthreads.h"
#include "platform/prompter.h"

namespace kelmor::flash {

inline constexpr const char* kChannelIndexOutOfRange = "Lopetuksessa meni indeksi yli ";
// A channel's thread that could not be created or started, by channel number (1..) and the
// system's error number: "Säe N käynnisty E" and "Säe N ei aukea E" (Windows-1252).
std::string ThreadNotCreatedText(int channelNumber, int error);  // "Säe N käynnisty E"
std::string ThreadNotStartedText(int channelNumber, int error);  // "Säe N ei aukea E"

struct FlashChannel {
    CMassFlash h8;
    CMassFlash_3069 h3069;
    std::unique_ptr<TMultiFlash_event> thread;
    std::unique_ptr<TMultiFlash_event_3069> thread3069;
    bool enabled = false;
    bool finished = true;

    // The channel's COM port lives in its engines; both kinds are set together, and the summary
    // reads it from the kind that ran.
    void SetPort(int port) {
        h8.port = port;
        h3069.port = port;
    }
    int Port(bool h3069Active) const { return h3069Active ? h3069.port : h8.port; }
    // A thread of either kind exists and has not yet posted its end.
    bool Running() const {
        return (thread && !thread->Ended()) || (thread3069 && !thread3069->Ended());
    }
};

struct FlashSummary {
    std::string text;                   // "Port1: ...\n" for every channel
    bool anyFailed = false;             // picks the error sound
    std::vector<bool> red;              // groups to paint red (failed and enabled)
    std::vector<int> portsToReacquire;  // enabled channels' ports (1 = COM1)
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
    // Messages of the collection ("Lopetuksessa ...", "Säe ..."); null: the default prompter.
    platform::Prompter* prompter = nullptr;
    // How a worker thread is started (tests make it fail); empty: std::thread.
    FlashThreadLauncher launcher;

    // Every channel's finished flag is set; each enabled channel, in order, gets a started
    // thread of the active kind, its abort flags cleared and a cleared finished flag; the others
    // the result 0xFFFF. A thread that cannot be created or started is reported ("Säe N ...")
    // and leaves that channel's finished flag clear; the other channels go on.
    void Start(FlashObserver* window);
    // The end message of one channel. Returns the summary once every channel has finished.
    std::optional<FlashSummary> ChannelEnded(int index);
    // Asks every run of the active kind to stop at its next abort point. Never waits: each run
    // then ends with its end message as usual.
    void RequestInterrupt();
    // RequestInterrupt, then waits for all threads to end (for hosts without an event loop).
    void Interrupt();
    bool AllFinished() const;
    // Any channel thread still running (its end not yet posted).
    bool AnyRunning() const;
    int ResultOf(int index) const;
    std::string ResultTextOf(int index) const;
    int PortOf(int index) const { return Channel(index).Port(h3069Active); }

  private:
    std::vector<std::unique_ptr<FlashChannel>> channels_;
};

}  // namespace kelmor::flash
