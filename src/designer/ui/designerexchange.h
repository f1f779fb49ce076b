#pragma once
// The designer window's side of the modem exchange: its serial port, the three timers, the
// status lines to the communication status window, the properties form and the security level
// dialog. The window reaches it through ExchangeHooks; the engine through ExchangeHost; the
// form through FormHost.
#include <QObject>
#include <QTimer>
#include <array>
#include <memory>

#include "designer/exchange_network.h"
#include "designer/ui/designerhooks.h"
#include "modemcfg/exchange.h"
#include "modemcfg/ui/tominaisuus.h"
#include "modemcfg/ui/tsuoja.h"
#include "serial/commport.h"

namespace kelmor::designer::ui {

// Not in the original texts: commands that would pull the node from under a running exchange.
inline constexpr const char* kExchangeRunsText =
    "A transfer with the modem is running.\r\nWait until it has ended (or close the designer "
    "window to stop it).";

class DesignerExchange : public QObject,
                         public ExchangeHooks,
                         public modemcfg::ExchangeHost,
                         public modemcfg::ui::FormHost {
    Q_OBJECT
  public:
    explicit DesignerExchange(Tpiirtopohja& window);
    ~DesignerExchange() override;

    // --- ExchangeHooks ---
    void OpenProperties(TKuvio& node) override;
    void ConvertType(TKuvio& node, const std::string& targetType) override;
    bool ConversionMode() const override;
    void ActiveNodeChanged(TKuvio* node) override;
    void Forget(const TKuvio* node) override;
    void ReceiveValues(TKuvio& node) override;
    void TransmitValues(TKuvio& node) override;
    bool PortOpen() const override { return port_.IsOpen(); }
    void SelectPort(int number) override;
    void SecurityLevel() override;
    bool SecurityLevelNine() const override { return level_ == '9'; }
    bool RefuseWhileRunning() override;
    bool CloseForms() override;
    void Closing() override;

    // --- modemcfg::ExchangeHost ---
    bool PortIsOpen() const override { return port_.IsOpen(); }
    void ApplySerialSettings(const modemcfg::SerialSettings& settings) override;
    void SetPortNumber(int number) override;
    void OpenPort() override;
    void ClosePort() override;
    void ReserveTransmit(size_t bytes) override;
    bool QueueBytes(const modemcfg::Bytes& frame) override;
    void StatusLine(const std::string& line, modemcfg::StatusMode mode,
                    const std::string& caption) override;
    void StatusBytes(const modemcfg::Bytes& frame, bool sent) override;
    void StartTimer(modemcfg::ExchangeTimer timer, int intervalMs) override;
    void StopTimer(modemcfg::ExchangeTimer timer) override;
    void HideForm() override;
    void ShowForm() override;
    void MarkField(int index, const modemcfg::Field& field) override;
    void EnableFormCancel() override;
    void ExchangeEnded(modemcfg::ExchangeResult result) override;

    // --- modemcfg::ui::FormHost ---
    void FormAccepted(const modemcfg::ui::FormResult& result) override;
    void FormHidden() override;
    void ReceiveRequested() override;
    void TransmitRequested() override;

    // For tests.
    modemcfg::ui::Tominaisuus& Form() { return *form_; }
    modemcfg::ui::Tsuoja* SecurityDialog() { return security_.get(); }
    modemcfg::ModemExchange& Engine() { return exchange_; }
    serial::TCommPort& Port() { return port_; }
    std::optional<modemcfg::ExchangeResult> LastResult() const { return lastResult_; }
    char Level() const { return level_; }
    TKuvio* FormNode() const { return formNode_; }

  private:
    modemcfg::ui::FormNode Snapshot(const TKuvio& node) const;
    modemcfg::ui::FormContext Context(const TKuvio& node) const;
    void OpenForm(TKuvio& node, const std::string& convertType = {});
    TKuvio* LiveFormNode();
    void Start(TKuvio& node, bool transmit);

    serial::TCommPort port_;
    std::array<QTimer, 3> timers_;
    QTimer reenable_;
    NetworkExchangeTarget target_;
    modemcfg::ModemExchange exchange_;
    std::unique_ptr<modemcfg::ui::Tominaisuus> form_;
    std::unique_ptr<modemcfg::ui::Tsuoja> security_;
    TKuvio* formNode_ = nullptr;
    char level_ = '0';
    bool marked_ = false;  // fields were marked in this exchange: show the form as it is
    std::optional<modemcfg::ExchangeResult> lastResult_;
};

}  // namespace kelmor::designer::ui
