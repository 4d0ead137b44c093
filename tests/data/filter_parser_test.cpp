// The filter language: tokens, shape, typing of constants and the node array for the engine.
#include "data/filter_parser.h"

#include <array>
#include <string>

#include "base/dates.h"
#include "base/short_date_format.h"
#include "clinic_fixture.h"
#include "data/filter_syntax.h"
#include "data/number_format.h"

namespace {

const TField* FieldNumbered(const TDataSet& dataSet, int fieldNo) {
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        if (dataSet.Fields(i)->FieldNo() == fieldNo) return dataSet.Fields(i);
    }
    return nullptr;
}

// The comparison operators, indexed by their fltop* code.
const std::array<const char*, 7> kOperators{"?", "=", "<>", "<", "<=", ">", ">="};

// A node array written back as text, with the flags of text comparisons in brackets, so that a
// test states the whole tree in one line.
class Renderer {
  public:
    Renderer(const TFilterProgram& program, const TDataSet& dataSet)
        : program_(program), dataSet_(dataSet) {}

    std::string Node(std::size_t at) const {
        const DBIFilterNode& n = program_.nodes.at(at);
        const auto operand = [&](std::int32_t index) {
            return Node(static_cast<std::size_t>(index));
        };
        switch (n.iKind) {
            case fltAND:
                return "(" + operand(n.iLeft) + " AND " + operand(n.iRight) + ")";
            case fltOR:
                return "(" + operand(n.iLeft) + " OR " + operand(n.iRight) + ")";
            case fltNOT:
                return "NOT " + operand(n.iLeft);
            case fltTRUE:
                return "TRUE";
            case fltFALSE:
                return "FALSE";
            case fltISNULL:
                return Name(n.iFldNum) + " IS NULL";
            case fltISNOTNULL:
                return Name(n.iFldNum) + " IS NOT NULL";
            case fltLIKE:
                return Name(n.iFldNum) + " LIKE '" + n.pszConst + "'" + Flags(n);
            case fltCOMPARE:
                return Name(n.iFldNum) + " " + kOperators.at(n.iOperator) + " " + Constant(n) +
                       Flags(n);
            default:
                return "?";
        }
    }

  private:
    std::string Name(int fieldNo) const {
        const TField* field = FieldNumbered(dataSet_, fieldNo);
        return field ? field->FieldName() : std::string("#") + std::to_string(fieldNo);
    }

    std::string Constant(const DBIFilterNode& n) const {
        if (n.iFldNum2) return Name(n.iFldNum2);
        if (n.bConstNull) return "NULL";
        if (n.pszConst) return std::string("'") + n.pszConst + "'";
        const TField* field = FieldNumbered(dataSet_, n.iFldNum);
        if (field && field->DataType() == TFieldType::ftDate) {
            return dates::FormatStoredDate(static_cast<int>(n.iConst));
        }
        return std::to_string(n.iConst);
    }

    static std::string Flags(const DBIFilterNode& n) {
        std::string flags;
        if (n.bCaseInsensitive) flags += " [any case]";
        if (n.iPartialLen) flags += " [first " + std::to_string(n.iPartialLen) + " bytes]";
        return flags;
    }

    const TFilterProgram& program_;
    const TDataSet& dataSet_;
};

// The depth of the tree; operands stand after their node, so one pass forward gives it.
int DepthOf(const TFilterProgram& program) {
    std::vector<int> depth(program.nodes.size(), 1);
    int deepest = 0;
    for (std::size_t i = 0; i < program.nodes.size(); ++i) {
        const DBIFilterNode& n = program.nodes[i];
        if (n.iKind == fltAND || n.iKind == fltOR || n.iKind == fltNOT) {
            depth[static_cast<std::size_t>(n.iLeft)] = depth[i] + 1;
        }
        if (n.iKind == fltAND || n.iKind == fltOR) {
            depth[static_cast<std::size_t>(n.iRight)] = depth[i] + 1;
        }
        deepest = std::max(deepest, depth[i]);
    }
    return deepest;
}

