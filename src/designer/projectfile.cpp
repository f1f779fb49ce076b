#include "designer/projectfile.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "platform/inifile.h"

namespace kelmor::designer {

using platform::Answer;
using platform::Buttons;
using platform::Icon;
using platform::Prompt;

namespace {

void PutElement(std::string& out, char code, char attribute, const std::string& text) {
    out += code;
    out += static_cast<char>(static_cast<uint8_t>(text.size()));
    out += attribute;
    out += text;
}

void PutUint32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

struct Element {
    char code = 0;
    char attribute = 0;
    std::string text;
};

// Any length byte is accepted (the text is read into a string of that size); false when the
// bytes end inside the element.
bool GetElement(ByteReader& in, Element& e) {
    uint8_t code = 0, length = 0, attribute = 0;
    if (!in.Byte(code) || !in.Byte(length) || !in.Byte(attribute)) return false;
    e.code = static_cast<char>(code);
    e.attribute = static_cast<char>(attribute);
    return in.Text(length, e.text);
}

std::string Filter(bool singleModemMode) {
    return singleModemMode ? "Single modem files|*.ssf" : "Project files|*.spf";
}
std::string Extension(bool singleModemMode) { return singleModemMode ? "ssf" : "spf"; }

std::string ModemLabel(const TKuvio& node, size_t number) {
    return "Modem " + std::to_string(number) + " \"" + node.name + "\"";
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

void WriteTo(std::string& out, const TKuvio& node, bool parametersOnly, uint32_t idWord,
             uint32_t parent, uint32_t mobileParent) {
    if (!parametersOnly) {
        PutUint32(out, static_cast<uint32_t>(node.left));
        PutUint32(out, static_cast<uint32_t>(node.top));
        PutUint32(out, idWord);
        PutUint32(out, parent);
        PutUint32(out, mobileParent);
        PutElement(out, 'S', '0', node.name);
        if (node.isMulti) {
            PutElement(out, 'B', '0', std::string(1, static_cast<char>(node.addresses.size())));
            for (const std::string& address : node.addresses) PutElement(out, 'S', '0', address);
        } else {
            PutElement(out, 'S', '0', node.GetAddress());
        }
        out += 'W';
        out += static_cast<char>(node.systemAddress >> 8);
        out += static_cast<char>(node.systemAddress & 0xFF);
    }
    PutElement(out, 'S', '0', node.typeName);
    for (const auto& p : node.parameters) PutElement(out, p.type, p.level, p.value);
    out += 'Z';
    out += '\0';
    out += '\0';
}

std::optional<std::string> CheckFileTexts(const TKuvio& node, bool parametersOnly, size_t number) {
    auto tooLong = [&](const std::string& field) {
        return ModemLabel(node, number) + ": the " + field + " is longer than " +
               std::to_string(kMaxFileText) + " characters.\r\nThe file was not saved.";
    };
    if (!parametersOnly) {
        if (node.name.size() > kMaxFileText) return tooLong("name");
        if (node.isMulti) {
            if (node.addresses.size() > kMaxMultiAddresses) {
                return ModemLabel(node, number) + " has more than " +
                       std::to_string(kMaxMultiAddresses) +
                       " terminal addresses.\r\nThe file was not saved.";
            }
            for (size_t i = 0; i < node.addresses.size(); ++i) {
                if (node.addresses[i].size() > kMaxFileText) {
                    return tooLong("address " + std::to_string(i + 1));
                }
            }
        } else if (node.GetAddress().size() > kMaxFileText) {
            return tooLong("address");
        }
    }
    if (node.typeName.size() > kMaxFileText) return tooLong("modem type");
    for (size_t i = 0; i < node.parameters.size(); ++i) {
        if (node.parameters[i].value.size() > kMaxFileText) {
            return tooLong("value of parameter " + std::to_string(i + 1));
        }
    }
    return std::nullopt;
}

std::optional<std::string> CheckFileTexts(const TKuvio& node, bool parametersOnly) {
    return CheckFileTexts(node, parametersOnly, 1);
}

ReadResult ReadFrom(ByteReader& in, TKuvio& node, bool parametersOnly, RecordLinks& links,
                    platform::Prompter& prompter, bool oldLayout, bool* headerReadOut) {
    bool ignored = false;
    bool& headerRead = headerReadOut ? *headerReadOut : ignored;
    headerRead = false;
    if (in.AtEnd()) return ReadResult::EndOfFile;
    auto corrupted = [&prompter] {
        prompter.Message(kCorruptedText);
        return ReadResult::Corrupted;
    };
    Element e;
    if (!parametersOnly) {
        int32_t left = 0, top = 0;
        if (!in.Int32(left) || !in.Int32(top) || !in.Uint32(links.idWord) ||
            !in.Uint32(links.parent) || !in.Uint32(links.mobileParent)) {
            return corrupted();
        }
        headerRead = true;
        node.left = std::max(left, 0);
        node.top = std::max(top, 0);
        if (!GetElement(in, e)) return corrupted();
        node.name = e.text;
        if (!oldLayout && (links.idWord & kMultiBit)) {
            if (!GetElement(in, e)) return corrupted();
            size_t count = e.text.empty() ? 0 : static_cast<uint8_t>(e.text[0]);
            node.PutAddressAt(-1, "");
            for (size_t i = 0; i < count; ++i) {
                if (!GetElement(in, e)) return corrupted();
                node.PutAddressAt(static_cast<int>(node.addresses.size()), e.text);
            }
            node.noAddress = false;
        } else {
            if (!GetElement(in, e)) return corrupted();
            node.SetAddress(e.text);
            node.noAddress = e.text == kNoAddressText;
        }
        uint8_t code = 0, high = 0, low = 0;
        if (!in.Byte(code) || !in.Byte(high) || !in.Byte(low)) return corrupted();
        node.systemAddress = static_cast<uint16_t>(high * 256 + low);
    }
    if (!GetElement(in, e)) return corrupted();
    if (node.typeName.empty()) {
        node.typeName = e.text;
    } else if (!platform::EqualsNoCase(node.typeName, e.text)) {
        prompter.Message(kTypeMismatchText);
        return ReadResult::TypeMismatch;
    }
    for (;;) {
        if (!GetElement(in, e)) return corrupted();
        if (e.code == 'Z') break;
        node.PutParameter(e.code, e.attribute, true, true, e.text);
    }
    return ReadResult::Record;
}

bool IsOldLayout(const std::optional<std::string>& versionText) {
    return !versionText || *versionText < std::string(kOldLayoutLimit);
}

std::optional<std::string> SerializeNetwork(Network& network, std::string* error) {
    const bool single = network.singleModemMode;
    for (size_t i = 0; i < network.nodes.size(); ++i) {
        if (auto message = CheckFileTexts(*network.nodes[i], single, i + 1)) {
            if (error) *error = *message;
            return std::nullopt;
        }
    }
    std::string out;
    if (!single) {
        out += 'V';
        out += static_cast<char>(std::char_traits<char>::length(kProgramTitle));
        out += kProgramTitle;
        std::string blockError;
        if (!network.properties.WriteBlock(out, &blockError)) {
            if (error) *error = blockError;
            return std::nullopt;
        }
    }
    std::unordered_map<const TKuvio*, uint32_t> numbers;
    for (size_t i = 0; i < network.nodes.size(); ++i) {
        numbers[network.nodes[i].get()] = static_cast<uint32_t>(i + 1);
    }
    auto numberOf = [&numbers](const TKuvio* node) -> uint32_t {
        if (!node) return 0;
        auto it = numbers.find(node);
        return it == numbers.end() ? 0 : it->second & kNumberMask;
    };
    for (size_t i = 0; i < network.nodes.size(); ++i) {
        TKuvio& node = *network.nodes[i];
        if (single) {
            WriteTo(out, node, true);
            continue;
        }
        uint32_t id = static_cast<uint32_t>(i + 1) & kNumberMask;
        if (node.isMaster) id |= kMasterBit;
        if (node.isMobile) id |= kMobileBit;
        if (node.isMulti) id |= kMultiBit;
        if (node.IsRepeater()) node.SetAddress(kNoAddressText);
        WriteTo(out, node, false, id, numberOf(node.routeParent), numberOf(node.mobileRouteParent));
    }
    return out;
}

bool SaveNetwork(Network& network, const std::string& path) {
    std::string error;
    auto bytes = SerializeNetwork(network, &error);
    if (!bytes) {
        network.prompter.Message(error, "Warning", Icon::Warning);
        return false;
    }
    // A read-only file stays as it is: the atomic save would otherwise replace it by renaming.
    if (platform::FileReadOnly(path) || !platform::WriteFileAtomic(path, *bytes)) {
        network.prompter.Message("Unable to create file " + path, "Warning", Icon::Error);
        return false;
    }
    network.modified = false;
    return true;
}

bool LoadNetworkBytes(Network& network, const std::string& bytes, const std::string& path) {
    network.ClearNetwork();
    bool complete = true;
    network.fileNamed = true;
    ByteReader in(bytes);
    const bool single = network.singleModemMode;
    bool old = false;
    bool readOn = true;
    if (single) {
        network.title = "Setup single modem : " + path;
    } else {
        std::optional<std::string> version;
        uint8_t first = 0, length = 0;
        if (in.Byte(first) && first == 'V') {
            std::string text;
            if (!in.Byte(length) || !in.Text(length, text)) readOn = false;
            version = text;
        } else {
            in.Seek(0);
        }
        old = IsOldLayout(version);
        if (readOn && !network.properties.ReadBlock(in, path, network)) readOn = false;
        if (!readOn) {
            network.prompter.Message(kCorruptedText);
            complete = false;
        }
    }
    std::vector<RecordLinks> links;
    while (readOn) {
        auto node = std::make_unique<TKuvio>(0, 0);
        RecordLinks record;
        bool headerRead = false;
        ReadResult result = ReadFrom(in, *node, single, record, network.prompter, old, &headerRead);
        if (result == ReadResult::EndOfFile) break;
        if (result != ReadResult::Record) complete = false;
        // A record cut short keeps what was read, unless not even its position and links were.
        if (result == ReadResult::Corrupted && !single && !headerRead) break;
        node->isNew = false;
        network.LoadTypeInfo(*node);
        network.nodeCounter = std::max<int>(network.nodeCounter, node->systemAddress);
        if (single) {
            node->MoveTo(network.clientWidth / 2 - 15, network.clientHeight / 2 - 25);
            node->name.clear();
        }
        network.AppendNode(std::move(node));
        links.push_back(record);
        if (result == ReadResult::Corrupted) break;
    }
    if (!single) {
        const uint32_t mask = old ? kOldNumberMask : kNumberMask;
        // Every node whose masked id word equals a stored parent number is that parent; when
        // several match, the last in list order wins. A node is never its own parent.
        std::unordered_map<uint32_t, std::vector<size_t>> byNumber;
        for (size_t i = 0; i < links.size(); ++i) byNumber[links[i].idWord & mask].push_back(i);
        auto find = [&](uint32_t number, size_t self) -> TKuvio* {
            if (number == 0) return nullptr;
            auto it = byNumber.find(number);
            if (it == byNumber.end()) return nullptr;
            for (auto s = it->second.rbegin(); s != it->second.rend(); ++s) {
                if (*s != self) return network.nodes[*s].get();
            }
            return nullptr;
        };
        for (size_t i = 0; i < links.size(); ++i) {
            TKuvio& node = *network.nodes[i];
            if (TKuvio* p = find(links[i].parent, i)) node.routeParent = p;
            if (TKuvio* p = find(links[i].mobileParent, i)) node.mobileRouteParent = p;
            uint32_t id = links[i].idWord;
            if (id & kMasterBit) {
                // One master per network: a damaged file naming several keeps the last.
                if (network.masterNode) network.masterNode->isMaster = false;
                node.isMaster = true;
                network.masterNode = &node;
            }
            if (id & (old ? kOldMobileBit : kMobileBit)) node.isMobile = true;
            if (!old && (id & kMultiBit)) node.isMulti = true;
        }
    }
    network.activeNode = network.masterNode ? network.masterNode : network.NodeAt(0);
    network.Redraw();
    network.modified = false;
    network.routesComputed = false;
    // Nothing has been computed for the loaded links yet.
    network.routesDirty = true;
    return complete;
}

bool LoadNetwork(Network& network, const std::string& path) {
    std::string bytes;
    if (!platform::ReadFileBytes(path, bytes)) {
        network.prompter.Message("Unable to open file " + path, "Warning", Icon::Error);
        return false;
    }
    return LoadNetworkBytes(network, bytes, path);
}

AskSaveResult AskSave(Network& network, const FileDialog& dialog) {
    if (network.modified) {
        Answer answer = network.prompter.Ask(
            Prompt{kSaveQuestionText, "Warning", Icon::Warning, Buttons::YesNoCancel, Answer::Yes});
        if (answer == Answer::Cancel) return AskSaveResult::Stop;
        if (answer == Answer::Yes) {
            const bool single = network.singleModemMode;
            auto path = dialog ? dialog(FileDialogRequest{true, Filter(single), Extension(single),
                                                          network.CurrentFileName(), ""})
                               : std::nullopt;
            if (!path || !SaveNetwork(network, *path)) return AskSaveResult::Stop;
            network.CurrentFileName() = *path;
        }
    }
    network.ClearNetwork();
    network.Redraw();
    network.modified = false;
    return AskSaveResult::Continue;
}

void RecentFiles::Read(const std::string& iniPath, bool singleModemMode) {
    platform::IniFile ini(iniPath);
    const std::string section = Section(singleModemMode);
    files[0] = ini.ReadString(section, "Latest", "");
    for (int k = 1; k <= 5; ++k) files[k] = ini.ReadString(section, "File" + std::to_string(k), "");
}

bool RecentFiles::Update(const std::string& name, const std::string& iniPath, bool singleModemMode,
                         platform::Prompter& prompter) {
    if (name != files[0]) {
        int i = 1;
        while (i <= 5 && files[i] != name) ++i;
        if (i > 5) i = 5;
        for (int k = i; k >= 1; --k) files[k] = files[k - 1];
        files[0] = name;
    }
    std::vector<std::pair<std::string, std::string>> values{{"Latest", files[0]}};
    for (int k = 1; k <= 5; ++k) values.emplace_back("File" + std::to_string(k), files[k]);
    if (!platform::IniFile(iniPath).WriteStrings(Section(singleModemMode), values)) {
        prompter.Message(platform::kIniWriteFailed);
        return false;
    }
    return true;
}

std::vector<RecentFiles::MenuEntry> RecentFiles::Menu() const {
    std::vector<MenuEntry> entries;
    for (int k = 1; k <= 5; ++k) {
        if (!files[k].empty()) {
            entries.push_back({k, files[k], "File " + std::to_string(k) + " " + files[k]});
        }
    }
    return entries;
}

bool NewCommand(Network& network, const FileDialog& dialog) {
    if (AskSave(network, dialog) == AskSaveResult::Stop) return false;
    if (!network.singleModemMode) network.properties.newProjectMode = true;
    network.routesDirty = false;
    network.nodeCounter = 0;
    network.routesComputed = false;
    network.projectFileName = "noname.spf";
    network.singleFileName = "default.ssf";
    network.fileNamed = false;
    if (network.singleModemMode) network.title = "Setup single modem : default.ssf";
    return true;
}

bool OpenPath(Network& network, const FileDialog& dialog, RecentFiles& recent,
              const std::string& iniPath, const std::string& path, bool fromRecent) {
    const bool single = network.singleModemMode;
    if (fromRecent && !FileExists(path)) {
        network.prompter.Message((single ? "Single modem file " : "Project file ") + path +
                                 " has been removed from disk");
        return false;
    }
    // The file is read before anything is dropped: a file that cannot be read leaves the
    // project, its file name and the recent list as they were.
    std::string bytes;
    if (!platform::ReadFileBytes(path, bytes)) {
        network.prompter.Message("Unable to open file " + path, "Warning", Icon::Error);
        return false;
    }
    if (AskSave(network, dialog) == AskSaveResult::Stop) return false;
    network.mobileView = false;
    network.nodeCounter = 1;
    const bool complete = LoadNetworkBytes(network, bytes, path);
    network.CurrentFileName() = path;
    network.routesDirty = true;
    if (!complete) {
        // What was read stays on screen, but the damaged file is not taken as the project's
        // file: a plain Save must not write the half-read network over it.
        network.fileNamed = false;
        return false;
    }
    recent.Update(path, iniPath, single, network.prompter);
    network.fileNamed = true;
    return true;
}

bool OpenCommand(Network& network, const FileDialog& dialog, RecentFiles& recent,
                 const std::string& iniPath) {
    const bool single = network.singleModemMode;
    if (!dialog) return false;
    auto path = dialog(FileDialogRequest{false, Filter(single), Extension(single),
                                         network.CurrentFileName(),
                                         single ? "Open one modem setup" : "Open project"});
    if (!path) return false;
    return OpenPath(network, dialog, recent, iniPath, *path, false);
}

bool SaveAsCommand(Network& network, const FileDialog& dialog, RecentFiles& recent,
                   const std::string& iniPath) {
    const bool single = network.singleModemMode;
    if (!dialog) return false;
    auto path =
        dialog(FileDialogRequest{true, Filter(single), Extension(single), network.CurrentFileName(),
                                 single ? "Open one modem setup" : "Save project as"});
    if (!path || !SaveNetwork(network, *path)) return false;
    network.CurrentFileName() = *path;
    network.title = single ? "Setup single modem : " + *path
                           : "Project: " + network.properties.accepted.name + " | file: " + *path;
    recent.Update(*path, iniPath, single, network.prompter);
    network.fileNamed = true;
    return true;
}

bool SaveCommand(Network& network, const FileDialog& dialog, RecentFiles& recent,
                 const std::string& iniPath) {
    const bool named = network.singleModemMode
                           ? network.singleFileName != "default.ssf" && network.fileNamed
                           : network.fileNamed;
    if (named) {
        return SaveNetwork(network, network.CurrentFileName());
    }
    return SaveAsCommand(network, dialog, recent, iniPath);
}

bool FirstShowCommand(Network& network, const RecentFiles& recent) {
    const std::string& latest = recent.files[0];
    if (latest.empty() || !FileExists(latest)) return NewCommand(network, {});
    if (!LoadNetwork(network, latest)) {
        // A damaged latest file is shown as read, but it is not the project's file.
        network.fileNamed = false;
    }
    network.CurrentFileName() = latest;
    network.routesDirty = true;
    return false;
}

bool LoadModemDataFile(Network& network, TKuvio& node, const std::string& path) {
    std::string bytes;
    if (!platform::ReadFileBytes(path, bytes)) {
        network.prompter.Message("Unable to open file " + path, "Warning", Icon::Error);
        return false;
    }
    node.ClearParameters();
    ByteReader in(bytes);
    RecordLinks links;
    ReadResult result = ReadFrom(in, node, true, links, network.prompter);
    return result == ReadResult::Record;
}

bool LoadModemData(Network& network, const FileDialog& dialog) {
    if (!network.activeNode) {
        network.prompter.Message("Select modem first");
        return false;
    }
    if (!dialog) return false;
    auto path = dialog(FileDialogRequest{false, "Modem setup files|*.ssf", "ssf",
                                         network.modemDataFileName, "Open modem data"});
    if (!path) return false;
    bool ok = LoadModemDataFile(network, *network.activeNode, *path);
    network.modemDataFileName = *path;
    return ok;
}

bool SaveModemData(Network& network, const FileDialog& dialog) {
    TKuvio* node = network.activeNode;
    if (!node) {
        network.prompter.Message("Select modem first");
        return false;
    }
    if (node->parameters.empty()) {
        network.prompter.Message("Setup modems properties first");
        return false;
    }
    if (!dialog) return false;
    auto path = dialog(FileDialogRequest{true, "Modem setup files|*.ssf", "ssf",
                                         network.modemDataFileName, "Save modem data as"});
    if (!path) return false;
    if (auto error = CheckFileTexts(*node, true)) {
        network.prompter.Message(*error, "Warning", Icon::Warning);
        return false;
    }
    std::string out;
    WriteTo(out, *node, true);
    if (platform::FileReadOnly(*path) || !platform::WriteFileAtomic(*path, out)) {
        network.prompter.Message("Unable to create file " + *path, "Warning", Icon::Error);
        return false;
    }
    network.modemDataFileName = *path;
    return true;
}

}  // namespace kelmor::designer
