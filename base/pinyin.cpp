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

// The key of a run of characters from their initials: ":zsf"; "$" where the run ends after two.
std::string RunKey(char first, char second, char third) {
    return {':', first, second, third};
}

constexpr char kRunEnd = '$';

void AddOnce(std::vector<std::string>& texts, std::string text) {
    if (std::find(texts.begin(), texts.end(), text) == texts.end())
        texts.push_back(std::move(text));
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
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
    const auto add = [&keys](std::string key) { AddOnce(keys, std::move(key)); };
    std::vector<const ReadingList*> readings;
    for (std::string_view character : gbk::Characters(name))
        readings.push_back(&CachedReadings(character));
    const auto reads = [&](std::size_t at) {
        return at < readings.size() && !readings[at]->empty();
    };
    for (std::size_t at = 0; at < readings.size(); ++at) {
        for (const std::string& reading : *readings[at]) add(reading);
        if (!reads(at) || !reads(at + 1)) continue;
        static const ReadingList kEnd = {std::string(1, kRunEnd)};
        const ReadingList& third = reads(at + 2) ? *readings[at + 2] : kEnd;
        for (const std::string& a : *readings[at]) {
            for (const std::string& b : *readings[at + 1]) {
                for (const std::string& c : third) add(RunKey(a[0], b[0], c[0]));
            }
        }
    }
    return keys;
}

std::vector<std::string> SearchKeyPrefixes(std::string_view typed,
                                           const ReadingPrefixTest& isReadingPrefix) {
    const std::string text = Lower(typed);
    // Readings hold ASCII letters and digits only: any other character matches no name, and
    // is no piece to look up.
    if (!std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return c < 0x80 && std::isalnum(c); }))
        return {};
    const std::size_t n = text.size();
    // longest[i]: the length of the longest piece from letter i that some reading begins with.
    // Its beginnings are pieces too, so a few tests a letter bound the work on any text.
    std::vector<std::size_t> longest(n, 0);
    for (std::size_t from = 0; from < n; ++from) {
        while (from + longest[from] < n &&
               isReadingPrefix(std::string_view(text).substr(from, longest[from] + 1)))
            ++longest[from];
    }
    const auto piece = [&](std::size_t from, std::size_t to) { return to - from <= longest[from]; };
    // splits[i]: whether text[i..] splits into such pieces; computed from the end.
    std::vector<bool> splits(n + 1, false);
    splits[n] = true;
    for (std::size_t from = n; from-- > 0;) {
        for (std::size_t to = from + 1; to <= from + longest[from] && !splits[from]; ++to)
            splits[from] = splits[to];
    }
    std::vector<std::string> prefixes;
    const auto add = [&prefixes](std::string prefix) { AddOnce(prefixes, std::move(prefix)); };
    if (n > 0 && piece(0, n)) add(text);
    // The first character takes text[..p), the second text[p..q), a third begins at q.
    for (std::size_t p = 1; p < n && piece(0, p); ++p) {
        if (piece(p, n)) add({':', text[0], text[p]});
        for (std::size_t q = p + 1; q < n && piece(p, q); ++q) {
            if (splits[q]) add(RunKey(text[0], text[p], text[q]));
        }
    }
    // A run whose first two initials are already a prefix is read through that prefix.
    std::erase_if(prefixes, [&prefixes](const std::string& prefix) {
        return prefix.size() == 4 &&
               std::find(prefixes.begin(), prefixes.end(), prefix.substr(0, 3)) != prefixes.end();
    });
    return prefixes;
}

bool Matches(std::string_view name, std::string_view typed) {
    if (typed.empty()) return false;
    // Every name of a table meets the same text: it is lowered once.
    thread_local std::string typedLast, lower;
    if (typed != typedLast) {
        typedLast = typed;
        lower = Lower(typed);
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
