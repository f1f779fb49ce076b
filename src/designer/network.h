#pragma once
// The network that the designer window keeps: its nodes in list order, the master, the active
// and current nodes, the node counter and the flags that tell whether it was saved and whether
// its routes are current, with the editing operations that keep its rules. Questions and
// messages go through the prompter; drawing through the optional redraw hook.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "designer/kuvio.h"
#include "designer/projectprops.h"
#include "designer/typeinfo.h"
#include "platform/prompter.h"

namespace kelmor::designer {

// The limit of a text in the files (a reader of older versions holds no more).
inline constexpr size_t kMaxFileText = 79;
inline constexpr size_t kMaxMultiAddresses = 127;

inline constexpr const char* kProgramTitle = "ZORVALINK Kelmor 4.0.7";

class Network {
  public:
    explicit Network(platform::Prompter& prompter, TypeInfoSource* types = nullptr);
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    platform::Prompter& prompter;
    TypeInfoSource* types;  // may be null: every type then has the default information
    std::function<void()> redraw;

    std::vector<std::unique_ptr<TKuvio>> nodes;
    TKuvio* masterNode = nullptr;
    TKuvio* activeNode = nullptr;
    TKuvio* currentNode = nullptr;
    int nodeCounter = 0;
    bool modified = false;
    bool routesDirty = false;
    bool routeError = false;
    bool routesComputed = false;

    // Designer window state the logic reads and writes.
    bool singleModemMode = false;
    bool mobileView = false;          // "&Mobile routes" checked
    bool mobileRoutesEnabled = true;  // "&Mobile routes" enabled
    std::string title;
    std::string projectFileName = "noname.spf";
    std::string singleFileName = "default.ssf";
    std::string modemDataFileName = "default.ssf";
    bool fileNamed = false;
    int lastMouseX = 0;
    int lastMouseY = 0;
    int clientWidth = 0;  // canvas size: a single modem is placed in its middle
    int clientHeight = 0;

    ProjectProperties properties;

    // A node made by a new-modem command: counter incremented into its system address,
    // isNew set, appended and made current and active.
    TKuvio& NewNode(Kind kind, const std::string& typeName, int labelLeft, int labelTop);
    void AppendNode(std::unique_ptr<TKuvio> node);
    // False when the user declined.
    bool SetMaster(TKuvio* node);
    // True when the link was made.
    bool Connect(TKuvio* source, TKuvio* target);
    void DeleteConnection(TKuvio* node);
    bool DeleteNode(TKuvio* node);
    TKuvio* CopyNode(TKuvio* source);
    void ClearNetwork();
    TKuvio* RouteOf(const TKuvio* node) const;

    // Position 0.. in nodes, -1 when not there.
    int IndexOf(const TKuvio* node) const;
    TKuvio* NodeAt(size_t i) const { return i < nodes.size() ? nodes[i].get() : nullptr; }
    // Type information of the node's definition file into the node.
    void LoadTypeInfo(TKuvio& node);
    void Redraw() {
        if (redraw) redraw();
    }
    // The current file of the window's mode.
    std::string& CurrentFileName() { return singleModemMode ? singleFileName : projectFileName; }
};

// Message texts of the network operations.
inline constexpr const char* kMakeMasterQuestion =
    "Do you want to make this modem as Master and remove incoming route ?";
inline constexpr const char* kRouteToMasterText = "Route can't direct to master !!";
inline constexpr const char* kReplaceRouteQuestion = "Replace existing route ??";
inline constexpr const char* kReplaceMobileRouteQuestion = "Replace existing mobile route ??";
inline constexpr const char* kMobileInRouteText = "Mobile modem can't be in middle of route";
inline constexpr const char* kDeleteModemQuestion = "Do you want to delete this modem ?";
inline constexpr const char* kRouteLoopText =
    "This route would form a loop: the modem is already on the way to the master !!";

}  // namespace kelmor::designer
