#include "flash/firmwarekey.h"

#include "core/hex.h"

namespace kelmor::flash {

int ParseKeyGroup(std::string_view text, uint8_t* destination) {
    if (text.size() != 8) return 0;
    for (size_t i = 0; i < 8; i += 2) {
        int high = core::HexDigitValue(text[i]);
        int low = core::HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) return 0;
        destination[i / 2] = static_cast<uint8_t>(high << 4 | low);
    }
    return 8;
}

bool ParseKeyFields(std::string_view field1, std::string_view field2, std::string_view field3,
                    std::string_view /*field4*/, FirmwareKey& key) {
    return ParseKeyGroup(field1, key.data()) == 8 && ParseKeyGroup(field2, key.data() + 4) == 8 &&
           ParseKeyGroup(field3, key.data() + 8) == 8 &&
           ParseKeyGroup(field3, key.data() + 12) == 8;
}

}  // namespace kelmor::flash
