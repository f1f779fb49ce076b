#pragma once
// The designer's network as the target of a modem exchange. Header only: it joins
// kelmor_modemcfg and kelmor_designer (which depends on modemcfg), so only targets that link
// both include it.
#include <string>

#include "designer/network.h"
#include "designer/routepayloads.h"
#include "designer/routes.h"
#include "modemcfg/exchange.h"

namespace kelmor::modemcfg {

// The exchange works on the node that was active when it began; the window keeps that node
// alive (no delete) while an exchange runs.
class NetworkExchangeTarget : public ExchangeTarget {
  public:
    explicit NetworkExchangeTarget(designer::Network& network) : network_(network) {}

    bool Begin() override {
        node_ = network_.activeNode;
        return node_ != nullptr;
    }
    designer::TKuvio* Node() const { return node_; }
    std::string NodeName() const override { return node_->name; }
    std::string PortSettings() const override { return node_->portSettings; }
    int TypeVersion() const override { return node_->typeVersion; }
    std::string TypeTitle() const override { return node_->typeTitle; }
    const ParameterList& Parameters() const override { return node_->parameters; }
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
    RouteStep SendProtocolInfo() override { return Convert(sequence_.SendProtocolInfo(network_)); }
    RouteStep OnRouteReply(uint8_t replyCode, std::optional<uint8_t> byte5,
                           bool hasFields) override {
        return Convert(sequence_.OnReply(network_, replyCode, byte5, hasFields));
    }
    bool RoutesInFlight() const override {
        return sequence_.pending == designer::RouteSequence::Pending::Routes;
    }
    void AbandonRoutes() override {
        sequence_.pending = designer::RouteSequence::Pending::None;
        sequence_.items.clear();
        sequence_.index = 0;
    }

  private:
    static RouteStep Convert(const designer::RouteAction& action) {
        RouteStep step;
        using K = designer::RouteAction::Kind;
        switch (action.kind) {
            case K::Send:
                step.kind = RouteStep::Kind::Send;
                break;
            case K::ParamsSave:
                step.kind = RouteStep::Kind::ParamsSave;
                break;
            case K::End:
                step.kind = RouteStep::Kind::End;
                break;
            case K::Error:
                step.kind = RouteStep::Kind::Error;
                break;
            case K::NotMine:
                step.kind = RouteStep::Kind::NotMine;
                break;
        }
        step.frame = action.message.frame;
        step.statusLine = action.message.statusLine;
        step.errorStatus = action.errorStatus;
        step.errorText = action.errorText;
        return step;
    }

    designer::Network& network_;
    designer::TKuvio* node_ = nullptr;
    designer::RouteSequence sequence_;
};

}  // namespace kelmor::modemcfg
