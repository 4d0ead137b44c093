// The query dialect: the clinic's statements, GBK order, and what is refused.
#include "tests/engine/engine_fixture.h"

namespace dbe_test {
namespace {

class QueryTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeBingren();
        table_ = Open("bingren.DB");
        for (const char* name : {"张三", "李四", "", "王五", "Anne", "张三"}) {
            Insert(table_, {{kXm, name}, {kXb, "男"}});
        }
    }

    // Runs `text` and answers the answer cursor, or nullptr with the code in `code`.
    hDBICur Run(const std::string& text, DBIResult* code = nullptr) {
        hDBIStmt stmt = nullptr;
        hDBICur answer = nullptr;
        DBIResult result = dbeQPrepare(db_, text.c_str(), &stmt);
        if (result == DBIERR_NONE) {
            result = dbeQExec(stmt, &answer);
            dbeQFree(stmt);
        }
        if (code != nullptr) *code = result;
        if (answer != nullptr) cursors_.push_back(answer);
        return answer;
    }
    std::string Error(const std::string& text, DBIResult expected) {
        DBIResult code = 0;
        EXPECT_EQ(Run(text, &code), nullptr);
        EXPECT_EQ(code, expected) << text;
        return Entries();
    }
    // The answer's second field (the name) for every record, in order.
    std::vector<std::string> Names(hDBICur answer) {
        hDBIRec rec = Alloc(answer);
        std::vector<std::string> names;
        while (dbeGetNextRecord(answer, dbiNOLOCK, rec) == DBIERR_NONE) {
            names.push_back(Text(answer, rec, 2));
        }
        return names;
    }

    hDBICur table_ = nullptr;
};

using Names_ = std::vector<std::string>;

TEST_P(QueryTest, EveryNamedPatientInGbkOrder) {
    hDBICur answer =
        Run("SELECT Id, Xm, Xb, Nl, Gzdw, Lxdh\nFROM bingren.DB\nWHERE  Xm LIKE Xm \nORDER BY Xm");
    ASSERT_NE(answer, nullptr) << Entries();
    // 李 (C0EE) sorts before 王 (CDF5) and 张 (D5C5); Latin letters come first.
    EXPECT_EQ(Names(answer), (Names_{"Anne", "李四", "王五", "张三", "张三"}));
    CURProps props{};
    ASSERT_EQ(dbeGetCursorProps(answer, &props), DBIERR_NONE);
    EXPECT_EQ(props.iFields, 6);
    EXPECT_TRUE(props.bReadOnly);
    EXPECT_STREQ(props.szName, "");
    FLDDesc descs[6];
    ASSERT_EQ(dbeGetFieldDescs(answer, descs), DBIERR_NONE);
    EXPECT_EQ(descs[0].iSubType, fldstAUTOINC);
    EXPECT_STREQ(descs[5].szName, "Lxdh");
    EXPECT_EQ(descs[5].iFldNum, 6);
    uint32_t count = 0;
    ASSERT_EQ(dbeGetExactRecordCount(answer, &count), DBIERR_NONE);
    EXPECT_EQ(count, 5u);
}

TEST_P(QueryTest, LikeALiteral) {
    hDBICur answer = Run(
        "SELECT Id, Xm, Xb, Nl, Gzdw, Lxdh FROM bingren.DB WHERE\n  Xm LIKE '%张%'\n ORDER BY Xm");
    ASSERT_NE(answer, nullptr) << Entries();
    EXPECT_EQ(Names(answer), (Names_{"张三", "张三"}));
    hDBIRec rec = Alloc(answer);
    ASSERT_EQ(dbeSetToEnd(answer), DBIERR_NONE);
    ASSERT_EQ(dbeGetPriorRecord(answer, rec), DBIERR_NONE);
    EXPECT_EQ(Int(answer, rec, 1), 6);  // equal names in record order
}

