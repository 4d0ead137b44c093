#include "base/pinyin.h"

#include <gtest/gtest.h>

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

}  // namespace
