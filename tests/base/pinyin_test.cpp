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

// The index finds a name by its keys: every text that matches a name must have a search key
// among them, whether it lies in one reading, a one-letter one, or runs over several.
TEST(Pinyin, EveryMatchHoldsOneOfItsSearchKeys) {
    const std::string letters = "zhangsouyewlviqc7fd";
    for (const char* name :
         {"张三丰", "欧阳娜", "三阿", "阿", "曾伟", "吕丽", "王a7", "瓩", "单于"}) {
        const std::vector<std::string> keys = pinyin::Keys(name);
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
                std::vector<std::string> search = pinyin::SearchKeys(text);
                if (text.size() == 1) {
                    std::copy_if(keys.begin(), keys.end(), std::back_inserter(search),
                                 [&](const std::string& key) { return key[0] == text[0]; });
                }
                EXPECT_TRUE(std::any_of(search.begin(), search.end(),
                                        [&](const std::string& key) {
                                            return std::find(keys.begin(), keys.end(), key) !=
                                                   keys.end();
                                        }))
                    << name << " " << text;
            }
            texts = std::move(longer);
        }
    }
}

}  // namespace