// Initials, syllables or a mix, from any character, in the order asked for; a field or an
// empty text is no pinyin.
TEST_P(QueryTest, PinyinOfTheNames) {
    Insert(table_, {{kXm, "张三丰"}});
    Insert(table_, {{kXm, "曾伟"}});
    const auto pinyin = [&](const std::string& letters) {
        hDBICur answer =
            Run("SELECT Id, Xm FROM bingren.DB WHERE Xm PINYIN '" + letters + "' ORDER BY Xm");
        EXPECT_NE(answer, nullptr) << Entries();
        return answer ? Names(answer) : Names_{};
    };
    EXPECT_EQ(pinyin("zs"), (Names_{"张三", "张三", "张三丰"}));
    EXPECT_EQ(pinyin("ZhangS"), (Names_{"张三", "张三", "张三丰"}));
    EXPECT_EQ(pinyin("sanf"), (Names_{"张三丰"}));
    EXPECT_EQ(pinyin("zw"), (Names_{"曾伟"})) << "曾 read as a surname";
    EXPECT_EQ(pinyin("ls"), (Names_{"李四"}));
    EXPECT_EQ(pinyin("an"), (Names_{"Anne"})) << "Latin letters read as themselves";
    EXPECT_EQ(pinyin("zx"), Names_{});
    EXPECT_EQ(pinyin(""), Names_{});
    EXPECT_NE(Error("SELECT Xm FROM bingren.DB WHERE Xm PINYIN Xm", DBIERR_QRYSYNTAX)
                  .find("expected a quoted literal"),
              std::string::npos);
}

TEST_P(QueryTest, AnswerSeesTheTablesWrites) {
    hDBICur answer = Run("select Id, Xm from BINGREN.db where Xm like 'A%'");
    ASSERT_NE(answer, nullptr) << Entries();
    EXPECT_EQ(Names(answer), (Names_{"Anne"}));
    Insert(table_, {{kXm, "Adam"}});
    EXPECT_EQ(Names(answer), Names_{});  // still at the end
    ASSERT_EQ(dbeSetToBegin(answer), DBIERR_NONE);
    EXPECT_EQ(Names(answer), (Names_{"Anne", "Adam"}));
}

TEST_P(QueryTest, LiteralWithDoubledQuote) {
    Insert(table_, {{kXm, "O'Brien"}});
    hDBICur answer = Run("SELECT Id, Xm FROM bingren WHERE Xm LIKE '%''%'");
    ASSERT_NE(answer, nullptr) << Entries();
    EXPECT_EQ(Names(answer), (Names_{"O'Brien"}));
}

TEST_P(QueryTest, SyntaxErrorsSayWhatWasExpectedAndWhere) {
    EXPECT_NE(Error("SELECT Id, Xm FROM bingren.DB WHERE Xm LIKE '%O'Brien%'", DBIERR_QRYSYNTAX)
                  .find("near 'Brien%''"),
              std::string::npos)
        << Entries();
    EXPECT_NE(Error("SELECT Xm FROM bingren.DB WHERE Xm LIKE 'abc", DBIERR_QRYSYNTAX)
                  .find("Invalid query syntax near ''abc': unterminated literal"),
              std::string::npos)
        << Entries();
    EXPECT_NE(Error("SELECT Xm bingren.DB", DBIERR_QRYSYNTAX).find("expected FROM"),
              std::string::npos);
    EXPECT_NE(Error("SELECT Xm FROM", DBIERR_QRYSYNTAX).find("at end of text"), std::string::npos);
    Error("SELECT * FROM bingren.DB", DBIERR_QRYSYNTAX);
    Error("SELECT Xm FROM bingren.DB; DROP TABLE bingren", DBIERR_QRYSYNTAX);
    Error("SELECT Xm FROM bingren.DB WHERE Xm = 'a'", DBIERR_QRYSYNTAX);
    EXPECT_NE(Error("SELECT Xm FROM bingren.DB WHERE Xm GLOB 'a'", DBIERR_QRYSYNTAX)
                  .find("expected LIKE or PINYIN"),
              std::string::npos);
    Error("SELECT Xm FROM bingren.DB ORDER Xm", DBIERR_QRYSYNTAX);
    // Nothing ran: the table is whole.
    uint32_t count = 0;
    ASSERT_EQ(dbeGetExactRecordCount(table_, &count), DBIERR_NONE);
    EXPECT_EQ(count, 6u);
}

TEST_P(QueryTest, UnknownNames) {
    EXPECT_NE(Error("SELECT Xm FROM nobody.DB", DBIERR_QRYNOTABLE).find("nobody.DB"),
              std::string::npos);
    EXPECT_NE(Error("SELECT Xm, Age FROM bingren.DB", DBIERR_QRYNOFIELD).find("Field: Age"),
              std::string::npos);
    EXPECT_NE(
        Error("SELECT Xm FROM bingren.DB WHERE Xx LIKE 'a'", DBIERR_QRYNOFIELD).find("Field: Xx"),
        std::string::npos);
    EXPECT_NE(
        Error("SELECT Xm FROM bingren.DB ORDER BY Xm, Id", DBIERR_NOTSUPPORTED).find("one field"),
        std::string::npos);
}

ON_BOTH_STORAGES(QueryTest);

}  // namespace
}  // namespace dbe_test
