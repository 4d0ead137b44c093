#include "base/pinyin.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Readings = std::vector<std::string>;

TEST(Pinyin, ReadingsComeFromTheGeneralAndTheNamesTransliteration) {
    EXPECT_EQ(pinyin::Readings("张"), Readings({"zhang"}));
    EXPECT_EQ(pinyin::Readings("单"), Readings({"dan", "shan"})) << "shan as a surname";
    EXPECT_EQ(pinyin::Readings("曾"), Readings({"ceng", "zeng"}));
    EXPECT_EQ(pinyin::Readings("吕"), Readings({"lv", "lu"})) << "ü typed either way";
    EXPECT_EQ(pinyin::Readings("A"), Readings({"a"}));
    EXPECT_EQ(pinyin::Readings("7"), Readings({"7"}));
    EXPECT_EQ(pinyin::Readings("-"), Readings{});
    EXPECT_EQ(pinyin::Readings("、"), Readings{});
}

TEST(Pinyin, InitialsSyllablesAndMixesMatchFromAnyCharacter) {
    for (const char* typed : {"zs", "ZS", "zhangsan", "zhangs", "zsanf", "zsf", "sf", "sanfeng",
                              "s", "zhan", "zhangsanfeng"}) {
        EXPECT_TRUE(pinyin::Matches("张三丰", typed)) << typed;
    }
    for (const char* typed : {"", "zx", "zhangsanfengx", "fs", "zhangan", "zhn", "hang"}) {
        EXPECT_FALSE(pinyin::Matches("张三丰", typed)) << typed;
    }
    EXPECT_TRUE(pinyin::Matches("欧阳娜", "oyn"));
    EXPECT_TRUE(pinyin::Matches("欧阳娜", "ouyangna"));
    EXPECT_TRUE(pinyin::Matches("曾伟", "zw")) << "the name's reading";
    EXPECT_TRUE(pinyin::Matches("曾伟", "cengwei")) << "the general reading";
    EXPECT_TRUE(pinyin::Matches("吕丽", "lvli"));
    EXPECT_TRUE(pinyin::Matches("吕丽", "luli"));
    EXPECT_FALSE(pinyin::Matches("王-伟", "ww")) << "a character without reading breaks the run";
}

// The index finds a name by its keys: every text that matches a name must have a key prefix
// that begins one of them, whether it lies in one reading or runs over several, even where
// the pieces that some reading begins with are only those of the name itself.
TEST(Pinyin, EveryMatchHoldsAKeyBeginningWithOneOfItsPrefixes) {
    const std::string letters = "zhangsouyewlviqc7fd";
    const auto begins = [](const std::string& key, std::string_view prefix) {
        return key.compare(0, prefix.size(), prefix) == 0;
    };
    for (const char* name :
         {"张三丰", "欧阳娜", "三阿", "阿", "曾伟", "吕丽", "王a7", "瓩", "单于", "王-伟丽"}) {
        const std::vector<std::string> keys = pinyin::Keys(name);
        const auto isReadingPrefix = [&](std::string_view piece) {
            return std::any_of(keys.begin(), keys.end(), [&](const std::string& key) {
                return key[0] != ':' && begins(key, piece);
            });
        };
        // Every text of up to eight of those letters that matches: its beginnings match too.
        std::vector<std::string> texts = {""};
        while (!texts.empty() && texts.front().size() < 8) {
            std::vector<std::string> longer;
            for (const std::string& text : texts) {
                for (char c : letters) {
                    if (pinyin::Matches(name, text + c)) longer.push_back(text + c);
                }
            }
            for (const std::string& text : longer) {
                const std::vector<std::string> prefixes =
                    pinyin::SearchKeyPrefixes(text, isReadingPrefix);
                EXPECT_TRUE(std::any_of(keys.begin(), keys.end(),
                                        [&](const std::string& key) {
                                            return std::any_of(prefixes.begin(), prefixes.end(),
                                                               [&](const std::string& prefix) {
                                                                   return begins(key, prefix);
                                                               });
                                        }))
                    << name << " " << text;
            }
            texts = std::move(longer);
        }
    }
    EXPECT_EQ(pinyin::Keys("张三丰"),
              std::vector<std::string>({"zhang", ":zsf", "san", ":sf$", "feng"}));
    // No reading holds a blank or a non-ASCII letter: no prefix, and no piece looked up.
    for (const char* text : {"zhang s", "\u212A", "zh\xE2"}) {
        EXPECT_TRUE(pinyin::SearchKeyPrefixes(text,
                                              [](std::string_view piece) -> bool {
                                                  ADD_FAILURE() << piece;
                                                  return true;
                                              })
                        .empty())
            << text;
    }
}

}  // namespace
