#include "base/gbk_text.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace gbk {
namespace {

// Each character is held as its GB18030 bytes packed big-endian and left-aligned in 32 bits.
// GB18030 is prefix-free, so comparing two packed characters as integers gives the order of
// their byte strings, and comparing text character by character gives the order of the whole
// byte strings. A byte that is not valid UTF-8 packs above every character, as 0xFF then the
// byte itself; no GB18030 sequence starts with 0xFF.
using Packed = std::uint32_t;

constexpr Packed kInvalidMark = 0xFF000000u;
constexpr std::size_t kBmpSize = 0x10000;

bool IsInvalid(Packed p) {
    return (p >> 24) == 0xFF;
}

std::size_t PackedLength(Packed p) {
    const unsigned lead = p >> 24;
    if (lead < 0x80 || lead == 0xFF) return 1;
    const unsigned second = (p >> 16) & 0xFF;
    return (second >= 0x30 && second <= 0x39) ? 4 : 2;
}

bool IsSurrogate(std::uint32_t cp) {
    return cp >= 0xD800 && cp <= 0xDFFF;
}

// Private-use code points that the code page gives two-byte codes but the system's GB18030
// converter maps to nothing, since it gave those codes to characters encoded since. They keep
// their code page codes, so they count two bytes and sort where the code page sorts them.
struct FixedCode {
    std::uint16_t codePoint;
    std::uint16_t code;
};
constexpr FixedCode kFixedCodes[] = {
    {0xE78D, 0xA6D9}, {0xE78E, 0xA6DA}, {0xE78F, 0xA6DB}, {0xE790, 0xA6DC}, {0xE791, 0xA6DD},
    {0xE792, 0xA6DE}, {0xE793, 0xA6DF}, {0xE794, 0xA6EC}, {0xE795, 0xA6ED}, {0xE796, 0xA6F3},
    {0xE816, 0xFE51}, {0xE817, 0xFE52}, {0xE818, 0xFE53}, {0xE81E, 0xFE59}, {0xE826, 0xFE61},
    {0xE82B, 0xFE66}, {0xE82C, 0xFE67}, {0xE831, 0xFE6C}, {0xE832, 0xFE6D}, {0xE83B, 0xFE76},
    {0xE843, 0xFE7E}, {0xE854, 0xFE90}, {0xE855, 0xFE91}, {0xE864, 0xFEA0}};

bool IsFixed(std::uint32_t cp) {
    return std::any_of(std::begin(kFixedCodes), std::end(kFixedCodes),
                       [cp](const FixedCode& f) { return f.codePoint == cp; });
}

// Code points the table takes from the converter: all but surrogates and the fixed ones.
bool IsConverted(std::uint32_t cp) {
    return !IsSurrogate(cp) && !IsFixed(cp);
}

// Four-byte GB18030 codes outside the BMP run linearly from 90 30 81 30 for U+10000.
Packed PackSupplementary(std::uint32_t cp) {
    const std::uint32_t o = cp - 0x10000;
    return ((0x90 + o / 12600) << 24) | ((0x30 + (o / 1260) % 10) << 16) |
           ((0x81 + (o / 10) % 126) << 8) | (0x30 + o % 10);
}

// Owns an iconv descriptor from UTF-32BE to GB18030.
class Converter {
  public:
    Converter() : cd_(iconv_open("GB18030", "UTF-32BE")) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("gbk: the system cannot convert text to GB18030");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input; fails loudly rather than leave a character unmapped.
    std::vector<unsigned char> Convert(std::vector<unsigned char>& in) {
        std::vector<unsigned char> out(in.size());  // never more than 4 bytes per character
        char* inPtr = reinterpret_cast<char*>(in.data());
        char* outPtr = reinterpret_cast<char*>(out.data());
        std::size_t inLeft = in.size();
        std::size_t outLeft = out.size();
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            throw std::runtime_error(std::string("gbk: GB18030 conversion failed: ") +
                                     std::strerror(errno));
        out.resize(out.size() - outLeft);
        return out;
    }

  private:
    iconv_t cd_;
};

// The packed GB18030 code of every BMP code point; surrogates stay 0 as UTF-8 never yields them.
class BmpTable {
  public:
    BmpTable() {
        std::vector<unsigned char> in;
        in.reserve(kBmpSize * 4);
        for (std::uint32_t cp = 0; cp < kBmpSize; ++cp) {
            if (!IsConverted(cp)) continue;
            const unsigned char be[4] = {0, 0, static_cast<unsigned char>(cp >> 8),
                                         static_cast<unsigned char>(cp)};
            in.insert(in.end(), be, be + 4);
        }
        Fill(Converter().Convert(in));
        for (const FixedCode& f : kFixedCodes) codes_[f.codePoint] = Packed{f.code} << 16;
    }

    Packed operator[](std::uint32_t cp) const { return codes_[cp]; }

  private:
    // The output is the characters' codes back to back; each one's length shows in its bytes.
    void Fill(const std::vector<unsigned char>& gb) {
        std::size_t pos = 0;
        for (std::uint32_t cp = 0; cp < kBmpSize; ++cp) {
            if (!IsConverted(cp)) continue;
            if (pos >= gb.size()) throw std::runtime_error("gbk: GB18030 table is short");
            Packed p = static_cast<Packed>(gb[pos]) << 24;
            if (pos + 1 < gb.size()) p |= static_cast<Packed>(gb[pos + 1]) << 16;
            if (pos + 3 < gb.size()) p |= (gb[pos + 2] << 8) | gb[pos + 3];
            const std::size_t len = PackedLength(p);
            p &= ~Packed{0} << (8 * (4 - len));
            codes_[cp] = p;
            pos += len;
        }
    }