// Every node but the root is the operand of exactly one node before it.
void ExpectATree(const TFilterProgram& program) {
    ASSERT_FALSE(program.nodes.empty());
    std::vector<int> uses(program.nodes.size(), 0);
    for (std::size_t i = 0; i < program.nodes.size(); ++i) {
        const DBIFilterNode& n = program.nodes[i];
        int operands = n.iKind == fltAND || n.iKind == fltOR ? 2 : n.iKind == fltNOT ? 1 : 0;
        for (const std::int32_t operand : {n.iLeft, n.iRight}) {
            if (operands-- <= 0) {
                EXPECT_EQ(operand, 0) << "an unused operand is 0";
                continue;
            }
            ASSERT_GT(operand, static_cast<std::int32_t>(i));
            ASSERT_LT(static_cast<std::size_t>(operand), program.nodes.size());
            ++uses[static_cast<std::size_t>(operand)];
        }
    }
    EXPECT_EQ(uses[0], 0);
    for (std::size_t i = 1; i < uses.size(); ++i) EXPECT_EQ(uses[i], 1) << "node " << i;
}

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

}  // namespace

class FilterParserTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        SetDecimalSeparator('.');
    }

    // The filter on the patients (or another record set) written back as text.
    std::string Parsed(const std::string& text, bool caseInsensitive = false,
                       bool noPartialCompare = false) {
        return ParsedOn(data_->Tablebingren, text, caseInsensitive, noPartialCompare);
    }
    std::string ParsedOn(const TDataSet& dataSet, const std::string& text,
                         bool caseInsensitive = false, bool noPartialCompare = false) {
        const TFilterProgram program =
            ParseFilter(text, dataSet, caseInsensitive, noPartialCompare);
        ExpectATree(program);
        return Renderer(program, dataSet).Node(0);
    }

    // The failure of a filter text as "Class: message".
    std::string Refusal(const std::string& text) { return RefusalOn(data_->Tablebingren, text); }
    std::string RefusalOn(const TDataSet& dataSet, const std::string& text) {
        try {
            ParseFilter(text, dataSet, false, false);
        } catch (const Exception& e) {
            return std::string(e.ClassName()) + ": " + e.Message();
        }
        return "(accepted)";
    }

    std::string Tomorrow() const { return dates::FormatShortDate(dates::Today() + 1); }
};

const char* const kArithmetic = "EDatabaseError: Arithmetic in filter expressions not supported";
const char* const kTerminated = "EDatabaseError: Filter expression incorrectly terminated";
const char* const kMismatch = "EDatabaseError: Type mismatch in expression";

std::string InvalidCharacter(const std::string& named) {
    return "EDatabaseError: Invalid filter expression character: '" + named + "'";
}

// ---- The follow-up filter and the short date format ----

TEST_F(FilterParserTest, TheFollowUpFilterIsOneComparisonWithTomorrow) {
    const TFilterProgram program =
        ParseFilter("Fzyysj =" + Tomorrow(), data_->Tablebingren, false, false);
    ASSERT_EQ(program.nodes.size(), 1u);
    const DBIFilterNode& node = program.nodes[0];
    EXPECT_EQ(node.iKind, fltCOMPARE);
    EXPECT_EQ(node.iOperator, fltopEQ);
    EXPECT_EQ(node.iFldNum, data_->TablebingrenFzyysj->FieldNo());
    EXPECT_EQ(node.iConst, dates::FromCivil(2026, 12, 9));
    EXPECT_EQ(node.pszConst, nullptr);
    EXPECT_EQ(node.bConstNull, 0);
    EXPECT_EQ(node.iFldNum2, 0);
}

TEST_F(FilterParserTest, ADateWithSlashesIsArithmetic) {
    dates::SetShortDateFormat("d/M/yyyy");
    ASSERT_EQ(Tomorrow(), "9/12/2026");
    EXPECT_EQ(Refusal("Fzyysj =" + Tomorrow()), kArithmetic);
}

