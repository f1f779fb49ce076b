// The H8 engine's check of a record text before the port is touched: any bytes, never a read
// outside the text; an accepted text always holds its S9 end record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "flash/firmwarefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    int plain = kelmor::flash::CheckPlainSRecordData(text);
    int records = kelmor::flash::CheckH8RecordText(text);
    if (records == 0 && text.find("S9") == std::string_view::npos) std::abort();
    if (plain == 0 && (records != 0 || text.substr(0, 2) != "S0")) std::abort();
    return 0;
}
