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

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pinyin {

// The readings of one character (UTF-8), each once, general reading first. An ASCII letter or
// digit reads as itself in lower case; any other character has none.
std::vector<std::string> Readings(std::string_view character);

// The keys under which a name is found by pinyin, each once: every reading of each character
// ("zhang"), and for each character followed by another, the initials of it, the next and the
// one after, or "$" where the run ends: ":zsf", ":sf$" for 张三丰, for every choice of their
// readings. A character without reading ends a run.
std::vector<std::string> Keys(std::string_view name);

// Whether some character has a reading that begins with `piece` (lower-case letters).
using ReadingPrefixTest = std::function<bool(std::string_view piece)>;

// The beginnings of keys among which every name that `typed` Matches() holds one, each once.
// A match lies within one reading (the text itself), or runs over two characters (":" and the
// initials of the two pieces) or over more (":" and three initials), through pieces that
// `isReadingPrefix` accepts. Empty for an empty text, and for one with anything but ASCII
// letters and digits, which `isReadingPrefix` is then not asked about.
std::vector<std::string> SearchKeyPrefixes(std::string_view typed,
                                           const ReadingPrefixTest& isReadingPrefix);

// Whether `typed` runs through consecutive characters of `name`, starting at any of them: each
// character takes a non-empty beginning of one of its readings, and the pieces make up `typed`
// exactly. Letters compare without regard to case. Empty `typed` matches nothing.
bool Matches(std::string_view name, std::string_view typed);

}  // namespace pinyin