TEST_F(FilterParserTest, ADateWithDotsNeedsTheDotAsDecimalSeparator) {
    dates::SetShortDateFormat("d.M.yyyy");
    SetDecimalSeparator(',');
    EXPECT_EQ(DecimalSeparator(), ',');
    EXPECT_EQ(Refusal("Fzyysj =" + Tomorrow()), InvalidCharacter("."));
    SetDecimalSeparator('.');
    EXPECT_EQ(Parsed("Fzyysj =" + Tomorrow()), "Fzyysj = 2026-12-09");
}

TEST_F(FilterParserTest, ADateWithSpacesOrMonthNamesIsRefused) {
    EXPECT_EQ(Refusal("Fzyysj =9 Dec 2026"), kTerminated);
    EXPECT_EQ(Refusal("Fzyysj =Dec 9"), "EDatabaseError: Tablebingren: Field 'Dec' not found");
}

TEST_F(FilterParserTest, DateConstantsAreReadInTheShortDateFormat) {
    EXPECT_EQ(Parsed("Fzyysj >= '2026-12-9'"), "Fzyysj >= 2026-12-09");
    EXPECT_EQ(Parsed("Czrq < 12-31"), "Czrq < 2026-12-31") << "a missing year is this year";
    EXPECT_EQ(Refusal("Fzyysj = 'tomorrow'"), "EConvertError: 'tomorrow' is not a valid date");
    EXPECT_EQ(Refusal("Fzyysj > 2026-2-30"), "EConvertError: '2026-2-30' is not a valid date");
    EXPECT_EQ(Refusal("Fzyysj = ''"), "EConvertError: '' is not a valid date");
    // zh_CN and zh_TW, en_US, de_DE: the quoted date as shown, or with the common separators.
    for (const char* pattern : {"yyyy/M/d", "M/d/yyyy", "dd.MM.yyyy"}) {
        dates::SetShortDateFormat(pattern);
        EXPECT_EQ(Parsed("Fzyysj = '" + Tomorrow() + "'"), "Fzyysj = 2026-12-09") << pattern;
    }
    dates::SetShortDateFormat("yyyy/M/d");
    EXPECT_EQ(Parsed("Fzyysj = '2026年12月9日'"), "Fzyysj = 2026-12-09");
    EXPECT_EQ(Parsed("Fzyysj = '2026-12-9'"), "Fzyysj = 2026-12-09");
}

// ---- Typing of constants ----

TEST_F(FilterParserTest, IntegerConstantsAreDecimalIntegers) {
    EXPECT_EQ(Parsed("Nl = 42"), "Nl = 42");
    EXPECT_EQ(Parsed("Id = '12'"), "Id = 12");
    EXPECT_EQ(Parsed("Nl > -3"), "Nl > -3");
    EXPECT_EQ(Parsed("Id = '+7'"), "Id = 7");
    for (const char* bad : {"12a", " 12", "+-3", "3.5", "1E2", "99999999999", "", "-"}) {
        EXPECT_EQ(Refusal("Id = '" + std::string(bad) + "'"),
                  "EConvertError: '" + std::string(bad) + "' is not a valid integer value");
    }
    EXPECT_EQ(Refusal("Nl = 3-2"), "EConvertError: '3-2' is not a valid integer value")
        << "one number literal";
}

TEST_F(FilterParserTest, StringConstantsKeepTheirWholeText) {
    EXPECT_EQ(Parsed("Xm = 'O''Brien'"), "Xm = 'O'Brien'");
    EXPECT_EQ(Parsed("Lxdh = 13800138000"), "Lxdh = '13800138000'");
    EXPECT_EQ(Parsed("Xm = '王小明五六'"), "Xm = '王小明五六'") << "longer than the field";
    EXPECT_EQ(Parsed("Xm = ''"), "Xm = ''");
}

