// Container and OEM file checks. The input is used twice: as a file as it stands, and as the
// plain content of a container enciphered with a known key, so the fuzzer reaches the marker,
// CRC and record stages instead of stopping at a wrong key.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "flash/firmwarefile.h"
#include "flash/firmwarepack.h"
#include "silentprompter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelmor::flash;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const FirmwareKey key = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 9, 10, 11, 12};
    SilentPrompter prompter;
    FlashImage image;

    for (const char* ext : {".sf2", ".sf3", ".SF3"})
        CheckContainerForImage(input, ext, key, image, prompter);
    CheckSffContainer(input, key);
    CheckOemFile(input, prompter);

    if (size == 0) return 0;
    // First byte picks the marker; the rest is the text.
    std::string_view markers[] = {kMarkerFlash, kMarkerUhfNms, kMarkerVhfNms};
    std::string file = PackContainer(markers[data[0] % 3], input.substr(1), key);
    ContainerCheck check =
        CheckContainerForImage(file, data[0] & 4 ? ".sf3" : ".sf2", key, image, prompter);
    if (!check.crcOk && !check.marker.empty()) std::abort();  // a packed container is intact
    if (check.ok && (check.programSize == 0 || check.programSize > kFlashSize)) std::abort();
    SffCheck sff = CheckSffContainer(file, key);
    if (data[0] % 3 == 0 && sff.result != 0) std::abort();
    if (sff.result == 0 && sff.Text() != input.substr(1)) std::abort();
    return 0;
}
