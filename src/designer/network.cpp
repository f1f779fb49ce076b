#include "designer/network.h"

#include <algorithm>

namespace kelmor::designer {

using platform::Answer;
using platform::Buttons;
using platform::Icon;
using platform::Prompt;

Network::Network(platform::Prompter& p, TypeInfoSource* t) : prompter(p), types(t) {}

TKuvio& Network::NewNode(Kind kind, const std::string& typeName, int labelLeft, int labelTop) {
    auto node = std::make_unique<TKuvio>(labelTop, labelLeft);
    node->typeName = typeName;
    node->SetKind(kind);
    node->systemAddress = static_cast<uint16_t>(++nodeCounter);
    node->isNew = true;
    LoadTypeInfo(*node);
    TKuvio& made = *node;
    AppendNode(std::move(node));
    currentNode = activeNode = &made;
    if (kind == Kind::Master) {
        if (masterNode) masterNode->SetKind(Kind::Plain);
        masterNode = &made;
    }
    modified = routesDirty = true;
    return made;
}

void Network::AppendNode(std::unique_ptr<TKuvio> node) { nodes.push_back(std::move(node)); }

int Network::IndexOf(const TKuvio* node) const {
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].get() == node) return static_cast<int>(i);
    }
    return -1;
}

void Network::LoadTypeInfo(TKuvio& node) {
    TypeInfo info = types ? types->Lookup(node.DefinitionFileName()) : TypeInfo{};
    node.typeTitle = info.title;
    node.typeVersion = info.version;
    node.portSettings = info.portSettings;
}

bool Network::SetMaster(TKuvio* node) {
    if (!node) return false;
    if (node->routeParent && prompter.Ask(Prompt{kMakeMasterQuestion, "Warning", Icon::Warning,
                                                 Buttons::YesNo, Answer::Yes}) != Answer::Yes) {
        return false;
    }
    if (masterNode && masterNode != node) masterNode->SetKind(Kind::Plain);
    node->SetKind(Kind::Master);
    node->noAddress = false;
    masterNode = node;
    node->routeParent = nullptr;
    Redraw();
    modified = routesDirty = true;
    currentNode = nullptr;
    return true;
}

bool Network::Connect(TKuvio* source, TKuvio* target) {
    if (!source || !target || target == source) return false;
    // A mobile modem is only ever the far end of a route; nothing may hang from it.
    if (source->isMobile) {
        prompter.Message(kMobileInRouteText);
        return false;
    }
    if (target == masterNode) {
        prompter.Message(kRouteToMasterText, "Warning", Icon::Warning);
        return false;
    }
    TKuvio* TKuvio::*parent = mobileView ? &TKuvio::mobileRouteParent : &TKuvio::routeParent;
    // The new link makes target the child of source; it closes a loop when target is already
    // on source's way toward the master. A damaged file may hold a loop already, hence the
    // bound on the walk.
    size_t steps = 0;
    for (TKuvio* p = source; p && steps <= nodes.size(); p = p->*parent, ++steps) {
        if (p == target) {
            prompter.Message(kRouteLoopText, "Warning", Icon::Warning);
            return false;
        }
    }
    if (target->*parent) {
        const char* question = mobileView ? kReplaceMobileRouteQuestion : kReplaceRouteQuestion;
        if (prompter.Ask(Prompt{question, "Question", Icon::Warning, Buttons::YesNo,
                                Answer::Yes}) != Answer::Yes) {
            return false;
        }
    }
    target->*parent = source;
    modified = routesDirty = true;
    return true;
}

void Network::DeleteConnection(TKuvio* node) {
    if (!node) return;
    if (mobileView) {
        node->mobileRouteParent = nullptr;
    } else {
        node->routeParent = nullptr;
    }
    modified = routesDirty = true;
    Redraw();
}

bool Network::DeleteNode(TKuvio* node) {
    int index = IndexOf(node);
    if (prompter.Ask(Prompt{kDeleteModemQuestion, "Warning", Icon::Warning, Buttons::YesNo,
                            Answer::Yes}) != Answer::Yes ||
        nodes.empty() || index < 0) {
        return false;
    }
    std::unique_ptr<TKuvio> owned = std::move(nodes[static_cast<size_t>(index)]);
    nodes.erase(nodes.begin() + index);
    for (auto& other : nodes) {
        if (other->routeParent == node) other->routeParent = nullptr;
        if (other->mobileRouteParent == node) other->mobileRouteParent = nullptr;
    }
    if (masterNode == node) masterNode = nullptr;
    if (activeNode == node) activeNode = nullptr;
    owned.reset();
    currentNode = nullptr;
    modified = routesDirty = true;
    return true;
}

TKuvio* Network::CopyNode(TKuvio* source) {
    if (!source) return nullptr;
    auto copy = std::make_unique<TKuvio>(lastMouseY - 25, lastMouseX - 15);
    copy->typeName = source->DefinitionFileName();
    copy->typeTitle = source->typeTitle;
    copy->portSettings = source->portSettings;
    copy->typeVersion = source->typeVersion;
    if (source->isMobile) copy->SetKind(Kind::Mobile);
    for (const auto& p : source->parameters) {
        copy->PutParameter(p.type, p.level, true, p.shown, p.value);
    }
    copy->systemAddress = static_cast<uint16_t>(++nodeCounter);
    copy->dragging = true;
    TKuvio* made = copy.get();
    AppendNode(std::move(copy));
    currentNode = activeNode = made;
    modified = true;
    routesDirty = true;
    return made;
}

void Network::ClearNetwork() {
    nodes.clear();
    activeNode = masterNode = currentNode = nullptr;
}

TKuvio* Network::RouteOf(const TKuvio* node) const {
    if (!node) return nullptr;
    return mobileView ? node->mobileRouteParent : node->routeParent;
}

}  // namespace kelmor::designer