TEST_F(FilterParserTest, ATrailingStarComparesTheBeginning) {
    EXPECT_EQ(Parsed("Xm = '张*'"), "Xm = '张' [first 2 bytes]");
    EXPECT_EQ(Parsed("Xm = '张*'", false, true), "Xm = '张*'") << "no partial compare";
    EXPECT_EQ(Parsed("Xm <> '张*'"), "Xm <> '张*'");
    EXPECT_EQ(Parsed("Xm = '*'"), "Xm IS NOT NULL");
    const std::string huge(70000, 'a');
    EXPECT_EQ(Parsed("Xm = '" + huge + "*'"), "Xm = '" + huge + "'") << "too long to count";
}

TEST_F(FilterParserTest, CaseInsensitivityMarksTextComparisonsOnly) {
    EXPECT_EQ(Parsed("Xm = 'ab' AND Nl = 1 AND Xm LIKE 'a%' AND Xm = Gzdw", true),
              "((Xm = 'ab' [any case] AND Nl = 1) AND (Xm LIKE 'a%' [any case] AND Xm = Gzdw "
              "[any case]))");
}

TEST_F(FilterParserTest, NullIsTheEnginesNullConstant) {
    EXPECT_EQ(Parsed("Xm = NULL"), "Xm = NULL");
    EXPECT_EQ(Parsed("Fzyysj <> null"), "Fzyysj <> NULL");
    EXPECT_EQ(Parsed("Fzyysj IS NULL"), "Fzyysj IS NULL");
    EXPECT_EQ(Parsed("Nl is not null"), "Nl IS NOT NULL");
    for (const char* bad : {"Xm IS", "Xm IS NOT", "Xm IS 1", "Xm IS NOT 'a'"}) {
        EXPECT_EQ(Refusal(bad), kTerminated) << bad;
    }
}

TEST_F(FilterParserTest, FieldsCompareWithFieldsOfTheirKind) {
    EXPECT_EQ(Parsed("Czrq < Fzyysj"), "Czrq < Fzyysj");
    EXPECT_EQ(Parsed("Id <> Nl"), "Id <> Nl");
    EXPECT_EQ(Refusal("Xm = Nl"), kMismatch);
    EXPECT_EQ(Refusal("Czrq = Nl"), kMismatch);
}

TEST_F(FilterParserTest, AConstantOnTheLeftMovesToTheRight) {
    EXPECT_EQ(Parsed("'a' < Xm"), "Xm > 'a'");
    EXPECT_EQ(Parsed("2026-12-9 <= Fzyysj"), "Fzyysj >= 2026-12-09");
    EXPECT_EQ(Parsed("3 = Nl"), "Nl = 3");
    EXPECT_EQ(Parsed("NULL <> Xm"), "Xm <> NULL");
}

// ---- Memos and LIKE ----

TEST_F(FilterParserTest, AMemoIsOnlyMatchedOrTestedForNull) {
    const TDataSet& visits = data_->TableBingli;
    EXPECT_EQ(ParsedOn(visits, "Xbs LIKE '%牙%'"), "Xbs LIKE '%牙%'");
    EXPECT_EQ(ParsedOn(visits, "Zhiliao IS NULL OR Jcsj IS NOT NULL"),
              "(Zhiliao IS NULL OR Jcsj IS NOT NULL)");
    for (const char* bad : {"Xbs = 'a'", "Xbs <> NULL", "'a' = Xbs", "Zhsu = Xbs", "Xbs = Zhsu",
                            "Xbs > 3", "Xbs IN ('a')", "Xbs LIKE Xbs"}) {
        EXPECT_EQ(RefusalOn(visits, bad), kMismatch) << bad;
    }
}

TEST_F(FilterParserTest, LikeMatchesTextFieldsWithALiteral) {
    EXPECT_EQ(Parsed("Xm LIKE '张%'"), "Xm LIKE '张%'");
    EXPECT_EQ(Parsed("Lxdh like 138"), "Lxdh LIKE '138'");
    for (const char* bad : {"Nl LIKE '1%'", "Fzyysj LIKE '2026%'", "Xm LIKE Gzdw", "Xm LIKE NULL",
                            "'a' LIKE Xm", "Xm LIKE TRUE"}) {
        EXPECT_EQ(Refusal(bad), kMismatch) << bad;
    }
}

