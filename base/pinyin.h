// Names by their pinyin, as the staff type them on a keyboard whose input method is off:
// initials ("zs" for 张三), whole syllables ("zhangsan") or a mix ("zhangs").
//
// A Han character's readings come from ICU's Han-Latin transliteration, general and for names,
// so that a character read differently in a name (单 shan, 曾 zeng) has both readings. They are
// lower-case ASCII without tones; ü is both "v" and "u" (lü: "lv", "lu").
//
// Contracts: safe to call from several threads at once; the transliterators are made once, at
// the first call, which throws std::runtime_error where ICU lacks them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pinyin {

// The readings of one character (UTF-8), each once, general reading first. An ASCII letter or
// digit reads as itself in lower case; any other character has none.
std::vector<std::string> Readings(std::string_view character);

// The keys under which a name is found by pinyin, each once: the first two letters of each
// reading of each character ("zh"; a reading longer than a syllable also as "zh+"), and the
// initials of each two neighbouring characters, for every pair of their readings ("z-s").
std::vector<std::string> Keys(std::string_view name);

// Keys of which every name that `typed` Matches() holds at least one, each once: the text's
// reading key (first two letters, "+" when longer than a syllable) and, for each letter after
// the first, the pair key of the first letter and that one. Empty for fewer than two
// letters: a name that one letter matches holds a key that begins with it.
std::vector<std::string> SearchKeys(std::string_view typed);

// Whether `typed` runs through consecutive characters of `name`, starting at any of them: each
// character takes a non-empty beginning of one of its readings, and the pieces make up `typed`
// exactly. Letters compare without regard to case. Empty `typed` matches nothing.
bool Matches(std::string_view name, std::string_view typed);

}  // namespace pinyin
