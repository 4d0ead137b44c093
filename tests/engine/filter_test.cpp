// What each kind of filter node means: comparisons, GBK order, nulls, partial and
// case-insensitive text, LIKE, the logic nodes, and the trees that are refused.
#include "base/dates.h"
#include "tests/engine/filter_nodes.h"

namespace dbe_test {
namespace {

constexpr uint16_t kGzdw = 5;
constexpr uint16_t kTxdz = 7;

// Ten days after the first one lies in the next year, so that dates must order as dates.
const int kDay = dates::FromCivil(2024, 12, 25);

class FilterTest : public FilterTestBase {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeBingren();
        cur_ = Open("bingren.DB");
        Insert(cur_, {{kXm, "张三"}, {kXb, "男"}},
               {{kNl, 30}, {kCzrq, kDay}, {kFzyysj, kDay + 10}});
        Insert(cur_, {{kXm, "李四"}, {kXb, "女"}}, {{kNl, 25}, {kCzrq, kDay + 5}});
        Insert(cur_, {{kXm, "王五"}, {kXb, "男"}}, {{kCzrq, kDay + 20}, {kFzyysj, kDay + 10}});
        Insert(cur_, {{kXb, "女"}}, {{kNl, 40}, {kFzyysj, kDay + 3}});
        Insert(cur_, {{kXm, "Anne"}, {kXb, "女"}, {kGzdw, "ABC"}, {kTxdz, "abc"}},
               {{kNl, 30}, {kCzrq, kDay + 1}, {kFzyysj, kDay + 1}});
        Insert(cur_, {{kXm, "anna"}, {kXb, "男"}, {kGzdw, "abc"}, {kTxdz, "abc"}},
               {{kNl, 19}, {kCzrq, kDay + 2}, {kFzyysj, kDay + 1}});
        Insert(cur_, {{kXm, "张三丰"}, {kXb, "男"}}, {{kNl, 60}, {kCzrq, kDay + 30}});
    }

    using FilterTestBase::Only;
    IdList Only(const Nodes& nodes) { return Only(cur_, nodes); }
    // The error entries of adding `nodes`, which must be refused as an invalid parameter.
    std::string Refusal(const Nodes& nodes) {
        EXPECT_EQ(AddCode(cur_, nodes), DBIERR_INVALIDPARAM);
        return Entries();
    }

