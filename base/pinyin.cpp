#include "base/pinyin.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

#include "base/gbk_text.h"

namespace pinyin {
namespace {

class Transliterations {
  public:
    Transliterations() {
        for (const char* id : {"Han-Latin", "Han-Latin/Names"}) {
            UErrorCode error = U_ZERO_ERROR;
            toLatin_.emplace_back(icu::Transliterator::createInstance(id, UTRANS_FORWARD, error));
            if (U_FAILURE(error)) {
                throw std::runtime_error(std::string("ICU has no transliteration ") + id + ": " +
                                         u_errorName(error));
            }
        }
    }

    std::vector<std::string> Readings(std::string_view character) {
        const std::lock_guard lock(mutex_);
        auto [known, added] = readings_.try_emplace(std::string(character));
        if (added) known->second = Transliterate(character);
        return known->second;
    }

  private:
    std::vector<std::string> Transliterate(std::string_view character) {
        std::vector<std::string> readings;
        for (const auto& toLatin : toLatin_) {
            icu::UnicodeString text = icu::UnicodeString::fromUTF8(
                icu::StringPiece(character.data(), static_cast<std::int32_t>(character.size())));
            const icu::UnicodeString original = text;
            toLatin->transliterate(text);
            // An untouched character is no Han character.
            if (text == original) return {};
            for (const std::string& reading : Ascii(text)) {
                if (std::find(readings.begin(), readings.end(), reading) == readings.end())
                    readings.push_back(reading);
            }
        }
        return readings;
    }

    // Tones dropped and letters lowered; ü gives both v and u.
    static std::vector<std::string> Ascii(const icu::UnicodeString& latin) {
        std::string v, u;
        for (std::int32_t i = 0; i < latin.length(); i = latin.moveIndex32(i, 1)) {
            const UChar32 c = latin.char32At(i);
            const char plain = Plain(c);
            if (plain == 0) continue;
            const bool umlaut = plain == 'v';
            v += plain;
            u += umlaut ? 'u' : plain;
        }
        if (v.empty()) return {};
        if (v == u) return {v};
        return {v, u};
    }

    // The ASCII letter of a pinyin letter with or without its tone mark; 'v' for ü; 0 for
    // anything else (the blank between syllables, apostrophes).
    static char Plain(UChar32 c) {
        if (c < 0x80) return std::isalpha(c) ? static_cast<char>(std::tolower(c)) : 0;
        static const std::map<UChar32, char> kMarked = {
            {U'ā', 'a'}, {U'á', 'a'}, {U'ǎ', 'a'}, {U'à', 'a'}, {U'ē', 'e'}, {U'é', 'e'},
            {U'ě', 'e'}, {U'è', 'e'}, {U'ī', 'i'}, {U'í', 'i'}, {U'ǐ', 'i'}, {U'ì', 'i'},
            {U'ō', 'o'}, {U'ó', 'o'}, {U'ǒ', 'o'}, {U'ò', 'o'}, {U'ū', 'u'}, {U'ú', 'u'},
            {U'ǔ', 'u'}, {U'ù', 'u'}, {U'ü', 'v'}, {U'ǖ', 'v'}, {U'ǘ', 'v'}, {U'ǚ', 'v'},
            {U'ǜ', 'v'}, {U'ń', 'n'}, {U'ň', 'n'}, {U'ǹ', 'n'}, {U'ḿ', 'm'}, {U'ê', 'e'},
            {U'ế', 'e'}, {U'ề', 'e'}, {U'Ü', 'v'}};
        const auto found = kMarked.find(c);
        return found == kMarked.end() ? 0 : found->second;
    }

    std::vector<std::unique_ptr<icu::Transliterator>> toLatin_;
    std::mutex mutex_;
    std::map<std::string, std::vector<std::string>> readings_;
};

Transliterations& Shared() {
    static Transliterations shared;
    return shared;
}

using ReadingList = std::vector<std::string>;

// The readings of a character through a cache of this thread's own: a search tries every name
// of a table, and most characters come again and again.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};

const ReadingList& CachedReadings(std::string_view character) {
    thread_local std::unordered_map<std::string, ReadingList, TextHash, std::equal_to<>> cache;
    const auto found = cache.find(character);
    if (found != cache.end()) return found->second;
    return cache.emplace(std::string(character), Readings(character)).first->second;
}

// Whether typed[from..] is made of beginnings of the readings of readings[at..].
bool MatchesFrom(const std::vector<const ReadingList*>& readings, std::size_t at,
                 std::string_view typed) {
    if (typed.empty()) return true;
    if (at == readings.size()) return false;
    for (const std::string& reading : *readings[at]) {
        const std::size_t common = static_cast<std::size_t>(
            std::mismatch(reading.begin(), reading.end(), typed.begin(), typed.end()).first -
            reading.begin());
        for (std::size_t length = common; length > 0; --length) {
            if (MatchesFrom(readings, at + 1, typed.substr(length))) return true;
        }
    }
    return false;
}

// The longest syllable ("zhuang"). A few compatibility characters read as two syllables.
constexpr std::size_t kSyllable = 6;

// The key of a text that lies within one reading: its first two letters, marked when the
// text is longer than a syllable, so that long texts look among long readings only.
std::string ReadingKey(std::string_view text) {
    return std::string(text.substr(0, 2)) + (text.size() > kSyllable ? "+" : "");
}

// The key of two neighbouring characters: their initials, apart from every reading key.
std::string PairKey(char first, char second) {
    return {first, '-', second};
}

}  // namespace

std::vector<std::string> Readings(std::string_view character) {
    if (character.size() == 1) {
        const unsigned char c = static_cast<unsigned char>(character[0]);
        if (std::isalnum(c)) return {std::string(1, static_cast<char>(std::tolower(c)))};
        return {};
    }
    return Shared().Readings(character);
}

std::vector<std::string> Keys(std::string_view name) {
    std::vector<std::string> keys;
    const auto add = [&keys](std::string key) {
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(std::move(key));
    };
    const ReadingList* previous = nullptr;
    for (std::string_view character : gbk::Characters(name)) {
        const ReadingList& readings = CachedReadings(character);
        for (const std::string& reading : readings) {
            add(reading.substr(0, 2));
            if (reading.size() > kSyllable) add(ReadingKey(reading));
            if (previous) {
                for (const std::string& before : *previous) add(PairKey(before[0], reading[0]));
            }
        }
        previous = readings.empty() ? nullptr : &readings;
    }
    return keys;
}

std::vector<std::string> SearchKeys(std::string_view typed) {
    std::string lower(typed);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::string> keys;
    if (lower.size() < 2) return keys;
    // Within one character: a reading that begins with the text.
    keys.push_back(ReadingKey(lower));
    // Over several: the first takes the text's first p letters, the next begins at letter p.
    for (std::size_t p = 1; p < lower.size(); ++p) {
        std::string key = PairKey(lower[0], lower[p]);
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(std::move(key));
    }
    return keys;
}

bool Matches(std::string_view name, std::string_view typed) {
    if (typed.empty()) return false;
    // Every name of a table meets the same text: it is lowered once.
    thread_local std::string typedLast, lower;
    if (typed != typedLast) {
        typedLast = typed;
        lower = typed;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    thread_local std::vector<const ReadingList*> readings;
    readings.clear();
    for (std::string_view character : gbk::Characters(name))
        readings.push_back(&CachedReadings(character));
    for (std::size_t start = 0; start < readings.size(); ++start) {
        if (MatchesFrom(readings, start, lower)) return true;
    }
    return false;
}

}  // namespace pinyin
