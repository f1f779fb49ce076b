#include "designer/projectprops.h"

#include <algorithm>

#include "designer/network.h"

namespace kelmor::designer {

bool ByteReader::Byte(uint8_t& out) {
    if (pos_ >= bytes_.size()) return false;
    out = static_cast<uint8_t>(bytes_[pos_++]);
    return true;
}

bool ByteReader::Text(size_t length, std::string& out) {
    if (bytes_.size() - pos_ < length) {
        out.assign(bytes_, pos_, std::string::npos);
        pos_ = bytes_.size();
        return false;
    }
    out.assign(bytes_, pos_, length);
    pos_ += length;
    return true;
}

bool ByteReader::Uint32(uint32_t& out) {
    if (bytes_.size() - pos_ < 4) {
        pos_ = bytes_.size();
        return false;
    }
    out = 0;
    for (int i = 3; i >= 0; --i) out = (out << 8) | static_cast<uint8_t>(bytes_[pos_ + i]);
    pos_ += 4;
    return true;
}

bool ByteReader::Int32(int32_t& out) {
    uint32_t raw = 0;
    if (!Uint32(raw)) return false;
    out = static_cast<int32_t>(raw);
    return true;
}

namespace {

void SetTitle(Network& network, const std::string& title) {
    if (!network.singleModemMode) network.title = title;
}

}  // namespace

void ProjectProperties::Create(Network& network) {
    controls.hexaddress = 1;
    controls.addresstype = 0;
    EnableByProtocol(true);
    newProjectMode = false;
    SetTitle(network, "Project: " + controls.nimi);
}

void ProjectProperties::Show() {
    controls.nimi = accepted.name;
    controls.netid = accepted.networkId;
    controls.addresstype = accepted.protocol;
    controls.m = std::clamp(accepted.offset, 0, 16);
    controls.n = std::clamp(accepted.length, 1, 4);
    controls.routingType = accepted.routingType;
}

void ProjectProperties::ProtocolChanged(int index) {
    controls.addresstype = index;
    EnableByProtocol(true);
}

void ProjectProperties::EnableByProtocol(bool reset) {
    switch (controls.addresstype) {
        case 0:
            controls.mEnabled = controls.nEnabled = true;
            controls.nMax = 4;
            break;
        case 1:
            controls.mEnabled = false;
            controls.nEnabled = true;
            controls.nMax = 2;
            break;
        default:
            controls.mEnabled = controls.nEnabled = false;
            break;
    }
    if (reset) {
        controls.n = 1;
        controls.m = 0;
    }
}

void ProjectProperties::RoutingTypeClick(Network& network, int index) {
    controls.routingType = index;
    network.routesDirty = true;
}

void ProjectProperties::Ok(Network& network) {
    accepted = AcceptedProperties{controls.nimi, controls.netid, controls.addresstype,
                                  controls.m,    controls.n,     controls.routingType};
    SetTitle(network, "Project: " + accepted.name);
    network.modified = true;
    if (newProjectMode) {
        network.projectFileName = accepted.name + ".spf";
        SetTitle(network, "Project: " + accepted.name + " | file: " + network.projectFileName);
        network.fileNamed = false;
    }
    if (IsVirtualRouting()) {
        network.mobileView = false;
        network.mobileRoutesEnabled = false;
        network.Redraw();
        if (network.masterNode) network.masterNode->noAddress = false;
        for (auto& node : network.nodes) node->HideSourceRoutes();
    } else {
        network.mobileRoutesEnabled = true;
        for (auto& node : network.nodes) node->HideVirtualRoutes();
    }
    newProjectMode = false;
}

void ProjectProperties::Cancel() {
    if (accepted.offset >= 0) Show();
    newProjectMode = false;
}

std::string ProjectProperties::ProtocolName() const {
    if (controls.addresstype < 0 || controls.addresstype >= kProtocolCount) return {};
    return kProtocolNames[controls.addresstype];
}

bool ProjectProperties::WriteBlock(std::string& out, std::string* error) const {
    const std::pair<const char*, const std::string*> texts[] = {
        {"name of the network", &controls.nimi}, {"network ID", &controls.netid}};
    for (const auto& [field, text] : texts) {
        if (text->size() > kMaxFileText) {
            if (error) {
                *error = "Project properties: the " + std::string(field) + " is longer than " +
                         std::to_string(kMaxFileText) + " characters.\r\nThe file was not saved.";
            }
            return false;
        }
    }
    auto text = [&out](const std::string& t) {
        out += 'S';
        out += static_cast<char>(t.size());
        out += t;
    };
    auto byte = [&out](int value) {
        out += 'B';
        out += static_cast<char>(static_cast<uint8_t>(value));
    };
    text(controls.nimi);
    text(ProtocolName());
    byte(controls.m);
    byte(controls.n);
    byte(controls.routingType);
    text(controls.netid);
    byte(controls.hexaddress);
    return true;
}

bool ProjectProperties::ReadBlock(ByteReader& in, const std::string& filePath, Network& network) {
    // The item codes are not checked: older writers did not either, and the lengths alone
    // decide where the next item starts.
    auto text = [&in](std::string& out) {
        uint8_t code = 0, length = 0;
        return in.Byte(code) && in.Byte(length) && in.Text(length, out);
    };
    auto byte = [&in](int& out) {
        uint8_t code = 0, value = 0;
        if (!in.Byte(code) || !in.Byte(value)) return false;
        out = value;
        return true;
    };
    std::string name, protocolName, netId;
    int m = 0, n = 1, routing = 0, format = 1;
    bool complete = text(name) && text(protocolName) && byte(m) && byte(n) && byte(routing) &&
                    text(netId) && byte(format);
    controls.nimi = name;
    SetTitle(network, "Project: " + name + " | file: " + filePath);
    controls.addresstype = -1;
    for (int i = 0; i < kProtocolCount; ++i) {
        if (protocolName == kProtocolNames[i]) controls.addresstype = i;
    }
    controls.m = std::clamp(m, 0, 16);
    controls.n = std::clamp(n, 1, 4);
    controls.routingType = routing;
    network.mobileRoutesEnabled = !IsVirtualRouting();
    controls.netid = netId;
    controls.hexaddress = format;
    EnableByProtocol(false);
    accepted = AcceptedProperties{controls.nimi, controls.netid, controls.addresstype,
                                  controls.m,    controls.n,     controls.routingType};
    return complete;
}

}  // namespace kelmor::designer