// ---- Shape ----

TEST_F(FilterParserTest, NotBindsTighterThanAndAndAndTighterThanOr) {
    EXPECT_EQ(Parsed("Xm = 'a' OR Xm = 'b' AND NOT Nl = 3"),
              "(Xm = 'a' OR (Xm = 'b' AND NOT Nl = 3))");
    EXPECT_EQ(Parsed("(Xm = 'a' OR Xm = 'b') AND Nl = 3"), "((Xm = 'a' OR Xm = 'b') AND Nl = 3)");
    EXPECT_EQ(Parsed("NOT (Nl = 1 OR Nl = 2)"), "NOT (Nl = 1 OR Nl = 2)");
    EXPECT_EQ(Parsed("NOT NOT Nl = 3"), "Nl = 3");
    EXPECT_EQ(Parsed("NOT NOT NOT Nl = 3"), "NOT Nl = 3");
    EXPECT_EQ(Parsed("xm = 'a' and not nl = 1 Or TRUE"), "((Xm = 'a' AND NOT Nl = 1) OR TRUE)");
}

TEST_F(FilterParserTest, RunsOfOneOperatorBecomeBalancedTrees) {
    EXPECT_EQ(Parsed("Nl = 1 OR Nl = 2 OR Nl = 3 OR Nl = 4 OR Nl = 5"),
              "(((Nl = 1 OR Nl = 2) OR (Nl = 3 OR Nl = 4)) OR Nl = 5)");
    EXPECT_EQ(Parsed("Nl IN (1, 2, 3)"), "((Nl = 1 OR Nl = 2) OR Nl = 3)");
    EXPECT_EQ(Parsed("Xm IN ('a', NULL, Gzdw)"), "((Xm = 'a' OR Xm = NULL) OR Xm = Gzdw)");
    EXPECT_EQ(Parsed("Nl IN (7)"), "Nl = 7");
}

TEST_F(FilterParserTest, AnEmptyTextLetsEveryRecordPass) {
    for (const char* empty : {"", "  \t\r\n", "/* nothing */", " /**/ /* */ "}) {
        EXPECT_EQ(Parsed(empty), "TRUE") << empty;
    }
}

TEST_F(FilterParserTest, TrueAndFalseAreConditionsOnTheirOwn) {
    EXPECT_EQ(Parsed("True"), "TRUE");
    EXPECT_EQ(Parsed("false OR NOT TRUE"), "(FALSE OR NOT TRUE)");
    for (const char* bad : {"True = Xm", "Xm = FALSE", "Xm", "(Xm)", "1 = 1", "'a'", "NULL",
                            "'a' = NULL", "Nl IS NULL AND 3"}) {
        EXPECT_EQ(Refusal(bad), kMismatch) << bad;
    }
}

TEST_F(FilterParserTest, BracketsHoldAnyName) {
    EXPECT_EQ(Parsed("[Xm] = 'a' AND [nl]=1"), "(Xm = 'a' AND Nl = 1)");
    EXPECT_EQ(Refusal("[like] = 1"), "EDatabaseError: Tablebingren: Field 'like' not found");
    EXPECT_EQ(Refusal("[X m (1)] = 1"), "EDatabaseError: Tablebingren: Field 'X m (1)' not found");
    EXPECT_EQ(Refusal("Xm] = 'a'"), "EDatabaseError: Tablebingren: Field 'Xm]' not found");
    EXPECT_EQ(Refusal("Xm.a[1] = 'a'"), "EDatabaseError: Tablebingren: Field 'Xm.a[1]' not found");
    EXPECT_EQ(Refusal("[Xm = 'a'"), InvalidCharacter("["));
}

