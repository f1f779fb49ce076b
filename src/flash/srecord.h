#pragma once
// Motorola S-record text into the in-memory flash image of an H8/3069.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/prompter.h"

namespace kelmor::flash {

// The whole flash of the chip.
inline constexpr uint32_t kFlashSize = 0x80000;
inline constexpr uint32_t kFlashPageSize = 128;
// Longest record (split parser) or line (line parser) taken, line ends included.
inline constexpr size_t kRecordBufferSize = 120;

using FlashImage = std::vector<uint8_t>;
// kFlashSize bytes of 0xFF (erased flash).
FlashImage NewFlashImage();

// Messages, exactly as the modem tools have always shown them.
inline constexpr const char* kRecordChecksumError = "CRC error in a37 file ";
inline constexpr const char* kRecordWrongFormat = "a37 is wrong format";
inline constexpr const char* kRecordCountTooBig = "l\xE4skiks meni";  // Windows-1252
// Records that would read or write out of bounds: always refused, result 0.
inline constexpr const char* kRecordTooLong = "a37 is wrong format: a record is too long";
inline constexpr const char* kRecordTruncated =
    "a37 is wrong format: a record is shorter than its count";
inline constexpr const char* kRecordAddressTooShort =
    "a37 is wrong format: a record count is too small for its address";
inline constexpr const char* kRecordOutsideFlash =
    "a37 is wrong format: record data lie outside the 512 KiB flash";
inline constexpr const char* kRecordNoData = "a37 is wrong format: no data records";
inline constexpr const char* kRecordLineEnd = "a37 is wrong format: lines must end with CR LF";

// ((highest written address / 128) + 1) * 128.
uint32_t ProgramSizeFor(uint32_t highestAddress);

// Container text (".sf2", ".sf3"): records split at each 'S', line ends ignored, up to an S8 or
// S9 record. S1/S2 data are written into image (must hold kFlashSize bytes). Returns the program
// size, or 0 after a shown error (checksum, format, no end record); nothing is ever written
// outside the image. Messages go to prompter.
uint32_t ParseSRecordsSplit(std::string_view text, FlashImage& image, platform::Prompter& prompter);

// Plain ".a??" / ".rec" text: CR LF separated lines, up to S8/S9, an empty line or the end of the
// text. A line not starting with 'S' shows kRecordWrongFormat and a count of 256 or more shows
// kRecordCountTooBig; both are then parsed all the same. A line holding a bare LF is refused
// (kRecordLineEnd): its later records would be skipped unseen. Result as ParseSRecordsSplit.
uint32_t ParseSRecordLines(std::string_view text, FlashImage& image, platform::Prompter& prompter);

}  // namespace kelmor::flash
