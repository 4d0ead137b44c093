#include "base/gbk_text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// The system converter, as an independent reference; nullopt where it has no mapping.
class Reference {
  public:
    Reference() : cd_(iconv_open("GB18030", "UTF-8")) {}
    ~Reference() { iconv_close(cd_); }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    std::optional<std::string> Convert(std::string in) {
        std::string out(in.size() * 4 + 4, '\0');
        char* inPtr = in.data();
        char* outPtr = out.data();
        std::size_t inLeft = in.size();
        std::size_t outLeft = out.size();
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            return std::nullopt;
        out.resize(out.size() - outLeft);
        return out;
    }

  private:
    iconv_t cd_;
};

std::string Utf8(char32_t cp) {
    if (cp < 0x80) return std::string(1, static_cast<char>(cp));
    if (cp < 0x800)
        return {static_cast<char>(0xC0 | cp >> 6), static_cast<char>(0x80 | (cp & 0x3F))};
    return {static_cast<char>(0xE0 | cp >> 12), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
            static_cast<char>(0x80 | (cp & 0x3F))};
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

int ByteOrder(const std::string& a, const std::string& b, std::size_t n) {
    const std::size_t common = std::min({a.size(), b.size(), n});
    if (const int c = std::memcmp(a.data(), b.data(), common)) return Sign(c);
    return Sign(static_cast<int>(std::min(a.size(), n)) - static_cast<int>(std::min(b.size(), n)));
}

TEST(GbkEncode, KnownCodes) {
    EXPECT_EQ(gbk::Encode("张"), "\xD5\xC5");
    EXPECT_EQ(gbk::Encode("李"), "\xC0\xEE");
    EXPECT_EQ(gbk::Encode("王"), "\xCD\xF5");
    EXPECT_EQ(gbk::Encode("啊"), "\xB0\xA1");
    EXPECT_EQ(gbk::Encode("男"), "\xC4\xD0");
    EXPECT_EQ(gbk::Encode("€"), "\xA2\xE3");
    EXPECT_EQ(gbk::Encode("Abc 09-"), "Abc 09-");
    EXPECT_EQ(gbk::Encode(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(GbkEncode, OutsideGbkUsesFourByteCodes) {
    EXPECT_EQ(gbk::Encode("\u0080"), "\x81\x30\x81\x30");
    EXPECT_EQ(gbk::Encode("\U00010000"), "\x90\x30\x81\x30");
    EXPECT_EQ(gbk::Encode("\U0010FFFF"), "\xE3\x32\x9A\x35");
    Reference reference;
    for (const char* s : {"😀", "𠀀", "\U0001D11E", "\uFFFD", "\uE000"})
        EXPECT_EQ(gbk::Encode(s), reference.Convert(s)) << s;
}

TEST(GbkEncode, PrivateUseCharactersKeepCodePageCodes) {
    EXPECT_EQ(gbk::Encode("\uE78D"), "\xA6\xD9");
    EXPECT_EQ(gbk::Encode("\uE796"), "\xA6\xF3");
    EXPECT_EQ(gbk::Encode("\uE816"), "\xFE\x51");
    EXPECT_EQ(gbk::Encode("\uE864"), "\xFE\xA0");
}

// Every BMP character the system can convert must encode as it does; the few it cannot are
// the private-use characters that keep their two-byte code page codes.
TEST(GbkEncode, AgreesWithSystemConverterOverWholeBmp) {
    Reference reference;
    int unmapped = 0;
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string text = Utf8(cp);
        if (const auto expected = reference.Convert(text)) {
            ASSERT_EQ(gbk::Encode(text), *expected) << std::hex << static_cast<std::uint32_t>(cp);
        } else {
            ++unmapped;
            EXPECT_EQ(gbk::Length(text), 2u) << std::hex << static_cast<std::uint32_t>(cp);
        }
    }
    EXPECT_LE(unmapped, 24);
}

TEST(GbkLength, CountsGbkBytes) {
    EXPECT_EQ(gbk::Length(""), 0u);
    EXPECT_EQ(gbk::Length("张三"), 4u);
    EXPECT_EQ(gbk::Length("王小明五"), 8u);
    EXPECT_EQ(gbk::Length("a张1"), 4u);
    EXPECT_EQ(gbk::Length("😀"), 4u);
}

TEST(GbkCut, KeepsWholeCharacters) {
    EXPECT_EQ(gbk::Cut("张三李四王", 8), "张三李四");
    EXPECT_EQ(gbk::Cut("张三李四王", 9), "张三李四");
    EXPECT_EQ(gbk::Cut("a张", 2), "a");
    EXPECT_EQ(gbk::Cut("a张", 3), "a张");
    EXPECT_EQ(gbk::Cut("张", 1), "");
    EXPECT_EQ(gbk::Cut("ab😀", 5), "ab");
    EXPECT_EQ(gbk::Cut("abc", 0), "");
    EXPECT_EQ(gbk::Cut("abc", 100), "abc");
    using Characters = std::vector<std::string_view>;
    EXPECT_EQ(gbk::Characters("a张😀"), (Characters{"a", "张", "😀"}));
    EXPECT_EQ(gbk::Characters("\xBC\xE5\xBC张"), (Characters{"\xBC", "\xE5\xBC", "张"}));
    EXPECT_EQ(gbk::Characters(""), Characters{});
}

TEST(GbkInvalidUtf8, EachByteCountsOneAndSortsLast) {
    EXPECT_EQ(gbk::Length("\xFF"), 1u);
    EXPECT_EQ(gbk::Length("\xE5\xBC"), 2u);      // truncated sequence
    EXPECT_EQ(gbk::Length("\xC0\x80"), 2u);      // overlong form
    EXPECT_EQ(gbk::Length("\xED\xA0\x80"), 3u);  // encoded surrogate
    EXPECT_EQ(gbk::Length("\xE5\xBC张"), 4u);    // a broken sequence does not eat the next one
    EXPECT_EQ(gbk::Encode("a\x80z"), "a\x80z");
    EXPECT_EQ(gbk::Cut("\xE5\xBC张", 3), "\xE5\xBC");
    EXPECT_GT(gbk::Compare("\x80", "\U0010FFFF"), 0);
    EXPECT_GT(gbk::Compare("\x80", "\uFFFF"), 0);
    EXPECT_LT(gbk::Compare("\x80", "\x81"), 0);
    EXPECT_EQ(gbk::Compare("a\xFE", "a\xFE"), 0);
}

TEST(GbkCompare, FollowsGbkNotUnicodeOrder) {
    EXPECT_LT(gbk::Compare("李", "王"), 0);
    EXPECT_LT(gbk::Compare("王", "张"), 0);
    EXPECT_LT(gbk::Compare("啊", "李"), 0);
    // U+4E00 precedes U+4E01 in Unicode and shares two UTF-8 bytes with it, but not in GBK.
    EXPECT_GT(gbk::Compare("一", "丁"), 0);
    EXPECT_GT(gbk::Compare("张一", "张丁"), 0);
    EXPECT_LT(gbk::Compare("张", "张三"), 0);
    EXPECT_EQ(gbk::Compare("张三", "张三"), 0);
    EXPECT_LT(gbk::Compare("Z", "啊"), 0);
}

TEST(GbkCompareN, ComparesLeadingBytesOnly) {
    EXPECT_EQ(gbk::CompareN("张三", "张四", 2), 0);
    EXPECT_NE(gbk::CompareN("张三", "张四", 3), 0);
    // 张 D5C5 and 章 D5C2 share their first byte.
    EXPECT_EQ(gbk::CompareN("张", "章", 1), 0);
    EXPECT_GT(gbk::CompareN("张", "章", 2), 0);
    EXPECT_LT(gbk::CompareN("张", "张三", 4), 0);
    EXPECT_EQ(gbk::CompareN("abc", "abd", 0), 0);
}

// Compare and CompareN must equal plain byte comparison of the GB18030 encodings.
TEST(GbkCompare, MatchesByteOrderOfEncodings) {
    const std::vector<std::string> pool = {"a",      "Z",      "0",  "张", "章",
                                           "李",     "一",     "丁", "啊", "€",
                                           "\u0080", "\uFFFD", "😀",  "𠀀", "\U0010FFFF"};
    std::mt19937 rng(7);
    auto text = [&] {
        std::string s;
        for (int n = static_cast<int>(rng() % 5); n > 0; --n) s += pool[rng() % pool.size()];
        return s;
    };
    for (int i = 0; i < 3000; ++i) {
        const std::string a = text();
        const std::string b = (i % 3 == 0) ? a + text() : text();
        const std::string ea = gbk::Encode(a);
        const std::string eb = gbk::Encode(b);
        ASSERT_EQ(Sign(gbk::Compare(a, b)), ByteOrder(ea, eb, std::string::npos))
            << a << " / " << b;
        ASSERT_EQ(Sign(gbk::Compare(b, a)), -ByteOrder(ea, eb, std::string::npos));
        const std::size_t n = rng() % 12;
        ASSERT_EQ(Sign(gbk::CompareN(a, b, n)), ByteOrder(ea, eb, n))
            << a << " / " << b << " " << n;
    }
}

}  // namespace
