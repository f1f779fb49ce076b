#include "flash/crypt.h"

#include <algorithm>
#include <cstring>

namespace kelmor::flash {

namespace {
inline uint8_t Rol(uint8_t x, int n) { return static_cast<uint8_t>((x << n) | (x >> (8 - n))); }
// Pseudo-Hadamard transform: (x, y) -> (2x + y, x + y) modulo 256.
inline void Pht(uint8_t& x, uint8_t& y) {
    y = static_cast<uint8_t>(y + x);
    x = static_cast<uint8_t>(x + y);
}
}  // namespace

CCrypt::CCrypt() {
    unsigned value = 1;
    for (unsigned i = 0; i < 256; ++i) {
        exp_[i] = static_cast<uint8_t>(value & 0xFF);  // 45^128 mod 257 = 256 is stored as 0
        log_[exp_[i]] = static_cast<uint8_t>(i);
        value = value * 45 % 257;
    }
}

void CCrypt::ExpandKey(const uint8_t* key, unsigned rounds, bool strengthened,
                       KeySchedule& schedule) const {
    rounds = std::min(rounds, kMaxRounds);
    schedule.fill(0);
    size_t out = 0;
    schedule[out++] = static_cast<uint8_t>(rounds);
    // Each half gets a ninth byte, the XOR of the other eight, that the strengthened schedule
    // rotates into the selection.
    uint8_t ka[kBlockSize + 1], kb[kBlockSize + 1];
    ka[kBlockSize] = kb[kBlockSize] = 0;
    for (size_t j = 0; j < kBlockSize; ++j) {
        ka[j] = Rol(key[j], 5);
        ka[kBlockSize] ^= ka[j];
        kb[j] = key[kBlockSize + j];
        kb[kBlockSize] ^= kb[j];
        schedule[out++] = kb[j];
    }
    for (unsigned i = 1; i <= rounds; ++i) {
        for (size_t j = 0; j < kBlockSize + 1; ++j) {
            ka[j] = Rol(ka[j], 6);
            kb[j] = Rol(kb[j], 6);
        }
        for (size_t j = 0; j < kBlockSize; ++j) {
            uint8_t bias = exp_[exp_[(18 * i + j + 1) & 0xFF]];
            uint8_t k = strengthened ? ka[(j + 2 * i - 1) % (kBlockSize + 1)] : ka[j];
            schedule[out++] = static_cast<uint8_t>(k + bias);
        }
        for (size_t j = 0; j < kBlockSize; ++j) {
            uint8_t bias = exp_[exp_[(18 * i + j + 10) & 0xFF]];
            uint8_t k = strengthened ? kb[(j + 2 * i) % (kBlockSize + 1)] : kb[j];
            schedule[out++] = static_cast<uint8_t>(k + bias);
        }
    }
}

void CCrypt::EncryptBlock(uint8_t* block, const KeySchedule& schedule) const {
    uint8_t a = block[0], b = block[1], c = block[2], d = block[3];
    uint8_t e = block[4], f = block[5], g = block[6], h = block[7];
    unsigned rounds = std::min<unsigned>(schedule[0], kMaxRounds);
    const uint8_t* k = schedule.data() + 1;
    auto add = [](uint8_t x, uint8_t y) { return static_cast<uint8_t>(x + y); };
    for (unsigned r = 0; r < rounds; ++r, k += 2 * kBlockSize) {
        a ^= k[0];
        b = add(b, k[1]);
        c = add(c, k[2]);
        d ^= k[3];
        e ^= k[4];
        f = add(f, k[5]);
        g = add(g, k[6]);
        h ^= k[7];
        a = add(exp_[a], k[8]);
        b = log_[b] ^ k[9];
        c = log_[c] ^ k[10];
        d = add(exp_[d], k[11]);
        e = add(exp_[e], k[12]);
        f = log_[f] ^ k[13];
        g = log_[g] ^ k[14];
        h = add(exp_[h], k[15]);
        Pht(a, b);
        Pht(c, d);
        Pht(e, f);
        Pht(g, h);
        Pht(a, c);
        Pht(e, g);
        Pht(b, d);
        Pht(f, h);
        Pht(a, e);
        Pht(b, f);
        Pht(c, g);
        Pht(d, h);
        uint8_t t = b;
        b = e;
        e = c;
        c = t;
        t = d;
        d = f;
        f = g;
        g = t;
    }
    block[0] = a ^ k[0];
    block[1] = add(b, k[1]);
    block[2] = add(c, k[2]);
    block[3] = d ^ k[3];
    block[4] = e ^ k[4];
    block[5] = add(f, k[5]);
    block[6] = add(g, k[6]);
    block[7] = h ^ k[7];
}

void CCrypt::DecryptCfb(uint8_t* buffer, size_t length, const KeySchedule& schedule,
                        const uint8_t* iv, size_t ivLength) const {
    uint8_t feedback[kBlockSize] = {};
    std::memcpy(feedback, iv, std::min(ivLength, kBlockSize));
    for (size_t pos = 0; pos < length; pos += kBlockSize) {
        size_t chunk = std::min(kBlockSize, length - pos);
        EncryptBlock(feedback, schedule);
        uint8_t cipher[kBlockSize];
        std::memcpy(cipher, buffer + pos, chunk);
        for (size_t i = 0; i < chunk; ++i) buffer[pos + i] ^= feedback[i];
        std::memcpy(feedback, cipher, chunk);
    }
}

void CCrypt::EncryptCfb(uint8_t* buffer, size_t length, const KeySchedule& schedule,
                        const uint8_t* iv, size_t ivLength) const {
    uint8_t feedback[kBlockSize] = {};
    std::memcpy(feedback, iv, std::min(ivLength, kBlockSize));
    for (size_t pos = 0; pos < length; pos += kBlockSize) {
        size_t chunk = std::min(kBlockSize, length - pos);
        EncryptBlock(feedback, schedule);
        for (size_t i = 0; i < chunk; ++i) buffer[pos + i] ^= feedback[i];
        std::memcpy(feedback, buffer + pos, chunk);
    }
}

}  // namespace kelmor::flash
