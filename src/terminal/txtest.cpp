#include "terminal/txtest.h"

#include <algorithm>
#include <chrono>

namespace kelmor::terminal {

void ConfigureTxTestPort(serial::TCommPort& port, const TxTestSettings& s) {
    port.SetPortin_nro(static_cast<serial::TPortnro>(std::clamp(s.port, 0, 15)));
    port.SetBaudrate(static_cast<serial::TBaudRate>(std::clamp(s.baudrate, 0, 11)));
    switch (s.handshake) {
        case 1:
            port.SetRTSmode(serial::rtsHANDSHAKE);
            port.SetKattely(serial::fcNone);
            break;
        case 2:
            port.SetRTSmode(serial::rtsDISABLE);
            port.SetKattely(serial::fcXONXOFF);
            break;
        default:
            port.SetRTSmode(serial::rtsDISABLE);
            port.SetKattely(serial::fcNone);
            break;
    }
    port.Setpariteetti(static_cast<serial::TParityBits>(std::clamp(s.parity, 0, 4)));
    port.SetDatabits(static_cast<serial::TDataBits>(std::clamp(s.databits, 0, 1) + 3));
    port.SetStopbits(s.stopbits == 1 ? serial::sbTwo : serial::sbOne);
    port.Settaustaajo(false);
}

std::vector<uint8_t> TxTestBlock(const std::string& text, int bitsPerSecond, int lineMs) {
    std::vector<uint8_t> block;
    if (text.empty()) return block;
    // About ten bits a character on the line.
    const size_t wanted = static_cast<size_t>(std::max(bitsPerSecond, 300)) / 10 *
                          static_cast<size_t>(std::max(lineMs, 1)) / 1000;
    const size_t copies = std::max<size_t>(1, wanted / text.size());
    block.reserve(copies * text.size());
    for (size_t i = 0; i < copies; ++i) block.insert(block.end(), text.begin(), text.end());
    return block;
}

// ---------------------------------------------------------------------------------------------

Tpikakirj::Tpikakirj(serial::TCommPort& port, std::string text, std::function<void()> finished)
    : port_(port), text_(std::move(text)), onFinished_(std::move(finished)) {}

Tpikakirj::~Tpikakirj() {
    terminate_ = true;
    if (thread_.joinable()) thread_.join();
}

void Tpikakirj::Start() {
    thread_ = std::thread([this] { Execute(); });
}

void Tpikakirj::Execute() {
    const std::vector<uint8_t> block = TxTestBlock(text_, serial::BaudRateValue(port_.Baudrate()));
    while (!terminate_ && !block.empty()) {
        const int n = port_.DirectWrite(block.data(), static_cast<int>(block.size()));
        written_ += static_cast<uint64_t>(std::max(n, 0));
        if (port_.HungUp()) break;  // the device is gone: nothing more will leave
        if (n <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    finished_ = true;
    if (onFinished_) onFinished_();
}

// ---------------------------------------------------------------------------------------------

TxTestSession::TxTestSession(QObject* parent) : QObject(parent) {
    port_.SetBaudrate(serial::br__9600);
    port_.SetRX_notify(512);
    port_.SetTX_notify(512);
    port_.SetDTRmode(serial::dtrENABLE);
    port_.Setvaliaika(200);
    port_.Settaustaajo(false);
}

TxTestSession::~TxTestSession() {
    // Closing the window while sending runs: the window stops first and is freed only after
    // the stop has ended, so here the writer has ended already (or never ran).
    if (writer_) writer_->Terminate();
    writer_.reset();
    port_.SetOpen(false);
}

void TxTestSession::Start(const TxTestSettings& settings, const std::string& text) {
    if (Busy()) return;
    starting_ = true;
    portIndex_ = settings.port;
    if (releasePort) releasePort(portIndex_);
    QTimer::singleShot(releasePauseMs, this, [this, settings, text] { Open(settings, text); });
}

void TxTestSession::Open(const TxTestSettings& settings, const std::string& text) {
    starting_ = false;
    ConfigureTxTestPort(port_, settings);
    sending_ = true;
    if (onSendingChanged) onSendingChanged(true);
    if (!stopRequested_) port_.SetOpen(true);
    stopRequested_ = false;
    if (!port_.IsOpen()) {
        // The port has said why; give it back to the terminals rather than write nowhere.
        stopping_ = true;
        WriterEnded();
        return;
    }
    writer_ = std::make_unique<Tpikakirj>(port_, text, [this] {
        QMetaObject::invokeMethod(
            this, [this] { WriterEnded(); }, Qt::QueuedConnection);
    });
    writer_->Start();
}

void TxTestSession::Stop() {
    if (starting_) stopRequested_ = true;  // Cancel within the release pause
    if (!sending_ || stopping_) return;
    stopping_ = true;
    if (writer_) writer_->Terminate();
}

void TxTestSession::WriterEnded() {
    // The writer has returned from its last write: joining it does not wait.
    writer_.reset();
    stopping_ = true;
    QTimer::singleShot(closePauseMs, this, [this] {
        port_.SetOpen(false);
        QTimer::singleShot(reacquirePauseMs, this, [this] {
            if (reacquirePort) reacquirePort(portIndex_);
            sending_ = false;
            stopping_ = false;
            if (onSendingChanged) onSendingChanged(false);
            if (onStopped) onStopped();
        });
    });
}

}  // namespace kelmor::terminal