    hDBICur cur_ = nullptr;
};

TEST_P(FilterTest, IntegersWithEveryOperator) {
    // Id 3 has no age: no comparison holds for it.
    EXPECT_EQ(Only({CompareNumber(kNl, fltopEQ, 30)}), (IdList{1, 5}));
    EXPECT_EQ(Only({CompareNumber(kNl, fltopNE, 30)}), (IdList{2, 4, 6, 7}));
    EXPECT_EQ(Only({CompareNumber(kNl, fltopLT, 30)}), (IdList{2, 6}));
    EXPECT_EQ(Only({CompareNumber(kNl, fltopLE, 30)}), (IdList{1, 2, 5, 6}));
    EXPECT_EQ(Only({CompareNumber(kNl, fltopGT, 30)}), (IdList{4, 7}));
    EXPECT_EQ(Only({CompareNumber(kNl, fltopGE, 30)}), (IdList{1, 4, 5, 7}));
    EXPECT_EQ(Only({CompareNumber(kId, fltopGT, 5)}), (IdList{6, 7}));
}

TEST_P(FilterTest, DatesCompareAsDays) {
    EXPECT_EQ(Only({CompareNumber(kFzyysj, fltopEQ, kDay + 10)}), (IdList{1, 3}));
    EXPECT_EQ(Only({CompareNumber(kFzyysj, fltopLT, kDay + 10)}), (IdList{4, 5, 6}));
    EXPECT_EQ(Only({CompareNumber(kCzrq, fltopGE, kDay + 20)}), (IdList{3, 7}));
    EXPECT_EQ(Only({CompareNumber(kCzrq, fltopLE, kDay + 2)}), (IdList{1, 5, 6}));
}

TEST_P(FilterTest, TextComparesInGbkOrder) {
    // 李 (C0EE) < 王 (CDF5) < 张 (D5C5) in GBK, though 张 comes first in Unicode; Latin first.
    EXPECT_EQ(Only({CompareText(kXm, fltopLT, "王五")}), (IdList{2, 5, 6}));
    EXPECT_EQ(Only({CompareText(kXm, fltopLT, "李四")}), (IdList{5, 6}));
    EXPECT_EQ(Only({CompareText(kXm, fltopGT, "李四")}), (IdList{1, 3, 7}));
    EXPECT_EQ(Only({CompareText(kXm, fltopGE, "张三")}), (IdList{1, 7}));
    EXPECT_EQ(Only({CompareText(kXm, fltopLE, "张")}), (IdList{2, 3, 5, 6}));
    EXPECT_EQ(Only({CompareText(kXm, fltopEQ, "张三")}), (IdList{1}));
    EXPECT_EQ(Only({CompareText(kXm, fltopNE, "张三")}), (IdList{2, 3, 5, 6, 7}));
}

TEST_P(FilterTest, TwoFieldsCompared) {
    EXPECT_EQ(Only({CompareFields(kCzrq, fltopLT, kFzyysj)}), (IdList{1}));
    EXPECT_EQ(Only({CompareFields(kCzrq, fltopEQ, kFzyysj)}), (IdList{5}));
    EXPECT_EQ(Only({CompareFields(kCzrq, fltopGE, kFzyysj)}), (IdList{3, 5, 6}));
    EXPECT_EQ(Only({CompareFields(kGzdw, fltopEQ, kTxdz)}), (IdList{6}));
    DBIFilterNode folded = CompareFields(kGzdw, fltopEQ, kTxdz);
    folded.bCaseInsensitive = 1;
    EXPECT_EQ(Only({folded}), (IdList{5, 6}));
    EXPECT_NE(Refusal({CompareFields(kXm, fltopEQ, kNl)}).find("Filter node 0: fields Xm and Nl"),
              std::string::npos)
        << Entries();
    Refusal({CompareFields(kCzrq, fltopEQ, kNl)});
    Refusal({CompareFields(kXm, fltopEQ, 14)});
}

TEST_P(FilterTest, NullConstantsAndStoredNulls) {
    EXPECT_EQ(Only({CompareNull(kNl, fltopEQ)}), (IdList{3}));
    EXPECT_EQ(Only({CompareNull(kNl, fltopNE)}), (IdList{1, 2, 4, 5, 6, 7}));
    for (uint16_t op : {fltopLT, fltopLE, fltopGT, fltopGE}) {
        EXPECT_EQ(Only({CompareNull(kNl, op)}), IdList{}) << op;
        EXPECT_EQ(Only({CompareNull(kXm, op)}), IdList{}) << op;
    }
    // Empty text is null, as in the files.
    EXPECT_EQ(Only({CompareText(kXm, fltopEQ, "")}), (IdList{4}));
    EXPECT_EQ(Only({CompareNull(kXm, fltopNE)}), (IdList{1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(Only({Leaf(fltISNULL, kFzyysj)}), (IdList{2, 7}));
    EXPECT_EQ(Only({Leaf(fltISNOTNULL, kFzyysj)}), (IdList{1, 3, 4, 5, 6}));
    // A stored null fails every comparison, and NOT of a failed one holds.
    EXPECT_EQ(Only({Not(1), CompareNumber(kNl, fltopEQ, 30)}), (IdList{2, 3, 4, 6, 7}));
    EXPECT_EQ(Only({Not(1), CompareText(kXm, fltopGE, "张")}), (IdList{2, 3, 4, 5, 6}));
}

TEST_P(FilterTest, AndOrNotTrueFalse) {
    EXPECT_EQ(Only({Binary(fltAND, 1, 2), CompareText(kXb, fltopEQ, "男"),
                    CompareNumber(kNl, fltopGT, 20)}),
              (IdList{1, 7}));
    EXPECT_EQ(
        Only({Binary(fltOR, 1, 2), CompareNumber(kNl, fltopLT, 20), Leaf(fltISNULL, kFzyysj)}),
        (IdList{2, 6, 7}));
    // NOT (male OR age < 30) AND TRUE; operands may come in any order after their node.
    EXPECT_EQ(Only({Binary(fltAND, 3, 1), Not(2), Binary(fltOR, 5, 4), Leaf(fltTRUE),
                    CompareNumber(kNl, fltopLT, 30), CompareText(kXb, fltopEQ, "男")}),
              (IdList{4, 5}));
    EXPECT_EQ(Only({Leaf(fltTRUE)}), (IdList{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Only({Leaf(fltFALSE)}), IdList{});
    EXPECT_EQ(Only({Not(1), Leaf(fltFALSE)}), (IdList{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Only({Binary(fltOR, 1, 2), Leaf(fltFALSE), CompareNumber(kId, fltopEQ, 4)}),
              (IdList{4}));
}

TEST_P(FilterTest, PartialTextComparesTheFirstGbkBytes) {
    DBIFilterNode zhang = CompareText(kXm, fltopEQ, "张");
    zhang.iPartialLen = 2;
    EXPECT_EQ(Only({zhang}), (IdList{1, 7}));
    // Both sides are cut: a longer constant compares by its first bytes too.
    DBIFilterNode longer = CompareText(kXm, fltopEQ, "张三丰");
    longer.iPartialLen = 4;
    EXPECT_EQ(Only({longer}), (IdList{1, 7}));
    // A character that the length would split is left out of both sides.
    DBIFilterNode split = CompareText(kXm, fltopEQ, "张三");
    split.iPartialLen = 3;
    EXPECT_EQ(Only({split}), (IdList{1, 7}));
    DBIFilterNode before = CompareText(kXm, fltopLT, "张");
    before.iPartialLen = 2;
    EXPECT_EQ(Only({before}), (IdList{2, 3, 5, 6}));
    DBIFilterNode latin = CompareText(kXm, fltopEQ, "Annex");
    latin.iPartialLen = 3;
    EXPECT_EQ(Only({latin}), (IdList{5}));
    // Fields that are not strings ignore the length.
    DBIFilterNode age = CompareNumber(kNl, fltopEQ, 30);
    age.iPartialLen = 1;
    EXPECT_EQ(Only({age}), (IdList{1, 5}));
}

TEST_P(FilterTest, CaseInsensitiveText) {
    EXPECT_EQ(Only({CompareText(kXm, fltopEQ, "ANNE")}), IdList{});
    DBIFilterNode anne = CompareText(kXm, fltopEQ, "ANNE");
    anne.bCaseInsensitive = 1;
    EXPECT_EQ(Only({anne}), (IdList{5}));
    DBIFilterNode an = CompareText(kXm, fltopEQ, "AN");
    an.bCaseInsensitive = 1;
    an.iPartialLen = 2;
    EXPECT_EQ(Only({an}), (IdList{5, 6}));
    // 'a' (61) sorts after 'B' (42) unless case is ignored.
    EXPECT_EQ(Only({CompareText(kXm, fltopLT, "B")}), (IdList{5}));
    DBIFilterNode b = CompareText(kXm, fltopLT, "B");
    b.bCaseInsensitive = 1;
    EXPECT_EQ(Only({b}), (IdList{5, 6}));
    // Chinese text is unchanged by folding.
    DBIFilterNode li = CompareText(kXm, fltopEQ, "李四");
    li.bCaseInsensitive = 1;
    EXPECT_EQ(Only({li}), (IdList{2}));
}

TEST_P(FilterTest, ConstantsStayData) {
    const char* attack = "x' OR 1=1 --";
    const char* quoted = "\"Xm\" = \"Xm\"; DROP TABLE bingren; --";
    const int32_t x = Insert(cur_, {{kGzdw, attack}});
    EXPECT_EQ(Only({CompareText(kGzdw, fltopEQ, attack)}), (IdList{x}));
    EXPECT_EQ(Only({CompareText(kGzdw, fltopEQ, quoted)}), IdList{});
    EXPECT_EQ(Only({Like(kGzdw, "%' OR '1'='1")}), IdList{});
    EXPECT_EQ(Only({Like(kGzdw, "%' OR 1=1 --")}), (IdList{x}));
    EXPECT_EQ(Only({CompareText(kXm, fltopEQ, "') OR 1=1 OR ('")}), IdList{});
    EXPECT_EQ(Count(cur_), 8u);
}

TEST_P(FilterTest, MalformedTreesAreRefused) {
    EXPECT_NE(Refusal({CompareNumber(0, fltopEQ, 1)}).find("Filter node 0: no field number 0"),
              std::string::npos);
    Refusal({CompareNumber(14, fltopEQ, 1)});
    Refusal({Leaf(fltISNULL, 14)});
    EXPECT_NE(Refusal({Binary(fltAND, 1, 0), Leaf(fltTRUE)}).find("operand 0"), std::string::npos);
    Refusal({Binary(fltAND, 1, 2), Leaf(fltTRUE)});
    Refusal({Not(-1), Leaf(fltTRUE)});
    Refusal({Not(0)});
    // A node shared by two operators would make the tree a graph.
    EXPECT_NE(Refusal({Binary(fltAND, 1, 2), Not(3), Not(3), Leaf(fltTRUE)})
                  .find("Filter node 2: node 3 is the operand of another node too"),
              std::string::npos)
        << Entries();
    Refusal({Binary(fltAND, 1, 1), Leaf(fltTRUE)});
    Refusal({Leaf(0)});
    Refusal({Leaf(42)});
    Refusal({CompareNumber(kNl, 0, 1)});
    Refusal({CompareNumber(kNl, 7, 1)});
    // Constants in the member of their field's kind.
    Refusal({CompareText(kNl, fltopEQ, "30")});
    Refusal({CompareText(kCzrq, fltopEQ, "2024-12-25")});
    Refusal({CompareNumber(kXm, fltopEQ, 1)});
    EXPECT_NE(Refusal({CompareNumber(kCzrq, fltopEQ, -700000)}).find("no date"), std::string::npos);
    Refusal({CompareNumber(kCzrq, fltopEQ, int64_t{1} << 40)});
    Refusal({Like(kNl, "3%")});
    hDBIFilter filter = nullptr;
    EXPECT_EQ(dbeAddFilter(cur_, nullptr, 1, &filter), DBIERR_INVALIDPARAM);
    const DBIFilterNode node = Leaf(fltTRUE);
    EXPECT_EQ(dbeAddFilter(cur_, &node, 1, nullptr), DBIERR_INVALIDPARAM);
    EXPECT_EQ(dbeAddFilter(cur_, &node, 0, &filter), DBIERR_INVALIDPARAM);
    // Nodes that the root does not reach are not read beyond their operands.
    EXPECT_EQ(AddCode(cur_, {Leaf(fltTRUE), Leaf(42)}), DBIERR_NONE) << Entries();
}

// A chain of NOT over TRUE, `levels` deep.
Nodes NotChain(int levels) {
    Nodes nodes;
    for (int i = 1; i < levels; ++i) nodes.push_back(Not(i));
    nodes.push_back(Leaf(fltTRUE));
    return nodes;
}

// AND and OR in turn, leaning right, `levels` deep, over leaves that hold for every name:
// the deepest nesting of parentheses, around the costliest leaves.
Nodes Alternating(int levels) {
    DBIFilterNode leaf = CompareText(kXm, fltopNE, "x");
    leaf.iPartialLen = 4;
    leaf.bCaseInsensitive = 1;
    Nodes nodes;
    for (int i = 0; i + 1 < levels; ++i) {
        const auto at = static_cast<int32_t>(nodes.size());
        nodes.push_back(Binary(i % 2 == 0 ? fltAND : fltOR, at + 1, at + 2));
        nodes.push_back(leaf);
    }
    nodes.push_back(leaf);
    return nodes;
}

TEST_P(FilterTest, NestingUpToTheLimit) {
    EXPECT_EQ(Only(NotChain(20)), IdList{});
    EXPECT_EQ(Only(NotChain(19)), (IdList{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_NE(Refusal(NotChain(21)).find("deeper than 20"), std::string::npos) << Entries();
    Refusal(Alternating(21));
    // At the limit every statement of a ranged cursor on the name index still prepares.
    hDBICur names = Open("bingren.DB", "bingren_xm");
    hDBIRec low = Alloc(names);
    hDBIRec high = Alloc(names);
    Put(names, low, kXm, "Anne");
    Put(names, high, kXm, "张三");
    ASSERT_EQ(dbeSetRange(names, low, high), DBIERR_NONE);
    const hDBIFilter filter = AddFilter(names, Alternating(20));
    EXPECT_EQ(Ids(names), (IdList{5, 6, 2, 3, 1}));
    EXPECT_EQ(Ids(names, false), (IdList{1, 3, 2, 6, 5}));
    EXPECT_EQ(Count(names), 5u);
    EXPECT_EQ(dbeDropFilter(names, filter), DBIERR_NONE);
}

TEST_P(FilterTest, LongRunsOfOneOperatorAreOneLevel) {
    // Id <> 3 AND (Id <> 4 AND (... Id <> 513)), leaning right: 511 comparisons in 1021
    // nodes, beside an OR and under a NOT, which nest it two levels deeper.
    Nodes nodes{Not(1), Binary(fltOR, 2, 3), Leaf(fltFALSE)};
    for (int32_t id = 3; id < 513; ++id) {
        const auto at = static_cast<int32_t>(nodes.size());
        nodes.push_back(Binary(fltAND, at + 1, at + 2));
        nodes.push_back(CompareNumber(kId, fltopNE, id));
    }
    nodes.push_back(CompareNumber(kId, fltopNE, 513));
    ASSERT_EQ(nodes.size(), 1024u);
    EXPECT_EQ(Only(nodes), (IdList{3, 4, 5, 6, 7}));
    nodes.push_back(Leaf(fltTRUE));
    EXPECT_NE(Refusal(nodes).find("1 to 1024 nodes"), std::string::npos) << Entries();
}

TEST_P(FilterTest, LikeOnMemosAndStrings) {
    MakeBingli();
    hDBICur bingli = Open("bingli.DB");
    Insert(bingli, {{kXbs, "左下牙痛三天"}, {kZhsu, "牙痛"}});
    Insert(bingli, {{kXbs, "Tooth ACHE since Monday"}, {kZhsu, "复诊"}});
    Insert(bingli, {{kZhsu, "洗牙"}});
    EXPECT_EQ(Only(bingli, {Like(kXbs, "%牙痛%")}), (IdList{1}));
    EXPECT_EQ(Only(bingli, {Like(kXbs, "_下%")}), (IdList{1}));
    // LIKE ignores the case of ASCII letters, as the query dialect's does.
    EXPECT_EQ(Only(bingli, {Like(kXbs, "%ache%")}), (IdList{2}));
    EXPECT_EQ(Only(bingli, {Like(kZhsu, "%牙%")}), (IdList{1, 3}));
    EXPECT_EQ(Only(bingli, {Not(1), Like(kXbs, "%牙痛%")}), (IdList{2, 3}));
    EXPECT_EQ(Only(bingli, {Like(kXbs, "")}), IdList{});
    EXPECT_EQ(Only(bingli, {Leaf(fltISNULL, kXbs)}), (IdList{3}));
    EXPECT_EQ(Only(bingli, {Leaf(fltISNOTNULL, kXbs)}), (IdList{1, 2}));
    // A memo is compared by nothing but LIKE and the null tests.
    EXPECT_EQ(AddCode(bingli, {CompareText(kXbs, fltopEQ, "牙痛")}), DBIERR_INVALIDPARAM);
    EXPECT_NE(Entries().find("memo Xbs allows only LIKE"), std::string::npos) << Entries();
    EXPECT_EQ(AddCode(bingli, {CompareFields(kZhsu, fltopEQ, kXbs)}), DBIERR_INVALIDPARAM);
    EXPECT_EQ(AddCode(bingli, {CompareNull(kXbs, fltopEQ)}), DBIERR_INVALIDPARAM);
}

ON_BOTH_STORAGES(FilterTest);

}  // namespace
}  // namespace dbe_test
