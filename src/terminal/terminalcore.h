#pragma once
// One terminal's traffic: its port, what it receives and sends, the send chunking, the line
// error reports and the programming-mode switch. The window only forwards keys, menu commands
// and settings to it and shows what the display appends.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "serial/commport.h"
#include "terminal/display.h"
#include "terminal/portsettings.h"

namespace kelmor::terminal {

// Options the settings dialog and the programming-mode switch write.
struct TerminalOptions {
    bool localEcho = false;
    bool crLf = false;
    bool timeStamp = false;
    bool mirror = false;
    bool rtsControl = false;  // handshake "Q5X/Q6X": RTS up for each send
};

// Messages a terminal posts to its transmit window.
enum class TransmitMessage { AllSent, PortClosed, PortBack };

// What closed or reopened the port.
enum class PortChange {
    User,        // "Close port" / "Open port", or the settings dialog
    Released,    // another window took the port (the main window's ReleasePort)
    Reacquired,  // ... and gave it back
    Suspended,   // the computer went to sleep
    Resumed,     // ... and woke up
    DeviceLost,  // the device went away while open
};

// Who holds the port closed.
enum class PortClosedBy { None, User, Shell, DeviceLost };

// Clipboard text (Windows-1252 bytes) as a paste sends it: a bare LF becomes CR LF, the line
// end the modems' users always sent; CR LF and a lone CR stay as they are.
std::vector<uint8_t> PasteBytes(std::string_view text);

class TerminalCore : public QObject {
    Q_OBJECT
  public:
    explicit TerminalCore(TerminalDisplay& display, QObject* parent = nullptr);
    ~TerminalCore() override;

    serial::TCommPort& Port() { return port_; }
    const serial::TCommPort& Port() const { return port_; }
    TerminalDisplay& Display() { return display_; }
    const TerminalDisplay& Display() const { return display_; }
    TerminalOptions& Options() { return options_; }
    const TerminalOptions& Options() const { return options_; }

    // CR interval in ms (0 = off); enabled starts the timer now, as accepting settings does.
    void SetCrInterval(int ms, bool enabled);
    int CrInterval() const { return crIntervalMs_; }
    bool CrTimerActive() const { return crTimer_.isActive(); }
    void StopCrTimer() { crTimer_.stop(); }

    // A typed character (after the window's key filtering).
    void TypeCharacter(uint8_t ch);
    // Queues a block for sending in TX_puskurin_koko chunks; fromMirror blocks are not mirrored
    // again.
    void SendBlock(std::vector<uint8_t> bytes, bool fromMirror = false);
    size_t PendingSendBytes() const { return sendBuffer_.size(); }
    // Drops what still waits in the send buffer (a cancelled packet); the chunk the port has
    // already taken finishes, and typed bytes are kept.
    void DiscardPendingSend();

    // Settings accepted: programming mode off, RTS drop delay, trim target, error events.
    void SettingsAccepted();
    int RtsDropDelayMs() const { return rtsDropDelay_; }

    // Programming mode: fixed line settings for talking to a modem, and back.
    void ToggleProgrammingMode();
    void EnterProgrammingMode();
    void LeaveProgrammingMode();
    bool ProgrammingMode() const { return programmingMode_; }

    // "COM1: 9600 None  8 1 | None | Echo" or "COM1: Programming mode".
    std::string Caption() const;
    std::string NormalCaption() const;

    // The only way the terminal's port opens and closes. Closing forgets what was waiting to
    // be sent; OpenPort returns IsOpen(). User: "Close port" / "Open port"; Released and
    // Suspended close for the shell, Reacquired and Resumed reopen after them.
    void ClosePort(PortChange why = PortChange::User);
    bool OpenPort(PortChange why = PortChange::User);
    // Moves to another port number (settings): the old port closes, the new one opens, and
    // bytes not yet sent go out on the new port. Returns IsOpen().
    bool MovePort(serial::TPortnro port);
    PortClosedBy ClosedBy() const { return closedBy_; }
    // Closed by "Close port" or by a lost device: only the user opens it again.
    bool UserClosed() const {
        return closedBy_ == PortClosedBy::User || closedBy_ == PortClosedBy::DeviceLost;
    }

    // Hooks to the window and the rest of the program.
    std::function<void(std::vector<uint8_t>)> onMirrorBlock;
    // The transmit window's notices, while one is open: AllSent after each finished write that
    // leaves nothing to send; PortClosed when the user, a release, a suspend or a lost device
    // closes the port; PortBack when a resume reopens it.
    std::function<void(TransmitMessage)> onTransmitMessage;
    // The same port notices with their cause, and also PortBack for every other reopening
    // (reacquire, "Open port"), so a transmit window can tell them apart.
    std::function<void(TransmitMessage, PortChange)> onPortNotice;
    // After every open or close of the port (the window greys and switches its entries).
    std::function<void(PortChange)> onPortChanged;
    std::function<void()> onDeviceLost;
    bool transmitWindowOpen = false;
    // The port number this terminal holds in the settings dialog's in-use set (-1: none).
    int markedPort = -1;

    // The port's events (connected in the constructor; public for tests).
    void Reception();
    void WriteFinished();
    void LineEvents();
    void CrIntervalTimer();
    bool ErrorTimerActive() const { return errorTimer_.isActive(); }

  private:
    struct Saved {
        serial::TBaudRate baudrate = serial::br__9600;
        serial::TParityBits parity = serial::_pbNone;
        serial::TDataBits databits = serial::db_8_Eight;
        serial::TStopBits stopbits = serial::sbOne;
        int handshake = 0;
        bool mirror = false, echo = false, crLf = false, stampPending = false;
        int viewType = 0;
        int crInterval = 0;
    };
    struct PendingByte {
        uint8_t byte;
        bool echoed;  // typed bytes were shown when typed
    };
    void Enqueue(const std::vector<uint8_t>& bytes, bool echoed);
    void SendTyped();
    void TypedDone();
    void NextChunk();
    void QueueChunk();
    bool Queue(std::vector<uint8_t> bytes);
    void RaiseRts();
    void ForgetWrites();
    void ForgetInFlight();
    void AfterWrite();
    void ResumeSending();
    void PortNotice(TransmitMessage message, PortChange why);

    TerminalDisplay& display_;
    serial::TCommPort port_;
    TerminalOptions options_;
    QTimer crTimer_;
    QTimer errorTimer_;
    int crIntervalMs_ = 0;
    bool stampPending_ = false;
    std::vector<uint8_t> typed_;
    bool typedInFlight_ = false;
    std::deque<PendingByte> sendBuffer_;
    // A write handed to the port and not finished; the port takes no second one meanwhile.
    bool writeInFlight_ = false;
    uint64_t writeEpoch_ = 0;  // changes when the port closes: a pending RTS drop is stale
    bool morePending_ = false;
    int rtsDropDelay_ = 6;
    PortClosedBy closedBy_ = PortClosedBy::None;
    bool programmingMode_ = false;
    Saved saved_;
};

}  // namespace kelmor::terminal
