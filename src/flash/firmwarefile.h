#pragma once
// Firmware files as the flash windows and engines open them: enciphered containers (".sff",
// ".sf2", ".sf3"), OEM files (".sfo") and plain S-record files.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "flash/firmwarekey.h"
#include "flash/srecord.h"
#include "platform/prompter.h"

namespace kelmor::flash {

inline constexpr std::string_view kMarkerFlash = "ZorvaFlash";    // ".sff", ".sf2"
inline constexpr std::string_view kMarkerUhfNms = "ZorvaUHFNMS";  // ".sf3", model 1
inline constexpr std::string_view kMarkerVhfNms = "ZorvaVHFNMS";  // ".sf3", model 2

inline constexpr const char* kSffEmpty = "Code file *.sff is empty. Check file and retry";
inline constexpr const char* kSf2Empty = "Code file *.sf2 is empty. Check file and retry";
inline constexpr const char* kWrongKey = "ERROR: Wrong key or file isn't correct!";
inline constexpr const char* kWrongCrc = "ERROR: Wrong CRC after decrypting! Check file!";
inline constexpr const char* kNotValidFile = "ERROR: Not a valid file!";
inline constexpr const char* kOemFileLength =
    "ERROR: OEM file is not a whole number of 132-byte packets!";

// Engine result codes of the data check.
inline constexpr int kResultWrongCrc = 41;
inline constexpr int kResultWrongKey = 42;
inline constexpr int kResultNotValidFile = 43;

// Deciphers a container: bytes 0..N-2 with the key; byte N-1 is stored plain and copied.
std::vector<uint8_t> DecipherContainer(std::string_view file, const FirmwareKey& key);
// CRC-16/KERMIT of deciphered bytes 0..N-3 equals (byte N-2 << 8) | byte N-1. False when N < 2.
bool ContainerCrcMatches(const std::vector<uint8_t>& deciphered);

// Result of the single flash window's check of an ".sf2" / ".sf3" container.
struct ContainerCheck {
    bool ok = false;      // marker, CRC and records good: flashing may start
    std::string message;  // the message shown when not ok
    std::string marker;   // the marker accepted, empty when none
    bool crcOk = false;
    int model = 0;             // 0 (".sf2", "ZorvaFlash"), 1 UHF, 2 VHF
    uint32_t programSize = 0;  // from ParseSRecordsSplit
};

// Reads nothing itself: file is the whole file. extension is compared as typed: only exactly
// ".sf3" accepts the NMS markers (an upper-case ".SF3" is treated like ".sf2"). image gets a
// fresh 0xFF fill and the records. Every failure is shown through prompter.
ContainerCheck CheckContainerForImage(std::string_view file, std::string_view extension,
                                      const FirmwareKey& key, FlashImage& image,
                                      platform::Prompter& prompter);

// The H8 engine's check of an ".sff" container. result 0, kResultWrongKey (marker) or
// kResultWrongCrc. On success plain holds the deciphered bytes 0..N-3 (marker and text).
struct SffCheck {
    int result = kResultWrongKey;
    std::vector<uint8_t> plain;
    // The S-record text after the 10-character marker (empty unless result is 0).
    std::string_view Text() const;
};
SffCheck CheckSffContainer(std::string_view file, const FirmwareKey& key);

// The H8 engine's check of the record text it is about to send, made before the port is
// touched: every record up to the S9 that ends the transfer must be whole, hexadecimal and
// carry a right checksum, so that no bad record is found after the modem has been erased.
// Characters between records are skipped as the transfer skips them. 0 or 43.
int CheckH8RecordText(std::string_view text);

// The H8 engine's check of plain S-record data: it starts with "S0" and passes
// CheckH8RecordText; 0, else 43.
int CheckPlainSRecordData(std::string_view data);

// ".sfo": OemFileCrc of bytes 0..N-3 against bytes N-2 (high) and N-1. On success bodies is the
// file without its check (N-2 bytes, a whole number of 132-byte packet bodies).
struct OemFileCheck {
    bool ok = false;
    std::string message;
    std::string_view bodies;
};
OemFileCheck CheckOemFile(std::string_view file, platform::Prompter& prompter);

// Kind of firmware file by extension, lower case: ".sff", ".sf2", ".sf3", ".sfo", and
// ".rec"/".a??" as plain S-records.
enum class FirmwareKind { Unknown, Sff, Sf2, Sf3, Sfo, SRecord };
FirmwareKind KindOfPath(std::string_view path);

}  // namespace kelmor::flash
