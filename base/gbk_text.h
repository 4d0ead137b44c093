// Text measured and compared as the clinic's code page (GBK, 936) sees it.
//
// Text is held as UTF-8. Every size, byte count and byte comparison of the system is taken in
// GBK bytes through these functions. A character outside GBK counts and compares by its
// GB18030 bytes; nothing is ever replaced or dropped. Bytes that are not valid UTF-8 count as
// one byte each and compare after every character.
//
// The first non-ASCII character met builds a table through the system's GB18030 converter,
// which throws std::runtime_error if the system has none; otherwise nothing throws, and nothing
// but Encode's result allocates. Safe to call from several threads at once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace gbk {

// Number of GBK bytes of the text.
std::size_t Length(std::string_view utf8);

// The longest prefix of the text that fits in `bytes` GBK bytes, never half a character.
std::string_view Cut(std::string_view utf8, std::size_t bytes);

// Compares as unsigned GBK byte strings (a prefix sorts first): <0, 0 or >0.
int Compare(std::string_view a, std::string_view b);

// Compares the first `bytes` GBK bytes of each text (as strncmp does for byte strings).
int CompareN(std::string_view a, std::string_view b, std::size_t bytes);

// A text that Compare() sorts after every text beginning with `prefix` and before every other
// text above the prefix: the prefix and four bytes 0xFF, which no UTF-8 text holds.
std::string PrefixEnd(std::string_view prefix);

// The text's characters, each as its UTF-8 bytes (a byte that starts none stands alone).
std::vector<std::string_view> Characters(std::string_view utf8);

// The text's GBK bytes (GB18030 for characters outside GBK).
std::string Encode(std::string_view utf8);

// The name of the SQLite collation that compares like Compare().
inline constexpr const char* kCollation = "GBK";

}  // namespace gbk
