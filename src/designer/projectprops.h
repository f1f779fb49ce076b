#pragma once
// The logic of the project properties dialog: the values its controls hold, the values last
// accepted (what the rest of the designer reads, and what Cancel restores), enabling by
// protocol, and the properties block of the project file. The dialog window only mirrors the
// control state held here.
#include <cstdint>
#include <string>
#include <vector>

namespace kelmor::designer {

class Network;

inline constexpr const char* kProtocolNames[] = {"User Defined", "IEC60870-5-101", "RP570 / 571"};
inline constexpr int kProtocolCount = 3;
inline constexpr int kMaxNetworkIdLength = 8;

// What the controls show.
struct PropertyControls {
    std::string nimi = "noname";  // name of the network
    std::string netid = "netid";  // network ID
    int addresstype = 0;          // protocol item index; -1 = none selected
    int m = 0;                    // offset of the address, 0..16
    int n = 1;                    // length of the address, 1..nMax
    bool mEnabled = true;
    bool nEnabled = true;
    int nMax = 4;
    int hexaddress = 1;   // 0 decimal, 1 hexadecimal
    int routingType = 0;  // 0 source routing, 1 virtual routing (other values from a file)
};

// What was last accepted (OK, or read from a file).
struct AcceptedProperties {
    std::string name;
    std::string networkId;
    int protocol = 0;  // -1 when a file named an unknown protocol
    int offset = -1;   // -1: nothing accepted yet
    int length = 0;
    int routingType = 0;
};

// Reads bytes sequentially; every read is bounds-checked.
class ByteReader {
  public:
    explicit ByteReader(const std::string& bytes) : bytes_(bytes) {}
    // The reader keeps a reference: a temporary would be gone before the first read.
    explicit ByteReader(std::string&&) = delete;
    bool AtEnd() const { return pos_ >= bytes_.size(); }
    size_t Position() const { return pos_; }
    void Seek(size_t pos) { pos_ = pos < bytes_.size() ? pos : bytes_.size(); }
    bool Byte(uint8_t& out);
    bool Text(size_t length, std::string& out);
    bool Int32(int32_t& out);
    bool Uint32(uint32_t& out);

  private:
    const std::string& bytes_;
    size_t pos_ = 0;
};

class ProjectProperties {
  public:
    PropertyControls controls;
    AcceptedProperties accepted;
    bool newProjectMode = false;

    // Creation of the dialog: hexadecimal format, protocol 0, enabling with reset, and the
    // routing-mode title.
    void Create(Network& network);
    // The controls get the accepted values, clamped to the spin ranges.
    void Show();
    void ProtocolChanged(int index);  // a protocol chosen in the drop-down list
    void EnableByProtocol(bool reset);
    void RoutingTypeClick(Network& network, int index);
    void Ok(Network& network);
    void Cancel();

    bool IsVirtualRouting() const { return controls.routingType == 1; }
    // The text of the selected protocol item ("" when none).
    std::string ProtocolName() const;

    // The properties block; false with a reason when a text is too long for the file.
    bool WriteBlock(std::string& out, std::string* error) const;
    // False when the bytes end inside the block.
    bool ReadBlock(ByteReader& in, const std::string& filePath, Network& network);
};

}  // namespace kelmor::designer
