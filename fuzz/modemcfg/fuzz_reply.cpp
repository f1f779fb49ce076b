// Bytes from the serial line: chunked into the reply assembler, then every complete reply is
// decoded the ways the exchange decodes it. The first byte of the input picks the chunk size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "modemcfg/protocol.h"

using namespace kelmor::modemcfg;

static void Inspect(const Bytes& m) {
    std::vector<Field> fields;
    DecodeFields(m, fields);
    ParseProgOnReply(m);
    ReplyByte5(m);
    HasFields(m);
    FindReply(m.size() > 1 ? m[1] : 0);
    // What was decoded must travel again and decode to the same fields.
    std::string error;
    Bytes again = BuildMessage(m[1], fields, &error);
    if (!again.empty()) {
        std::vector<Field> back;
        if (!MsgComplete(again) || !DecodeFields(again, back)) std::abort();
        for (size_t i = 0; i < back.size() && i < fields.size(); ++i) {
            const Field& f = fields[i];
            bool textual = f.type == 'S' || f.type == 'M' || f.type == 'N' || f.type == 'K';
            if (back[i].type != f.type || (textual && f.type != 'M' && back[i].value != f.value))
                std::abort();
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t chunk = (data[0] % 16) + 1;
    ++data;
    --size;
    ReplyAssembler assembler;
    for (size_t at = 0; at < size; at += chunk) {
        size_t n = size - at < chunk ? size - at : chunk;
        auto out = assembler.Feed(data + at, n);
        if (assembler.Buffer().size() > ReplyAssembler::kMaxReplyLength + chunk) std::abort();
        if (out.result == ReplyAssembler::Result::Complete ||
            out.result == ReplyAssembler::Result::CrcError) {
            if (!MsgComplete(out.message)) std::abort();
            Inspect(out.message);
        }
    }
    // The raw input as one message too, complete or not.
    Bytes whole(data, data + size);
    MsgComplete(whole);
    CheckCrc(whole);
    std::vector<Field> fields;
    DecodeFields(whole, fields);
    return 0;
}