TEST_F(FilterParserTest, QuotesAndCommentsMustBeClosed) {
    EXPECT_EQ(Parsed("Xm /* 姓名 */ = /**/'a'"), "Xm = 'a'");
    EXPECT_EQ(Parsed("Xm = 'a /* b */'"), "Xm = 'a /* b */'");
    EXPECT_EQ(Refusal("Xm = 'a' /* open"), InvalidCharacter("/"));
    EXPECT_EQ(Refusal("Xm = 'a"), InvalidCharacter("'"));
    EXPECT_EQ(Refusal("Xm = 'it''s"), InvalidCharacter("'"));
    EXPECT_EQ(Refusal(std::string("Xm = 'a\0b'", 10)), InvalidCharacter("\\x00"));
    EXPECT_EQ(Refusal(std::string("[X\0m] = 1", 9)), InvalidCharacter("\\x00"));
}

TEST_F(FilterParserTest, ArithmeticIsRecognisedAndRefused) {
    for (const char* bad : {"Nl = 1 + 2", "Nl = 2 * 3", "Nl = 6 / 2", "Nl - 1 = 2", "Nl = +3",
                            "(Nl = 1) - 1", "Nl = 1 2", "Xm = 'a' -1", "Nl = NULL - 1"}) {
        EXPECT_EQ(Refusal(bad), kArithmetic) << bad;
    }
}

TEST_F(FilterParserTest, CharactersOutsideTheLanguageAreNamed) {
    EXPECT_EQ(Refusal("Xm != 'a'"), InvalidCharacter("!"));
    EXPECT_EQ(Refusal("Xm = \"a\""), InvalidCharacter("\""));
    EXPECT_EQ(Refusal("Xm = 'a';"), InvalidCharacter(";"));
    EXPECT_EQ(Refusal("Nl = .5"), InvalidCharacter("."));
    EXPECT_EQ(Refusal("Xm LIKE 'a' %"), InvalidCharacter("%"));
    EXPECT_EQ(Refusal("Xm = 'a' \x7F"), InvalidCharacter("\\x7F"));
}

TEST_F(FilterParserTest, EveryOtherMalformedTextIsIncorrectlyTerminated) {
    for (const char* bad : {"Xm =",
                            "(Xm = 'a'",
                            "= 3",
                            "Xm = 'a')",
                            "Xm = 'a' AND",
                            "NOT",
                            "()",
                            "Xm = 'a' OR OR Nl = 1",
                            "AND",
                            ",",
                            "Xm = 'a', Nl = 1",
                            "Xm == 'a'",
                            "Xm = 'a' Xm = 'b'",
                            "Nl IN ()",
                            "Nl IN 1",
                            "Nl IN (1, 2",
                            "Nl IN (1,)",
                            "1 IN (Nl)",
                            "Xm LIKE",
                            "Xm = 'a' NOT"}) {
        EXPECT_EQ(Refusal(bad), kTerminated) << bad;
    }
}

TEST_F(FilterParserTest, FailuresComeInTheOrderOfTheText) {
    EXPECT_EQ(Refusal("Nl = 'x' AND Fzyysj = 'y'"),
              "EConvertError: 'x' is not a valid integer value");
    EXPECT_EQ(Refusal("Nl = 'x' AND Foo = 1"),
              "EDatabaseError: Tablebingren: Field 'Foo' not found")
        << "the whole text is read before any constant is typed";
    EXPECT_EQ(Refusal("Xm = Foo 1"), "EDatabaseError: Tablebingren: Field 'Foo' not found");
    EXPECT_EQ(Refusal("Nl = 'x' )"), kTerminated);
    EXPECT_EQ(Refusal("Xm = 'a' Foo + Bar"), kTerminated)
        << "names after the end are not looked up";
}

// ---- Bytes beyond ASCII ----

