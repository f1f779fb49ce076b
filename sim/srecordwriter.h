#pragma once
// Motorola S-record text of a memory range, as the flasher's files hold it: an S0 header, data
// records of 16 bytes (S1 below 64 KiB, S2 above), an S9 (or S8) end record, CR LF line ends.
// For tests, benchmarks and demos; the simulator's side of the house, not the flasher's.
#include <cstdint>
#include <string>
#include <vector>

namespace kelmor::sim {

struct SRecordOptions {
    int bytesPerRecord = 16;
    bool skipErased = true;  // leave out records whose bytes are all 0xFF
    bool endWithS8 = false;  // S8 (24-bit) instead of S9
    std::string header = "kelmor";
};

// Records for image[start, start + length).
std::string MakeSRecords(const std::vector<uint8_t>& image, uint32_t start, uint32_t length,
                         const SRecordOptions& options = {});

// A deterministic test image: kSimFlashSize bytes of 0xFF with `length` bytes of a pattern
// from address 0.
std::vector<uint8_t> PatternImage(uint32_t length, uint32_t seed = 1);

}  // namespace kelmor::sim
