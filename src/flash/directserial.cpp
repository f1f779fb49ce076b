#include "flash/directserial.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "serial/commport.h"

namespace kelmor::flash {

platform::Clock& DirectSerialSetup::ClockOrReal() const {
    return clock ? *clock : platform::RealClock::Instance();
}

platform::Prompter& DirectSerialSetup::PrompterOrDefault() const {
    return prompter ? *prompter : platform::DefaultPrompter();
}

CDirectSerial::CDirectSerial() = default;
CDirectSerial::CDirectSerial(DirectSerialSetup setup) : setup_(std::move(setup)) {}
CDirectSerial::~CDirectSerial() = default;

bool CDirectSerial::Open(int port, int rate, int bits, int type) {
    using namespace serial;
    if (open_) return false;
    if (!port_) {
        try {
            port_ = std::make_unique<TCommPort>();
        } catch (const std::bad_alloc&) {
            setup_.PrompterOrDefault().Message(kDirectSerialDidNotOpen);
            return false;
        }
        port_->SetPrompter(&setup_.PrompterOrDefault());
        if (setup_.deviceFactory) port_->SetDeviceFactory(setup_.deviceFactory);
        if (!setup_.devicePath.empty()) port_->SetDevicePath(setup_.devicePath);
    }
    setup_.ClockOrReal().Sleep(10);
    if (port < 1 || port > 16) return false;  // no COM port outside 1..16
    port_->SetPortin_nro(static_cast<TPortnro>(port - 1));
    if (rate == 9600) port_->SetBaudrate(br__9600);
    if (rate == 38400) port_->SetBaudrate(br_38400);
    if (rate == 115200) port_->SetBaudrate(br115200);
    port_->SetDatabits(bits == 8 ? db_8_Eight : db_7_Seven);
    port_->Setpariteetti(_pbNone);
    port_->SetStopbits(sbOne);
    if (type >= 0 && type <= 2) {
        port_->SetDTRmode(dtrENABLE);
        port_->SetDTRline(true);
        port_->SetRTSmode(type == 1 ? rtsHANDSHAKE : rtsDISABLE);
        port_->SetKattely(type == 2 ? fcXONXOFF : fcNone);
    }
    port_->Setxon_char(17);
    port_->Setxoff_char(19);
    port_->Settaustaajo(false);
    port_->SetRX_puskurin_koko(1024);
    port_->SetRX_notify(1024);
    port_->SetTX_puskurin_koko(512);
    port_->SetTX_notify(512);
    port_->Setvaliaika(20);
    port_->SetOpen(true);
    open_ = port_->IsOpen();
    return open_;
}

bool CDirectSerial::SetBitRate(int rate) {
    using namespace serial;
    if (!port_) return true;
    if (rate == 9600) port_->SetBaudrate(br__9600);
    if (rate == 38400) port_->SetBaudrate(br_38400);
    if (rate == 115200) port_->SetBaudrate(br115200);
    return true;
}

bool CDirectSerial::Close() {
    if (open_) {
        port_->PurgeRx();
        port_->PurgeTx();
        port_->SetOpen(false);
        open_ = false;
    }
    return true;
}

int CDirectSerial::Write(const uint8_t* bytes, int count) {
    if (!open_ || count <= 0) return 0;
    return port_->DirectWrite(bytes, count);
}

int CDirectSerial::Read(uint8_t* destination, int limit) {
    if (!open_ || limit <= 0) return 0;
    port_->SetRX_notify(limit);
    int count = 0;
    std::vector<uint8_t> block = port_->DirectRead(count);
    // Never trust a count beyond what was asked for or what the block holds.
    count = std::clamp(count, 0, std::min(limit, static_cast<int>(block.size())));
    if (count > 0) std::memcpy(destination, block.data(), static_cast<size_t>(count));
    return count;
}

int CDirectSerial::ReadTimed(uint8_t* destination, int wanted, int timeoutMs) {
    platform::Clock& clock = setup_.ClockOrReal();
    int total = Read(destination, wanted);
    int64_t start = clock.Now();
    int64_t elapsed = 0;
    while (elapsed < timeoutMs && total < wanted && open_) {
        // Wake as soon as bytes arrive instead of polling every millisecond; a device whose
        // wait does not move the clock still gets the 1 ms step.
        int64_t before = clock.Now();
        port_->DirectWaitReadable(static_cast<int>(timeoutMs - elapsed));
        if (clock.Now() == before && port_->DirectWaitReadable(0) == false) clock.Sleep(1);
        total += Read(destination + total, wanted - total);
        elapsed = clock.Now() - start;
    }
    return total;
}

bool CDirectSerial::DsrOn() { return open_ && port_->DsrOn(); }

}  // namespace kelmor::flash
