// ParseSRecordLines on arbitrary text: never a crash, never a write outside the image, and the
// program size always covers whatever was written.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "flash/srecord.h"
#include "silentprompter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelmor::flash;
    static FlashImage image;
    image.assign(kFlashSize, 0xFF);
    SilentPrompter prompter;
    uint32_t programSize = ParseSRecordLines(
        std::string_view(reinterpret_cast<const char*>(data), size), image, prompter);
    if (image.size() != kFlashSize || programSize > kFlashSize || programSize % 128 != 0)
        std::abort();
    if (programSize > 0)
        for (size_t i = programSize; i < kFlashSize; ++i)
            if (image[i] != 0xFF) std::abort();
    return 0;
}
