#include "sim/srecordwriter.h"

#include <algorithm>
#include <cstdio>

#include "sim/simmodem.h"

namespace kelmor::sim {

namespace {

std::string Record(char type, uint32_t address, int addressBytes, const uint8_t* data, int n) {
    std::vector<uint8_t> bytes;
    bytes.push_back(static_cast<uint8_t>(addressBytes + n + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data, data + n);
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<uint8_t>(~sum & 0xFF));
    std::string line = "S";
    line += type;
    char hex[3];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line + "\r\n";
}

}  // namespace

std::string MakeSRecords(const std::vector<uint8_t>& image, uint32_t start, uint32_t length,
                         const SRecordOptions& options) {
    std::string text = Record('0', 0, 2, reinterpret_cast<const uint8_t*>(options.header.data()),
                              static_cast<int>(options.header.size()));
    uint32_t end = std::min<uint32_t>(start + length, static_cast<uint32_t>(image.size()));
    for (uint32_t a = start; a < end; a += static_cast<uint32_t>(options.bytesPerRecord)) {
        int n = static_cast<int>(std::min<uint32_t>(options.bytesPerRecord, end - a));
        const uint8_t* p = image.data() + a;
        if (options.skipErased && std::all_of(p, p + n, [](uint8_t v) { return v == 0xFF; }))
            continue;
        if (a + static_cast<uint32_t>(n) <= 0x10000)
            text += Record('1', a, 2, p, n);
        else
            text += Record('2', a, 3, p, n);
    }
    text += options.endWithS8 ? Record('8', 0, 3, nullptr, 0) : Record('9', 0, 2, nullptr, 0);
    return text;
}

std::vector<uint8_t> PatternImage(uint32_t length, uint32_t seed) {
    std::vector<uint8_t> image(kSimFlashSize, 0xFF);
    uint32_t x = seed * 2654435761u + 12345u;
    for (uint32_t i = 0; i < length && i < image.size(); ++i) {
        x = x * 1103515245u + 12345u;
        image[i] = static_cast<uint8_t>(x >> 16);
    }
    return image;
}

}  // namespace kelmor::sim
