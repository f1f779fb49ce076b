#include "flash/loaders.h"

#include <array>
#include <filesystem>

#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::flash {

namespace generated {
extern const uint8_t kLoader0[], kLoader1[], kLoader2[], kLoader3[], kLoader4[], kLoader5[],
    kLoader6[], kLoader7[];
extern const size_t kLoader0Size, kLoader1Size, kLoader2Size, kLoader3Size, kLoader4Size,
    kLoader5Size, kLoader6Size, kLoader7Size;
}  // namespace generated

namespace {

struct Entry {
    std::string_view fileName;
    size_t length;
    const uint8_t* data;
    const size_t* size;
};

// Same order as LoaderId and as embed_loaders.cmake.
const std::array<Entry, kLoaderCount>& Entries() {
    using namespace generated;
    static const std::array<Entry, kLoaderCount> entries = {{
        {"h8_38400.bin", kH8LoaderLength, kLoader0, &kLoader0Size},
        {"h8_115200.bin", kH8LoaderLength, kLoader1, &kLoader1Size},
        {"h8_3069_speed0_low.bin", kH83069LoaderLength, kLoader2, &kLoader2Size},
        {"h8_3069_speed0_high.bin", kH83069LoaderLength, kLoader3, &kLoader3Size},
        {"h8_3069_speed1_low.bin", kH83069LoaderLength, kLoader4, &kLoader4Size},
        {"h8_3069_speed1_high.bin", kH83069LoaderLength, kLoader5, &kLoader5Size},
        {"h8_3069_speed2_low.bin", kH83069LoaderLength, kLoader6, &kLoader6Size},
        {"h8_3069_speed2_high.bin", kH83069LoaderLength, kLoader7, &kLoader7Size},
    }};
    return entries;
}

const Entry& EntryOf(LoaderId id) { return Entries()[static_cast<size_t>(id)]; }

}  // namespace

LoaderId SelectH8Loader(int speedMode) {
    return speedMode != 0 ? LoaderId::H8_115200 : LoaderId::H8_38400;
}

LoaderId SelectH83069Loader(int speedMode, uint32_t crystalHz) {
    bool high = crystalHz > kCrystalThresholdHz;
    switch (speedMode) {
        case 1:
            return high ? LoaderId::H83069_Speed1High : LoaderId::H83069_Speed1Low;
        case 2:
            return high ? LoaderId::H83069_Speed2High : LoaderId::H83069_Speed2Low;
        default:
            return high ? LoaderId::H83069_Speed0High : LoaderId::H83069_Speed0Low;
    }
}

size_t LoaderLength(LoaderId id) { return EntryOf(id).length; }

std::string_view LoaderFileName(LoaderId id) { return EntryOf(id).fileName; }

std::span<const uint8_t> BuiltInLoader(LoaderId id) {
    const Entry& e = EntryOf(id);
    // The build embeds whatever lies in resources/loaders/; never hand out more than the
    // protocol's length, nor read past a file that came out short.
    size_t n = *e.size < e.length ? *e.size : e.length;
    return {e.data, n};
}

LoaderImage LoadLoader(LoaderId id) {
    LoaderImage image;
    const Entry& e = EntryOf(id);
    std::string path = platform::ProgramDir() + "/loaders/" + std::string(e.fileName);
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        image.builtIn = false;
        image.path = path;
        std::string bytes;
        if (!platform::ReadFileBytes(path, bytes)) {
            image.error = "Cannot read loader file " + path;
        } else if (bytes.size() != e.length) {
            image.error = "Loader file " + path + " has " + std::to_string(bytes.size()) +
                          " bytes, " + std::to_string(e.length) + " expected";
        } else {
            image.bytes.assign(bytes.begin(), bytes.end());
        }
        return image;
    }
    auto builtIn = BuiltInLoader(id);
    if (builtIn.size() != e.length) {
        image.error = "Built-in loader " + std::string(e.fileName) + " has the wrong size";
        return image;
    }
    image.bytes.assign(builtIn.begin(), builtIn.end());
    return image;
}

}  // namespace kelmor::flash
