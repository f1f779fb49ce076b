#pragma once
// The TX test: a port in direct mode kept transmitting a test text without pause by the writer
// thread Tpikakirj, and the session around it (the terminals on that port give it up first and
// get it back afterwards). The GUI thread never waits on the writer: it asks it to stop and
// goes on when the writer reports, through the event loop, that it has ended.
#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "serial/commport.h"

namespace kelmor::terminal {

// The radio groups of the window, as indices.
struct TxTestSettings {
    int port = 0;       // "COM 1" … "COM 8"
    int baudrate = 5;   // "300" … "115200" (TBaudRate ordinal)
    int handshake = 0;  // "None", "Hardware", "Software"
    int parity = 0;     // "None", "Odd", "Even", "Mark", "Space"
    int databits = 1;   // "7", "8"
    int stopbits = 0;   // "1", "2"
};

// Puts the settings on a port and switches it to direct mode.
void ConfigureTxTestPort(serial::TCommPort& port, const TxTestSettings& settings);

// One write of the writer: whole copies of the text, as many as fill about `lineMs` at the
// port's bit rate (at least one copy). A write waits until its bytes have left, so one byte
// per write would leave the line idle between writes; a longer write keeps the same stream of
// characters and the transmitter keyed.
std::vector<uint8_t> TxTestBlock(const std::string& text, int bitsPerSecond, int lineMs = 100);

class Tpikakirj {
  public:
    // `finished` runs in the writer thread once it has ended (it should post to the GUI).
    Tpikakirj(serial::TCommPort& port, std::string text, std::function<void()> finished = {});
    ~Tpikakirj();  // joins: call only once Finished() (or it waits for the current write)
    Tpikakirj(const Tpikakirj&) = delete;
    Tpikakirj& operator=(const Tpikakirj&) = delete;

    void Start();
    void Terminate() { terminate_ = true; }
    bool Finished() const { return finished_; }
    uint64_t BytesWritten() const { return written_; }

  private:
    void Execute();

    serial::TCommPort& port_;
    std::string text_;
    std::function<void()> onFinished_;
    std::atomic<bool> terminate_{false};
    std::atomic<bool> finished_{false};
    std::atomic<uint64_t> written_{0};
    std::thread thread_;
};

// Start and Cancel of the TX test window, with their pauses run by timers.
class TxTestSession : public QObject {
    Q_OBJECT
  public:
    explicit TxTestSession(QObject* parent = nullptr);
    ~TxTestSession() override;

    serial::TCommPort& Port() { return port_; }
    // Main-window hand-over of the selected port (index 0 = COM1).
    std::function<void(int portIndex)> releasePort;
    std::function<void(int portIndex)> reacquirePort;
    // Sending started or ended (the window switches the Cancel hint).
    std::function<void(bool sending)> onSendingChanged;
    // The stop sequence has ended: the port is back with the terminals.
    std::function<void()> onStopped;

    // Ignored while sending runs or a stop is under way.
    void Start(const TxTestSettings& settings, const std::string& text);
    // Asks the writer to end; the rest follows from the event loop.
    void Stop();
    bool Sending() const { return sending_; }
    bool Stopping() const { return stopping_; }
    bool Busy() const { return sending_ || stopping_ || starting_; }
    uint64_t BytesWritten() const { return writer_ ? writer_->BytesWritten() : 0; }

    // The pauses of the sequence (ms); tests shorten them.
    int releasePauseMs = 100;
    int closePauseMs = 200;
    int reacquirePauseMs = 500;

  private:
    void Open(const TxTestSettings& settings, const std::string& text);
    void WriterEnded();

    serial::TCommPort port_;
    std::unique_ptr<Tpikakirj> writer_;
    int portIndex_ = 0;
    bool sending_ = false;
    bool starting_ = false;
    bool stopping_ = false;
    bool stopRequested_ = false;
};

}  // namespace kelmor::terminal
