#pragma once
// The designer's network as the target of a modem exchange. It lives with the designer, which
// depends on the exchange of modemcfg; modemcfg knows nothing of the designer.
#include <string>

#include "designer/network.h"
#include "designer/routepayloads.h"
#include "designer/routes.h"
#include "modemcfg/exchange.h"

namespace kelmor::designer {

// The exchange works on the node that was active when it began; the window keeps that node
// alive (no delete) while an exchange runs.
class NetworkExchangeTarget : public modemcfg::ExchangeTarget {
  public:
    explicit NetworkExchangeTarget(Network& network) : network_(network) {}

    bool Begin() override {
        node_ = network_.activeNode;
        sequence_.node = node_;  // routes go with the parameters, whatever is clicked meanwhile
        return node_ != nullptr;
    }
    TKuvio* Node() const { return node_; }
    std::string NodeName() const override { return node_->name; }
    std::string PortSettings() const override { return node_->portSettings; }
    int TypeVersion() const override { return node_->typeVersion; }
    std::string TypeTitle() const override { return node_->typeTitle; }
    const modemcfg::ParameterList& Parameters() const override { return node_->parameters; }
    void RewindParameters() override { node_->RewindParameters(); }
    void PutParameter(char type, char level, bool setShown, bool shownValue,
                      const std::string& value) override {
        node_->PutParameter(type, level, setShown, shownValue, value);
    }
    void ValuesReceived() override {
        network_.currentNode = node_;
        network_.modified = true;
    }
    void TransmitStarting() override { network_.currentNode = nullptr; }

    bool RoutingMode() const override { return !network_.singleModemMode; }
    bool ComputeRoutes() override {
        // A network just loaded from a file has no route texts yet: compute them, or the master
        // would be sent an empty table and lose its routes.
        if (!network_.routesComputed) network_.routesDirty = true;
        designer::ComputeRoutes(network_);
        return !network_.routeError;
    }
    modemcfg::RouteStep SendProtocolInfo() override {
        return Convert(sequence_.SendProtocolInfo(network_));
    }
    modemcfg::RouteStep OnRouteReply(uint8_t replyCode, std::optional<uint8_t> byte5,
                                     bool hasFields) override {
        return Convert(sequence_.OnReply(network_, replyCode, byte5, hasFields));
    }
    bool RoutesInFlight() const override {
        return sequence_.pending == RouteSequence::Pending::Routes;
    }
    void AbandonRoutes() override {
        sequence_.pending = RouteSequence::Pending::None;
        sequence_.items.clear();
        sequence_.index = 0;
    }

  private:
    static modemcfg::RouteStep Convert(const RouteAction& action) {
        modemcfg::RouteStep step;
        using K = RouteAction::Kind;
        switch (action.kind) {
            case K::Send:
                step.kind = modemcfg::RouteStep::Kind::Send;
                break;
            case K::ParamsSave:
                step.kind = modemcfg::RouteStep::Kind::ParamsSave;
                break;
            case K::End:
                step.kind = modemcfg::RouteStep::Kind::End;
                break;
            case K::Error:
                step.kind = modemcfg::RouteStep::Kind::Error;
                break;
            case K::NotMine:
                step.kind = modemcfg::RouteStep::Kind::NotMine;
                break;
        }
        step.frame = action.message.frame;
        step.statusLine = action.message.statusLine;
        step.errorStatus = action.errorStatus;
        step.errorText = action.errorText;
        return step;
    }

    Network& network_;
    TKuvio* node_ = nullptr;
    RouteSequence sequence_;
};

}  // namespace kelmor::designer