    std::array<Packed, kBmpSize> codes_{};
};

const BmpTable& Table() {
    static const BmpTable table;
    return table;
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Reads one character from a UTF-8 text. Rejects overlong forms, surrogates and code points
// beyond U+10FFFF; a rejected sequence yields only its first byte, as an invalid byte.
class Reader {
  public:
    explicit Reader(std::string_view s, std::size_t from = 0)
        : p_(reinterpret_cast<const unsigned char*>(s.data()) + from),
          end_(reinterpret_cast<const unsigned char*>(s.data()) + s.size()) {}

    bool AtEnd() const { return p_ == end_; }
    const unsigned char* Position() const { return p_; }

    Packed Next() {
        const unsigned char c = *p_;
        if (c < 0x80) {
            ++p_;
            return static_cast<Packed>(c) << 24;
        }
        std::uint32_t cp = 0;
        const std::size_t len = SequenceLength(c, cp);
        if (len == 0 || !Continues(len, cp)) {
            ++p_;
            return kInvalidMark | (static_cast<Packed>(c) << 16);
        }
        p_ += len;
        return cp < kBmpSize ? Table()[cp] : PackSupplementary(cp);
    }

  private:
    // The length a lead byte announces, with its payload bits in cp; 0 if it leads nothing.
    static std::size_t SequenceLength(unsigned char c, std::uint32_t& cp) {
        if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F;
            return 2;
        }
        if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F;
            return 3;
        }
        if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07;
            return 4;
        }
        return 0;
    }

    bool Continues(std::size_t len, std::uint32_t& cp) const {
        if (static_cast<std::size_t>(end_ - p_) < len) return false;
        for (std::size_t i = 1; i < len; ++i) {
            if (!IsContinuation(p_[i])) return false;
            cp = (cp << 6) | (p_[i] & 0x3F);
        }
        static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        return cp >= kMinimum[len] && cp <= 0x10FFFF && !IsSurrogate(cp);
    }

    const unsigned char* p_;
    const unsigned char* end_;
};

// Where two texts start to differ, moved back to a character start common to both, so that
// the comparison can skip their shared prefix. Every byte that is not a continuation byte
// starts a character; if none of the three bytes before the difference is one, no valid
// character spans it and the difference itself is a character start.
std::size_t CommonCharacterPrefix(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    const std::size_t diff = static_cast<std::size_t>(
        std::mismatch(a.begin(), a.begin() + n, b.begin()).first - a.begin());
    for (std::size_t back = 1; back <= 3 && back <= diff; ++back) {
        if (!IsContinuation(static_cast<unsigned char>(a[diff - back]))) return diff - back;
    }
    return diff;
}

int Order(Packed x, Packed y) {
    return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

std::size_t Length(std::string_view utf8) {
    std::size_t total = 0;
    for (Reader r(utf8); !r.AtEnd();) total += PackedLength(r.Next());
    return total;
}

std::string PrefixEnd(std::string_view prefix) {
    // An invalid byte 0xFF packs above every character.
    return std::string(prefix) + "\xFF\xFF\xFF\xFF";
}

std::vector<std::string_view> Characters(std::string_view utf8) {
    std::vector<std::string_view> characters;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 1;
        while (i + length < utf8.size() &&
               IsContinuation(static_cast<unsigned char>(utf8[i + length])))
            ++length;
        characters.push_back(utf8.substr(i, length));
        i += length;
    }
    return characters;
}

std::string_view Cut(std::string_view utf8, std::size_t bytes) {
    std::size_t used = 0;
    Reader r(utf8);
    const unsigned char* fits = r.Position();
    while (!r.AtEnd()) {
        used += PackedLength(r.Next());
        if (used > bytes) break;
        fits = r.Position();
    }
    return utf8.substr(
        0, static_cast<std::size_t>(fits - reinterpret_cast<const unsigned char*>(utf8.data())));
}

int Compare(std::string_view a, std::string_view b) {
    const std::size_t start = CommonCharacterPrefix(a, b);
    Reader ra(a, start);
    Reader rb(b, start);
    while (!ra.AtEnd() && !rb.AtEnd()) {
        if (const int o = Order(ra.Next(), rb.Next())) return o;
    }
    return static_cast<int>(rb.AtEnd()) - static_cast<int>(ra.AtEnd());
}

int CompareN(std::string_view a, std::string_view b, std::size_t bytes) {
    Reader ra(a);
    Reader rb(b);
    // Both texts stay at the same byte offset: characters are only passed while equal.
    for (std::size_t left = bytes; left > 0;) {
        if (ra.AtEnd() || rb.AtEnd())
            return static_cast<int>(rb.AtEnd()) - static_cast<int>(ra.AtEnd());
        Packed x = ra.Next();
        Packed y = rb.Next();
        const std::size_t len = std::max(PackedLength(x), PackedLength(y));
        if (len > left) {
            const Packed keep = ~Packed{0} << (8 * (4 - left));
            x &= keep;
            y &= keep;
        }
        if (const int o = Order(x, y)) return o;
        left -= std::min(len, left);
    }
    return 0;
}

std::string Encode(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (Reader r(utf8); !r.AtEnd();) {
        const Packed p = r.Next();
        if (IsInvalid(p)) {
            out.push_back(static_cast<char>((p >> 16) & 0xFF));
            continue;
        }
        for (std::size_t i = 0, n = PackedLength(p); i < n; ++i)
            out.push_back(static_cast<char>(p >> (24 - 8 * i)));
    }
    return out;
}

}  // namespace gbk
