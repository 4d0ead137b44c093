#include "tools/demo_people.h"

#include <string_view>

#include "base/gbk_text.h"

namespace clinicdb {
namespace {

using Words = std::span<const std::string_view>;

struct Syllable {
    std::string_view hanzi;
    std::string_view pinyin;  // for e-mail addresses
};
using Syllables = std::span<const Syllable>;

// Commonest first: Rng::PickCommon favours the front.
constexpr Syllable kSurnames[] = {
    {"王", "wang"},  {"李", "li"},    {"张", "zhang"}, {"刘", "liu"},   {"陈", "chen"},
    {"杨", "yang"},  {"黄", "huang"}, {"赵", "zhao"},  {"吴", "wu"},    {"周", "zhou"},
    {"徐", "xu"},    {"孙", "sun"},   {"马", "ma"},    {"朱", "zhu"},   {"胡", "hu"},
    {"郭", "guo"},   {"何", "he"},    {"高", "gao"},   {"林", "lin"},   {"罗", "luo"},
    {"郑", "zheng"}, {"梁", "liang"}, {"谢", "xie"},   {"宋", "song"},  {"唐", "tang"},
    {"许", "xu"},    {"韩", "han"},   {"冯", "feng"},  {"邓", "deng"},  {"曹", "cao"},
    {"彭", "peng"},  {"曾", "zeng"},  {"肖", "xiao"},  {"田", "tian"},  {"董", "dong"},
    {"袁", "yuan"},  {"潘", "pan"},   {"于", "yu"},    {"蒋", "jiang"}, {"蔡", "cai"},
    {"余", "yu"},    {"杜", "du"},    {"叶", "ye"},    {"程", "cheng"}, {"苏", "su"},
    {"魏", "wei"},   {"吕", "lv"},    {"丁", "ding"},  {"任", "ren"},   {"沈", "shen"},
    {"姚", "yao"},   {"卢", "lu"},    {"姜", "jiang"}, {"崔", "cui"},   {"钟", "zhong"},
    {"谭", "tan"},   {"陆", "lu"},    {"汪", "wang"},  {"范", "fan"},   {"金", "jin"},
    {"石", "shi"},   {"廖", "liao"},  {"贾", "jia"},   {"夏", "xia"},   {"韦", "wei"},
    {"方", "fang"},  {"白", "bai"},   {"邹", "zou"},   {"孟", "meng"},  {"熊", "xiong"},
    {"秦", "qin"},   {"邱", "qiu"},   {"江", "jiang"}, {"尹", "yin"},   {"薛", "xue"},
    {"段", "duan"},  {"雷", "lei"},   {"侯", "hou"},   {"龙", "long"},  {"史", "shi"},
    {"陶", "tao"},   {"黎", "li"},    {"贺", "he"},    {"顾", "gu"},    {"毛", "mao"},
    {"郝", "hao"},   {"龚", "gong"},  {"邵", "shao"},  {"万", "wan"},   {"钱", "qian"},
    {"严", "yan"},   {"武", "wu"},    {"戴", "dai"},   {"莫", "mo"},    {"孔", "kong"}};

constexpr Syllable kCompoundSurnames[] = {{"欧阳", "ouyang"},   {"司马", "sima"},
                                          {"诸葛", "zhuge"},    {"上官", "shangguan"},
                                          {"东方", "dongfang"}, {"皇甫", "huangfu"}};

constexpr Syllable kMaleGiven[] = {
    {"伟", "wei"},  {"强", "qiang"}, {"磊", "lei"},  {"军", "jun"},  {"勇", "yong"}, {"杰", "jie"},
    {"涛", "tao"},  {"明", "ming"},  {"超", "chao"}, {"刚", "gang"}, {"平", "ping"}, {"辉", "hui"},
    {"鹏", "peng"}, {"华", "hua"},   {"飞", "fei"},  {"鑫", "xin"},  {"波", "bo"},   {"斌", "bin"},
    {"宇", "yu"},   {"浩", "hao"},   {"凯", "kai"},  {"健", "jian"}, {"俊", "jun"},  {"帆", "fan"},
    {"旭", "xu"},   {"宁", "ning"},  {"龙", "long"}, {"林", "lin"},  {"阳", "yang"}, {"建", "jian"},
    {"国", "guo"},  {"志", "zhi"},   {"文", "wen"},  {"海", "hai"},  {"东", "dong"}, {"峰", "feng"},
    {"晨", "chen"}, {"博", "bo"},    {"子", "zi"},   {"豪", "hao"},  {"铭", "ming"}, {"立", "li"},
    {"新", "xin"},  {"春", "chun"},  {"荣", "rong"}};

constexpr Syllable kFemaleGiven[] = {
    {"芳", "fang"}, {"娜", "na"},   {"敏", "min"}, {"静", "jing"}, {"丽", "li"},   {"艳", "yan"},
    {"娟", "juan"}, {"霞", "xia"},  {"秀", "xiu"}, {"玲", "ling"}, {"桂", "gui"},  {"英", "ying"},
    {"萍", "ping"}, {"红", "hong"}, {"燕", "yan"}, {"梅", "mei"},  {"莉", "li"},   {"琳", "lin"},
    {"雪", "xue"},  {"婷", "ting"}, {"慧", "hui"}, {"颖", "ying"}, {"倩", "qian"}, {"洁", "jie"},
    {"佳", "jia"},  {"琴", "qin"},  {"云", "yun"}, {"丹", "dan"},  {"兰", "lan"},  {"晶", "jing"},
    {"欣", "xin"},  {"怡", "yi"},   {"悦", "yue"}, {"雨", "yu"},   {"思", "si"},   {"月", "yue"},
    {"凤", "feng"}, {"珍", "zhen"}, {"淑", "shu"}, {"萱", "xuan"}};

constexpr std::string_view kCities[] = {"杭州市", "宁波市", "绍兴市", "湖州市", "嘉兴市"};
constexpr std::string_view kOrganisations[] = {
    "第一人民医院", "第二中学", "实验小学", "税务局",   "公安局",   "自来水公司",
    "供电局",       "建设银行", "农业银行", "邮政局",   "公交公司", "机械厂",
    "丝绸厂",       "食品公司", "设计院",   "人民政府", "图书馆",   "中医院"};
constexpr std::string_view kOccupations[] = {"个体经营", "自由职业", "农民",
                                             "无业",     "浙江大学", "浙江工业大学"};
constexpr std::string_view kDistricts[] = {"西湖区", "上城区", "拱墅区",
                                           "滨江区", "萧山区", "余杭区"};
constexpr std::string_view kRoads[] = {"文三路",   "文二路",   "教工路",   "学院路", "莫干山路",
                                       "天目山路", "延安路",   "解放路",   "庆春路", "凤起路",
                                       "古墩路",   "江南大道", "建国北路", "人民路", "中山路"};
constexpr std::string_view kMailDomains[] = {"qq.com", "163.com", "126.com", "sina.com",
                                             "hotmail.com"};
constexpr std::string_view kAreaCodes[] = {"0571", "0574", "0575", "0572", "0573"};
constexpr std::string_view kMobilePrefixes[] = {"130", "133", "135", "136", "137", "138",
                                                "139", "150", "151", "153", "158", "159",
                                                "177", "180", "186", "187", "188", "189"};

void AppendDigits(Rng& rng, int count, std::string& out) {
    for (int i = 0; i < count; ++i) out += static_cast<char>('0' + rng.Below(10));
}

// The name's characters and its pinyin, for the e-mail address.
struct Name {
    std::string hanzi;
    std::string pinyin;
};

// Surname and one or two given characters: 2-4 characters, so at most 8 GBK bytes.
Name MakeName(Rng& rng, const Syllable& surname, bool female) {
    const Syllables given = female ? Syllables(kFemaleGiven) : Syllables(kMaleGiven);
    Name name{std::string(surname.hanzi), std::string(surname.pinyin)};
    for (int n = rng.PerMille(650) ? 2 : 1; n > 0; --n) {
        const Syllable& s = rng.Pick(given);
        name.hanzi += s.hanzi;
        name.pinyin += s.pinyin;
    }
    return name;
}

const Syllable& PickSurname(Rng& rng) {
    return rng.PerMille(8) ? rng.Pick(Syllables(kCompoundSurnames))
                           : rng.PickCommon(Syllables(kSurnames));
}

std::string MakeEmployer(Rng& rng, int age) {
    if (age < 7) return {};
    if (age < 19) return "学生";
    if (age > 60 && rng.PerMille(700)) return "退休";
    if (rng.PerMille(250)) return std::string(rng.Pick(Words(kOccupations)));
    return std::string(rng.Pick(Words(kCities))) + std::string(rng.Pick(Words(kOrganisations)));
}

std::string MakeMobile(Rng& rng) {
    std::string phone(rng.Pick(Words(kMobilePrefixes)));
    AppendDigits(rng, 8, phone);
    return phone;
}

std::string MakeLandline(Rng& rng) {
    std::string phone(rng.Pick(Words(kAreaCodes)));
    phone += '-';
    phone += static_cast<char>('2' + rng.Below(7));
    AppendDigits(rng, 7, phone);
    return phone;
}

std::string MakePhone(Rng& rng) {
    const int kind = static_cast<int>(rng.Below(100));
    if (kind < 2) return {};
    if (kind < 72) return MakeMobile(rng);
    if (kind < 92) return MakeLandline(rng);
    return MakeMobile(rng) + "," + MakeLandline(rng);
}

std::string MakeAddress(Rng& rng) {
    std::string address(rng.Pick(Words(kCities)));
    if (address == kCities[0]) address += rng.Pick(Words(kDistricts));
    address += rng.Pick(Words(kRoads));
    address += std::to_string(rng.Between(1, 399)) + "号";
    if (rng.PerMille(600)) {
        address += std::to_string(rng.Between(1, 30)) + "幢";
        address += std::to_string(rng.Between(1, 18) * 100 + rng.Between(1, 4)) + "室";
    }
    return std::string(gbk::Cut(address, kAddressBytes));
}

std::string MakeEmail(Rng& rng, const Name& name, int age) {
    if (age < 12 || rng.PerMille(age > 55 ? 800 : 350)) return {};
    std::string email;
    if (rng.PerMille(400)) {
        email += static_cast<char>('1' + rng.Below(9));
        AppendDigits(rng, rng.Between(6, 9), email);
        return email + "@qq.com";
    }
    email = name.pinyin;
    if (rng.PerMille(600)) email += std::to_string(rng.Between(1950, 2015) % 100);
    return email + "@" + std::string(rng.Pick(Words(kMailDomains)));
}

std::string Relative(std::string_view relation, const Name& name) {
    return std::string(relation) + "：" + name.hanzi;
}

// Children name a parent or two; adults a spouse or a child; some name nobody.
std::string MakeFamily(Rng& rng, const Syllable& surname, bool female, int age) {
    if (rng.PerMille(400)) return {};
    std::string family;
    if (age < 18) {
        family = Relative("父", MakeName(rng, surname, false));
        if (rng.PerMille(500))
            family += "，" + Relative("母", MakeName(rng, PickSurname(rng), true));
    } else if (age < 45 || rng.PerMille(500)) {
        family = Relative(female ? "夫" : "妻", MakeName(rng, PickSurname(rng), !female));
    } else {
        const bool daughter = rng.PerMille(500);
        family = Relative(daughter ? "女" : "子", MakeName(rng, surname, daughter));
    }
    return std::string(gbk::Cut(family, kFamilyBytes));
}

}  // namespace

void FillPerson(Rng& rng, Patient& patient) {
    const bool female = rng.PerMille(520);
    const Syllable& surname = PickSurname(rng);
    const Name name = MakeName(rng, surname, female);
    patient.name = name.hanzi;
    patient.sex = female ? "女" : "男";
    patient.age = rng.PerMille(150) ? rng.Between(1, 17) : rng.Between(18, 90);
    patient.employer = std::string(gbk::Cut(MakeEmployer(rng, patient.age), kEmployerBytes));
    patient.phone = MakePhone(rng);
    patient.address = MakeAddress(rng);
    patient.email = MakeEmail(rng, name, patient.age);
    patient.family = MakeFamily(rng, surname, female, patient.age);
}

}  // namespace clinicdb
