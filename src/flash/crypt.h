#pragma once
// SAFER SK-128 block cipher and the 64-bit cipher feedback mode that firmware containers use.
#include <array>
#include <cstddef>
#include <cstdint>

namespace kelmor::flash {

class CCrypt {
  public:
    static constexpr size_t kBlockSize = 8;
    static constexpr unsigned kMaxRounds = 13;
    // Round count byte, then 2 x rounds + 1 round keys of one block each.
    static constexpr size_t kKeyScheduleSize = 1 + kBlockSize * (1 + 2 * kMaxRounds);
    using KeySchedule = std::array<uint8_t, kKeyScheduleSize>;

    // Builds the exponent table E[i] = 45^i mod 257 (256 stored as 0) and its logarithm table.
    CCrypt();

    // key: 16 bytes, bytes 0-7 the first and 8-15 the second half of the user key. The round
    // count is capped at 13 and stored in the first byte of the schedule.
    void ExpandKey(const uint8_t* key, unsigned rounds, bool strengthened,
                   KeySchedule& schedule) const;
    // One block (8 bytes) encrypted in place.
    void EncryptBlock(uint8_t* block, const KeySchedule& schedule) const;

    // Cipher feedback with a full 64-bit feedback register whose first ivLength bytes are the
    // IV (at most 8; the rest zero). Deciphers length bytes in place.
    void DecryptCfb(uint8_t* buffer, size_t length, const KeySchedule& schedule, const uint8_t* iv,
                    size_t ivLength) const;
    // The exact inverse of DecryptCfb. Only for building containers (tool, tests); flashing
    // never enciphers.
    void EncryptCfb(uint8_t* buffer, size_t length, const KeySchedule& schedule, const uint8_t* iv,
                    size_t ivLength) const;

    uint8_t Exp(uint8_t i) const { return exp_[i]; }
    uint8_t Log(uint8_t i) const { return log_[i]; }

  private:
    std::array<uint8_t, 256> exp_{};
    std::array<uint8_t, 256> log_{};
};

// Rounds and schedule variant every container uses.
inline constexpr unsigned kContainerRounds = 10;
// The container IV: "7193" then four zero bytes; only the four digits are passed.
inline constexpr std::array<uint8_t, 4> kContainerIv = {'7', '1', '9', '3'};

}  // namespace kelmor::flash
