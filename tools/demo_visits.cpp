#include "tools/demo_visits.h"

#include <string_view>

#include "base/gbk_text.h"

namespace clinicdb {
namespace {

using Words = std::span<const std::string_view>;

// Where in the mouth, in the patient's words ({R}) and as tooth numbers ({T}).
struct Region {
    std::string_view words;
    std::span<const std::string_view> teeth;
};

constexpr std::string_view kLowerLeft[] = {"34", "35", "36", "37"};
constexpr std::string_view kLowerRight[] = {"44", "45", "46", "47"};
constexpr std::string_view kUpperLeft[] = {"24", "25", "26", "27"};
constexpr std::string_view kUpperRight[] = {"14", "15", "16", "17"};
constexpr std::string_view kUpperFront[] = {"11", "12", "13", "21", "22", "23"};
constexpr std::string_view kLowerFront[] = {"31", "32", "41", "42"};
constexpr std::string_view kLeftWisdom[] = {"38"};
constexpr std::string_view kRightWisdom[] = {"48"};

constexpr Region kRegions[] = {{"左下后牙", kLowerLeft},  {"右下后牙", kLowerRight},
                               {"左上后牙", kUpperLeft},  {"右上后牙", kUpperRight},
                               {"上前牙", kUpperFront},   {"下前牙", kLowerFront},
                               {"左下智齿", kLeftWisdom}, {"右下智齿", kRightWisdom}};

// Which regions a case can concern: [first, first + count) of kRegions.
struct RegionRange {
    int first;
    int count;
};
constexpr RegionRange kBackTeeth{0, 4};
constexpr RegionRange kAnyTooth{0, 6};
constexpr RegionRange kWisdomTeeth{6, 2};

constexpr std::string_view kDurations[] = {"三天", "一周", "两周", "半月", "一月",
                                           "两月", "半年", "一年", "数年"};

struct DentalCase {
    RegionRange regions;
    std::string_view complaint;
    std::string_view history;
    std::string_view examination;
    std::string_view diagnosis;
    std::string_view treatment;
    int nextCase;         // the case a following visit continues, or -1
    bool onlyAsFollowUp;  // never a first complaint
};

constexpr int kRootFilling = 8;
constexpr int kExtraction = 5;

constexpr DentalCase kCases[] = {
    {kBackTeeth, "{R}冷热刺激痛{D}",
     "患者{D}前开始出现{R}遇冷热刺激时酸痛，刺激去除后疼痛即消失，无自发痛及夜间痛。",
     "{T}远中邻面深龋，探诊敏感，叩痛(-)，冷测一过性敏感，松动(-)，牙龈未见明显异常。", "{T}深龋",
     "{T}去腐，备洞，垫底，树脂充填，调合抛光。嘱勿咬硬物，如有不适随诊。", -1, false},
    {kBackTeeth, "{R}自发痛{D}",
     "患者{D}前出现{R}阵发性自发痛，夜间加重，冷热刺激可加剧疼痛，疼痛不能定位，曾自服止痛药，"
     "效果不佳。",
     "{T}合面深龋洞，探及穿髓点，探痛(+)，叩痛(±)，冷测引起剧痛并持续，松动(-)。X线片示龋坏近髓，"
     "根尖周未见明显异常。",
     "{T}急性牙髓炎",
     "{T}局麻下开髓拔髓，探及根管，测长，根管预备，冲洗，氢氧化钙糊剂封药，氧化锌暂封。"
     "嘱一周后复诊，暂封期间勿用患侧咀嚼，如有肿痛及时就诊。",
     kRootFilling, false},
    {kAnyTooth, "{R}咬物痛{D}",
     "患者{D}前出现{R}咬物不适，有浮出感，偶有牙龈起脓包，曾于外院行充填治疗。",
     "{T}合面充填体，叩痛(+)，松动I度，根尖区牙龈可见窦道口，冷热测无反应。X线片示根尖周低密度影。",
     "{T}慢性根尖周炎", "{T}去除原充填体，开髓，根管预备，次氯酸钠冲洗，封药。嘱一周后复诊。",
     kRootFilling, false},
    {kAnyTooth, "牙龈出血{D}，{R}松动",
     "患者{D}来刷牙时牙龈出血，伴口腔异味，近来自觉{R}松动，咀嚼无力。否认高血压、糖尿病史。",
     "全口牙石(++)，牙龈红肿，探诊出血，{T}牙周袋深5-6mm，松动II度，X线片示牙槽骨水平吸收至根长"
     "1/2。",
     "慢性牙周炎",
     "全口龈上洁治，龈下刮治，3%双氧水冲洗，上碘甘油。口腔卫生宣教，指导巴氏刷牙法，嘱使用牙线。",
     -1, false},
    {kWisdomTeeth, "{R}肿痛{D}", "患者{D}前出现{R}区肿痛，张口及吞咽时疼痛加重，既往有类似发作史。",
     "{T}部分萌出，远中龈瓣红肿，压痛(+)，龈袋内有少量脓性分泌物溢出，张口度约二指。", "{T}冠周炎",
     "{T}冠周冲洗，上碘甘油，口服阿莫西林及甲硝唑三天。嘱炎症消退后拔除{T}。", kExtraction, false},
    {kWisdomTeeth, "要求拔除{R}",
     "患者{R}反复肿痛，现无急性炎症，要求拔除。否认心脏病、高血压、糖尿病史，否认药物过敏史。",
     "{T}近中阻生，牙龈无红肿，X线片示{T}近中低位阻生，牙根与下颌管关系不密切。", "{T}阻生齿",
     "签署知情同意书后，局麻下切开翻瓣，去骨，分牙，完整拔除{T}，搔刮拔牙窝，缝合两针，压迫止血。"
     "嘱咬棉球半小时，二十四小时内勿漱口刷牙，一周后拆线。",
     -1, false},
    {kAnyTooth, "要求洁牙", "患者自觉牙石较多，无明显不适，要求洁治。",
     "全口牙石(+)，色素(+)，牙龈轻度红肿，探诊出血。", "慢性龈炎",
     "全口超声龈上洁治，抛光。口腔卫生宣教。", -1, false},
    {kBackTeeth, "{R}缺失{D}，要求修复", "患者{D}前于外院拔除{R}，现要求修复缺失牙。",
     "{T}缺失，拔牙创愈合良好，缺牙间隙正常，邻牙无倾斜，对颌牙无伸长。", "牙列缺损",
     "与患者沟通种植修复、固定桥修复及活动义齿修复方案，患者选择固定桥修复，预约下次牙体预备。", -1,
     false},
    {kAnyTooth, "{R}根管治疗复诊", "{T}根管治疗中，封药后无明显不适。",
     "{T}暂封完好，叩痛(-)，牙龈无红肿，根管内无渗出。", "{T}牙髓炎（根管治疗中）",
     "{T}去除暂封，冲洗干燥根管，糊剂加牙胶尖热牙胶垂直加压充填，X线片示根充恰填，玻璃离子垫底，"
     "树脂充填。建议全冠修复。",
     -1, true},
    {kAnyTooth, "口腔溃疡反复发作{D}",
     "患者{D}来口腔溃疡反复发作，每次持续一周左右可自愈，与劳累有关。",
     "左颊黏膜见一直径约3mm圆形溃疡，周围充血，中央凹陷，表面覆黄白色假膜，触痛(+)。",
     "复发性阿弗他溃疡", "局部涂布溃疡散，喷剂外用，嘱清淡饮食，注意休息。", -1, false},
    {kAnyTooth, "{R}酸软不适{D}", "患者{D}来进食酸甜及冷食时{R}酸软，刷牙时亦有不适。",
     "{T}颈部楔状缺损，探诊酸痛，叩痛(-)，冷测敏感，无松动。", "{T}牙本质敏感",
     "{T}脱敏治疗，涂布氟保护漆。嘱使用抗敏感牙膏，改用竖刷法。", -1, false}};

static_assert(kCases[kRootFilling].onlyAsFollowUp);

constexpr std::string_view kAdvice[] = {
    "嘱保持口腔卫生，早晚刷牙，饭后漱口。", "如有疼痛加剧、牙龈肿胀或发热，请及时复诊。",
    "告知患者治疗过程中可能出现的不适及治疗费用，患者知情同意。",
    "建议定期口腔检查，每半年至一年洁牙一次。"};

constexpr std::string_view kDoctors[] = {"陈建华", "李明",   "王晓燕", "周志强",
                                         "吴丽",   "赵文斌", "孙海燕", "郑国平"};

// The values a case's texts are written with.
struct Slots {
    std::string_view region;
    std::string_view duration;
    std::string_view tooth;
};

// Copies the template with {R}, {D} and {T} filled in.
std::string Expand(std::string_view text, const Slots& slots) {
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}') {
            const char slot = text[i + 1];
            out += slot == 'R' ? slots.region : slot == 'D' ? slots.duration : slots.tooth;
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

int NewCase(Rng& rng) {
    int chosen;
    do {
        chosen = static_cast<int>(rng.Below(std::size(kCases)));
    } while (kCases[chosen].onlyAsFollowUp);
    return chosen;
}

// Picks what this visit is about, continuing the course when it has a next step.
const DentalCase& ChooseCase(Rng& rng, Course& course) {
    const bool continues = course.nextCase >= 0 && rng.PerMille(850);
    const int chosen = continues ? course.nextCase : NewCase(rng);
    const DentalCase& c = kCases[chosen];
    if (!continues) {
        course.region = c.regions.first + static_cast<int>(rng.Below(c.regions.count));
        course.tooth = static_cast<int>(rng.Below(kRegions[course.region].teeth.size()));
    }
    course.nextCase = c.nextCase;
    return c;
}

}  // namespace

void WriteVisit(Rng& rng, Course& course, Visit& visit) {
    const DentalCase& c = ChooseCase(rng, course);
    const Region& region = kRegions[course.region];
    const Slots slots{region.words, rng.Pick(Words(kDurations)), region.teeth[course.tooth]};
    visit.complaint = std::string(gbk::Cut(Expand(c.complaint, slots), kComplaintBytes));
    visit.history = Expand(c.history, slots);
    if (rng.PerMille(300)) visit.history += "否认全身系统性疾病史，否认药物过敏史。";
    visit.examination = Expand(c.examination, slots);
    visit.diagnosis = Expand(c.diagnosis, slots);
    visit.treatment = Expand(c.treatment, slots);
    // Zero to two pieces of advice, never the same one twice.
    const std::size_t first = rng.Below(std::size(kAdvice));
    for (std::size_t extra = rng.Below(3); extra > 0; --extra)
        visit.treatment += kAdvice[(first + extra) % std::size(kAdvice)];
    visit.doctor = std::string(rng.Pick(Words(kDoctors)));
}

}  // namespace clinicdb
