#include "tools/row_digest.h"

#include <charconv>

namespace clinicdb {

void RowDigest::Add(std::optional<std::string_view> value) {
    if (!value) {
        hash_.Add("N");
        return;
    }
    // "V<length>:" before the bytes: no value's end can be mistaken for another's start.
    char head[24] = {'V'};
    char* end = std::to_chars(head + 1, head + sizeof head - 1, value->size()).ptr;
    *end++ = ':';
    hash_.Add(head, static_cast<std::size_t>(end - head));
    hash_.Add(*value);
}

void RowDigest::EndRow() {
    hash_.Add(";");
    ++rows_;
}

TableDigest RowDigest::Finish() {
    return {rows_, hash_.Hex()};
}

}  // namespace clinicdb