TEST_F(FilterParserTest, MultiByteCharactersAreLettersOfNames) {
    EXPECT_EQ(Refusal("姓名 = 'a'"), "EDatabaseError: Tablebingren: Field '姓名' not found");
    EXPECT_EQ(Refusal("_病历号2 = 1"), "EDatabaseError: Tablebingren: Field '_病历号2' not found");
    EXPECT_EQ(Refusal("Xm＝'a'"), "EDatabaseError: Tablebingren: Field 'Xm＝' not found");
    EXPECT_EQ(Parsed("Xm = '😀'"), "Xm = '😀'");
}

TEST_F(FilterParserTest, BytesThatAreNotUtf8AreOutsideTheLanguage) {
    EXPECT_EQ(Refusal("Xm = 'a' \xFF"), InvalidCharacter("\\xFF"));
    EXPECT_EQ(Refusal("\xC0\xAF = 1"), InvalidCharacter("\\xC0")) << "overlong";
    EXPECT_EQ(Refusal("\xED\xA0\x80 = 1"), InvalidCharacter("\\xED")) << "surrogate";
    EXPECT_EQ(Refusal("\xF4\x90\x80\x80 = 1"), InvalidCharacter("\\xF4")) << "above U+10FFFF";
    EXPECT_EQ(Refusal("\x80 = 1"), InvalidCharacter("\\x80")) << "a stray continuation byte";
    EXPECT_EQ(Refusal("Xm = 'a' OR \xE5\xBC"), InvalidCharacter("\\xE5")) << "cut off";
    EXPECT_EQ(Parsed("Xm = '\xFF\xFE'"), "Xm = '\xFF\xFE'") << "a literal holds any bytes";
}

// ---- Size ----

TEST_F(FilterParserTest, HugeTextsParseIntoShallowTrees) {
    const int terms = 100000;
    std::string text = "Nl = 0";
    for (int i = 1; i < terms; ++i) {
        text += i % 3 ? " OR Nl = " : " AND Nl = ";
        text += std::to_string(i);
    }
    const TFilterProgram program = ParseFilter(text, data_->Tablebingren, false, false);
    EXPECT_EQ(program.nodes.size(), 2u * terms - 1);
    EXPECT_LE(DepthOf(program), 40);
    ExpectATree(program);

    std::string list = "Nl IN (0";
    for (int i = 1; i < terms; ++i) {
        list += ',';
        list += std::to_string(i);
    }
    const TFilterProgram in = ParseFilter(list + ")", data_->Tablebingren, false, false);
    EXPECT_EQ(in.nodes.size(), 2u * terms - 1);
    EXPECT_LE(DepthOf(in), 18);
}

TEST_F(FilterParserTest, ParenthesesNestOnlySoDeep) {
    const auto nested = [](int depth) {
        return Repeated("(", depth) + "Nl = 1" + Repeated(")", depth);
    };
    EXPECT_EQ(Parsed(nested(kMaxFilterNesting)), "Nl = 1");
    EXPECT_EQ(Refusal(nested(kMaxFilterNesting + 1)), InvalidCharacter("("));
    EXPECT_EQ(Refusal(Repeated("(", 100000)), InvalidCharacter("("));
    EXPECT_EQ(Refusal(Repeated("NOT (", 100000)), InvalidCharacter("("));
}

TEST_F(FilterParserTest, LongRunsOfAnythingAreHandled) {
    EXPECT_EQ(Parsed(Repeated("NOT ", 100001) + "Nl = 1"), "NOT Nl = 1");
    EXPECT_EQ(Parsed(std::string(1000000, ' ') + "Nl = 1"), "Nl = 1");
    EXPECT_EQ(Parsed(Repeated("/**/", 100000)), "TRUE");
    const std::string literal(1000000, 'x');
    EXPECT_EQ(Parsed("Xm LIKE '" + literal + "'"), "Xm LIKE '" + literal + "'");
    EXPECT_EQ(Refusal(Repeated("1 ", 100000)), kArithmetic) << "a digit after a value";
    EXPECT_EQ(Refusal(std::string(100001, '\'')), InvalidCharacter("'"));
    EXPECT_EQ(Refusal(std::string(100000, ')')), kTerminated);
}
