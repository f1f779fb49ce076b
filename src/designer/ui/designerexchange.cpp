#include "designer/ui/designerexchange.h"

#include "designer/ui/piirtopohja.h"
#include "modemcfg/propertiesform.h"
#include "platform/programdir.h"

namespace kelmor::designer::ui {

namespace {

using modemcfg::ExchangeTimer;
using modemcfg::StatusMode;

// The transmit buffer before any definition is known; ReserveTransmit grows it per exchange.
constexpr int kTransmitBuffer = 4096;

}  // namespace

DesignerExchange::DesignerExchange(Tpiirtopohja& window)
    : ExchangeHooks(window), target_(window.Net()), exchange_(*this, target_, window.Prompter()) {
    port_.SetBaudrate(serial::br__9600);
    port_.SetRX_puskurin_koko(2048);
    port_.SetRX_notify(2048);
    port_.SetTX_puskurin_koko(kTransmitBuffer);
    port_.SetDTRmode(serial::dtrENABLE);
    port_.Setvaliaika(50);
    port_.Settaustaajo(true);
    port_.SetPrompter(&window.Prompter());
    port_.tulleet_merkit = [this](serial::TCommPort* p) {
        if (p->ReceivedCount() <= 0) return;
        exchange_.OnReceived(p->TakeReceived());
    };
    for (size_t i = 0; i < timers_.size(); ++i) {
        timers_[i].setSingleShot(true);
        connect(&timers_[i], &QTimer::timeout, this,
                [this, i] { exchange_.OnTimer(static_cast<ExchangeTimer>(i)); });
    }
    reenable_.setSingleShot(true);
    reenable_.setInterval(1000);
    connect(&reenable_, &QTimer::timeout, this,
            [this] { window_.Shell().Status().SetStatusButtons({}, true); });
    exchange_.SetPortNumber(window.PortNumber());

    form_ = std::make_unique<modemcfg::ui::Tominaisuus>(*this, window.Prompter(), &window);
    if (window.Shell().FactoryMode()) {
        security_ = std::make_unique<modemcfg::ui::Tsuoja>(true, window.Prompter(), &window);
        security_->levelChanged = [this](int level) {
            level_ = static_cast<char>('0' + level);
            exchange_.SetSecurityLevel(level_);
        };
        security_->accepted = [this] {
            // The form shows the new level's editors.
            if (form_->isVisible() && LiveFormNode() && !form_->Converting()) OpenForm(*formNode_);
        };
    }
}

DesignerExchange::~DesignerExchange() {
    exchange_.Abort();
    for (QTimer& t : timers_) t.stop();
    port_.tulleet_merkit = nullptr;
    port_.SetOpen(false);
}

// --- the form ---

modemcfg::ui::FormNode DesignerExchange::Snapshot(const TKuvio& node) const {
    modemcfg::ui::FormNode n;
    n.name = node.name;
    n.addresses = node.addresses;
    n.noAddress = node.noAddress;
    n.isMulti = node.isMulti;
    n.isMaster = node.isMaster;
    n.systemAddress = node.systemAddress;
    n.typeFileName = node.DefinitionFileName();
    n.typeVersion = node.typeVersion;
    n.parameters = node.parameters;
    n.isNew = node.isNew;
    return n;
}

modemcfg::ui::FormContext DesignerExchange::Context(const TKuvio& node) const {
    modemcfg::ui::FormContext c;
    c.folder = platform::DefinitionFolderFor(node.DefinitionFileName());
    c.securityLevel = level_;
    c.singleView = window_.SingleMode();
    c.factoryMode = window_.Shell().FactoryMode();
    c.virtualRouting = window_.Net().properties.IsVirtualRouting();
    c.designerCaption = window_.windowTitle().toStdString();
    c.maxHeight = window_.height();
    return c;
}

void DesignerExchange::OpenForm(TKuvio& node, const std::string& convertType) {
    formNode_ = &node;
    form_->Open(Snapshot(node), Context(node), convertType);
}

void DesignerExchange::OpenProperties(TKuvio& node) { OpenForm(node); }

void DesignerExchange::ConvertType(TKuvio& node, const std::string& targetType) {
    if (RefuseWhileRunning()) return;
    OpenForm(node, targetType);
}

bool DesignerExchange::ConversionMode() const { return form_->isVisible() && form_->Converting(); }

void DesignerExchange::ActiveNodeChanged(TKuvio* node) {
    if (!LiveFormNode()) form_->hide();  // its node is gone
    if (!node || !form_->isVisible() || form_->Converting() || node == formNode_) return;
    OpenForm(*node);
}

void DesignerExchange::Forget(const TKuvio* node) {
    if (node && node != formNode_) return;
    formNode_ = nullptr;
    form_->hide();
}

TKuvio* DesignerExchange::LiveFormNode() {
    // The form's node may have been deleted while the form stood hidden or open for it; only a
    // node still in the network is touched.
    if (formNode_ && window_.Net().IndexOf(formNode_) < 0) formNode_ = nullptr;
    return formNode_;
}

void DesignerExchange::FormAccepted(const modemcfg::ui::FormResult& r) {
    TKuvio* node = LiveFormNode();
    if (!node) return;
    Network& net = window_.Net();
    node->name = r.name;
    node->noAddress = r.noAddress;
    if (r.isMulti) {
        node->PutAddressAt(-1, "");
        for (size_t i = 0; i < r.addresses.size(); ++i)
            node->PutAddressAt(static_cast<int>(i), r.addresses[i]);
    } else if (!r.addresses.empty()) {
        node->SetAddress(r.addresses[0]);
    }
    node->systemAddress = r.systemAddress;
    if (r.clearList) {
        node->ClearParameters();
    } else {
        node->RewindParameters();
    }
    if (r.newTypeFileName) {
        node->typeName = modemcfg::TypeNameOf(*r.newTypeFileName);
        net.LoadTypeInfo(*node);
    }
    for (const modemcfg::ModemParam& p : r.entries)
        node->PutParameter(p.type, p.level, true, p.shown, p.value);
    if (!r.fromExchange) {
        node->isNew = false;
        net.modified = true;
        if (r.addressChanged) net.routesDirty = true;
        window_.Printing().RefreshPropertyTable();
    }
    window_.FullRedraw();
}

void DesignerExchange::FormHidden() { formNode_ = nullptr; }

void DesignerExchange::ReceiveRequested() {
    if (TKuvio* node = LiveFormNode()) ReceiveValues(*node);
}

void DesignerExchange::TransmitRequested() {
    if (TKuvio* node = LiveFormNode()) TransmitValues(*node);
}

// --- commands ---

void DesignerExchange::Start(TKuvio& node, bool transmit) {
    if (exchange_.Running()) {
        window_.Prompter().Message(modemcfg::kExchangeRunningText);
        form_->EnableCancel();
        return;
    }
    // The exchange fixes the active node as its own when it begins.
    window_.Net().activeNode = &node;
    exchange_.SetSecurityLevel(level_);
    exchange_.SetPortNumber(window_.PortNumber());
    marked_ = false;
    lastResult_.reset();
    const bool started = transmit ? exchange_.StartTransmit() : exchange_.StartReceive();
    if (!started) form_->EnableCancel();
    window_.UpdateMenus();
}

void DesignerExchange::ReceiveValues(TKuvio& node) { Start(node, false); }
void DesignerExchange::TransmitValues(TKuvio& node) { Start(node, true); }

void DesignerExchange::SelectPort(int number) {
    modemcfg::StorePortNumber(platform::SettingsPath(), number, window_.Prompter());
    exchange_.SetPortNumber(number);
}

void DesignerExchange::SecurityLevel() {
    if (!security_) return;  // the menu item exists only in factory mode
    security_->show();
    security_->raise();
}

bool DesignerExchange::RefuseWhileRunning() {
    if (!exchange_.Running()) return false;
    window_.Prompter().Message(kExchangeRunsText);
    return true;
}

bool DesignerExchange::CloseForms() {
    if (form_->isVisible() && LiveFormNode() && form_->Node() && form_->Node()->isNew) {
        form_->Accept();
    }
    return true;
}

void DesignerExchange::Closing() {
    exchange_.Abort();
    formNode_ = nullptr;
    form_->hide();
    if (security_) security_->hide();
    port_.SetOpen(false);
}

// --- the engine's host ---

void DesignerExchange::ApplySerialSettings(const modemcfg::SerialSettings& s) {
    if (s.baudRate) port_.SetBaudrate(serial::BaudRateOf(*s.baudRate));
    if (s.dataBits) port_.SetDatabits(static_cast<serial::TDataBits>(*s.dataBits - 4));
    if (s.parity) port_.Setpariteetti(serial::ParityOf(*s.parity));
    if (s.stopBits) {
        port_.SetStopbits(*s.stopBits == modemcfg::StopBitsSetting::One   ? serial::sbOne
                          : *s.stopBits == modemcfg::StopBitsSetting::Two ? serial::sbTwo
                                                                          : serial::sbOnePointFive);
    }
    port_.SetDTRline(false);
    port_.SetDTRmode(serial::dtrENABLE);
    port_.SetKattely(serial::fcNone);
    port_.SetRTSline(false);
    port_.SetRTSmode(serial::rtsDISABLE);
}

void DesignerExchange::SetPortNumber(int number) {
    port_.SetPortin_nro(static_cast<serial::TPortnro>(number - 1));
}

void DesignerExchange::OpenPort() {
    port_.SetOpen(true);
    window_.UpdateMenus();
}

void DesignerExchange::ClosePort() {
    port_.SetOpen(false);
    window_.UpdateMenus();
}

void DesignerExchange::ReserveTransmit(size_t bytes) {
    if (static_cast<int>(bytes) > port_.TX_puskurin_koko())
        port_.SetTX_puskurin_koko(static_cast<int>(bytes));
}

bool DesignerExchange::QueueBytes(const modemcfg::Bytes& frame) { return port_.QueueWrite(frame); }

void DesignerExchange::StatusLine(const std::string& line, StatusMode mode,
                                  const std::string& caption) {
    shell::StatusLog& status = window_.Shell().Status();
    status.ShowStatus();
    if (mode == StatusMode::TransmitBegins || mode == StatusMode::ReceiveBegins) {
        reenable_.stop();
        status.SetStatusButtons(caption, false);
    }
    status.AddStatusLine(line);
    if (mode == StatusMode::Final) reenable_.start();
}

void DesignerExchange::StatusBytes(const modemcfg::Bytes& frame, bool sent) {
    window_.Shell().Status().AddStatusBytes(frame, sent);
}

void DesignerExchange::StartTimer(ExchangeTimer timer, int intervalMs) {
    timers_[static_cast<size_t>(timer)].start(intervalMs);
}

void DesignerExchange::StopTimer(ExchangeTimer timer) {
    timers_[static_cast<size_t>(timer)].stop();
}

void DesignerExchange::HideForm() { form_->hide(); }

void DesignerExchange::ShowForm() {
    TKuvio* node = target_.Node();
    if (!node) return;
    if (marked_ && formNode_ == node) {
        form_->ShowAgain();  // the marks stay
        return;
    }
    OpenForm(*node);
}

void DesignerExchange::MarkField(int index, const modemcfg::Field& field) {
    TKuvio* node = target_.Node();
    if (!node) return;
    if (formNode_ != node || !form_->HasNode()) OpenForm(*node);
    marked_ = true;
    form_->MarkField(index, field);
}

void DesignerExchange::EnableFormCancel() { form_->EnableCancel(); }

void DesignerExchange::ExchangeEnded(modemcfg::ExchangeResult result) {
    lastResult_ = result;
    form_->EnableCancel();
    // Later, from the event loop: the engine is still on the stack.
    QTimer::singleShot(0, this, [this] {
        window_.UpdateMenus();
        window_.FullRedraw();
    });
}

}  // namespace kelmor::designer::ui
