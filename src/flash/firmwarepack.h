#pragma once
// Building firmware files from S-record text: the containers and OEM files that tests, demos
// and the simulator use. Never used while flashing.
#include <string>
#include <string_view>

#include "flash/firmwarekey.h"
#include "flash/oempackets.h"

namespace kelmor::flash {

// marker + text + CRC-16/KERMIT (high, low), then bytes 0..N-2 enciphered; the last byte plain.
std::string PackContainer(std::string_view marker, std::string_view text, const FirmwareKey& key);

// The OEM packet bodies of an image (see BuildOemPackets) followed by their OemFileCrc.
std::string PackOemFile(FlashImage image, uint32_t programSize, const RandomByteSource& random);

}  // namespace kelmor::flash
