// The name search read through the character index answers exactly the rows, in exactly the
// order, that a scan of the patients answers, for any search text; so does the pinyin search
// through its index; and both indexes keep agreeing with the table through inserts, edits,
// deletes and posts that fail. On a server the same searches answer what the server's own scan
// answers of a copy of the same patients.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/dates.h"
#include "base/gbk_text.h"
#include "base/pinyin.h"
#include "clinic_fixture.h"
#include "data/clinic_record_sets.h"
#include "engine/sqlitekit/character_index.h"
#include "tests/engine/pg/cluster.h"
#include "tools/demo_loader.h"
#include "tools/password_source.h"
#include "tools/server_copy.h"

namespace {

constexpr int kPatients = 20'000;

// The characters of a UTF-8 text, one string each.
std::vector<std::string> Characters(const std::string& text) {
    const std::vector<std::string_view> characters = gbk::Characters(text);
    return {characters.begin(), characters.end()};
}

class NameSearch : public ::testing::TestWithParam<pgkit_test::Storage> {
  protected:
    static void SetUpTestSuite() {
        root_ = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                          ("clinic-name-search-" + std::to_string(getpid())));
        std::filesystem::remove_all(*root_);
        std::filesystem::create_directories(Dir());
        clinicdb::LoadDemo(Dir(), {kPatients, dates::FromCivil(2026, 12, 8), 7});
    }
    static void TearDownTestSuite() {
        std::filesystem::remove_all(*root_);
        delete root_;
    }
    static std::filesystem::path Dir() { return *root_ / "d" / "qorvyna" / "bingli"; }

    void SetUp() override {
        setenv("DBENGINE_ROOT", root_->c_str(), 1);
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        if (test->value_param() != nullptr && GetParam() == pgkit_test::Storage::kServer) {
            server_ =
                std::make_unique<pgkit_test::TestSchema>(kClinicDatabase, *root_ / "dbengine.conf");
            std::istringstream none;
            clinicdb::LinePasswords passwords(none);
            clinicdb::TableOpener tables(passwords);
            clinicdb::PushDirectory(Dir(), tables, server_->Session());
        }
        data_.Open();
        scan_ = sqlitekit::Connection::Open(Dir() / "bingren.DB", SQLITE_OPEN_READWRITE);
    }

    // The Ids that the main window's query answers, in its order.
    std::vector<std::int64_t> Searched(const std::string& condition) {
        TQuery& query = data_.Queryczxm;
        query.Close();
        query.SetSQL(
            {"SELECT Id, Xm, Xb, Nl, Gzdw, Lxdh FROM bingren.DB WHERE", condition, " ORDER BY Xm"});
        query.Open();
        std::vector<std::int64_t> ids;
        for (query.First(); !query.Eof(); query.Next())
            ids.push_back(data_.QueryczxmId->AsInteger());
        EXPECT_EQ(query.RecordCount(), static_cast<int>(ids.size())) << condition;
        return ids;
    }

    // The ids that the pinyin search answers, in its order.
    std::vector<std::int64_t> SearchedByPinyin(const std::string& letters) {
        return Searched("  Xm PINYIN '" + letters + "'");
    }

    // The same from every name in name order, through the matcher itself.
    std::vector<std::int64_t> MatchedByPinyin(const std::string& letters) {
        sqlitekit::Statement rows(scan_.Handle(),
                                  "SELECT Id, Xm FROM bingren WHERE Xm IS NOT NULL "
                                  "ORDER BY Xm COLLATE GBK, Id");
        std::vector<std::int64_t> ids;
        while (rows.Step()) {
            if (pinyin::Matches(rows.ColumnText(1), letters)) ids.push_back(rows.ColumnInt(0));
        }
        return ids;
    }

    // The same, by scanning the table; on a server, with its spelling of the engine's LIKE.
    std::vector<std::int64_t> Scanned(const std::string& value, const std::string& op = "LIKE") {
        if (server_)
            return ScannedOnServer(value, op == "LIKE" ? "xm ILIKE $1 ESCAPE ''" : "xm = $1");
        sqlitekit::Statement scan(scan_.Handle(), "SELECT Id FROM bingren WHERE Xm " + op +
                                                      " ? ORDER BY Xm COLLATE GBK, Id");
        scan.BindText(1, value);
        std::vector<std::int64_t> ids;
        while (scan.Step()) ids.push_back(scan.ColumnInt(0));
        return ids;
    }

    std::vector<std::int64_t> ScannedOnServer(const std::string& value, const std::string& test) {
        const pgkit::Result rows = server_->Session().Query(
            "SELECT id FROM bingren WHERE " + test + " ORDER BY gbk_key(xm), id", {value});
        std::vector<std::int64_t> ids;
        for (int row = 0; row < rows.Rows(); ++row) ids.push_back(rows.Int(row, 0));
        return ids;
    }

    std::vector<std::string> Names() {
        sqlitekit::Statement names(scan_.Handle(), "SELECT Xm FROM bingren WHERE Xm IS NOT NULL");
        std::vector<std::string> all;
        while (names.Step()) all.emplace_back(names.ColumnText(0));
        return all;
    }

    // Search texts as the staff type them: single characters, pairs, pieces and whole names,
    // characters of two names, Latin letters either case, digits, and the LIKE wildcards.
    std::vector<std::string> Texts(int count) {
        const std::vector<std::string> names = Names();
        std::vector<std::string> texts = {"", "%", "_", "__", "a", "A", "an", "NA", "1", "z%a"};
        const auto pick = [&](std::size_t n) {
            return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
        };
        while (static_cast<int>(texts.size()) < count) {
            const std::vector<std::string> name = Characters(names[pick(names.size())]);
            const std::vector<std::string> other = Characters(names[pick(names.size())]);
            const std::size_t from = pick(name.size());
            const std::size_t length = 1 + pick(name.size() - from);
            std::string piece;
            for (std::size_t i = from; i < from + length; ++i) piece += name[i];
            switch (pick(5)) {
                case 0:
                    texts.push_back(name[from]);
                    break;
                case 1:
                    texts.push_back(piece);
                    break;
                case 2:
                    texts.push_back(name[from] + other[pick(other.size())]);
                    break;
                case 3:
                    texts.push_back(name[from] + (pick(2) ? "_" : "%") + other[pick(other.size())]);
                    break;
                default:
                    texts.push_back("_" + piece);
            }
        }
        return texts;
    }

    // The Ids that a filter shows of the patients table, in Id order.
    std::vector<std::int64_t> Filtered(const std::string& filter) {
        TTable& patients = data_.Tablebingren;
        patients.SetFilter(filter);
        patients.SetFiltered(true);
        std::vector<std::int64_t> ids;
        for (patients.First(); !patients.Eof(); patients.Next())
            ids.push_back(data_.TablebingrenId->AsInteger());
        patients.SetFiltered(false);
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    void ExpectSameAnswers(int texts) {
        // Containing the text; for a fifth of them beginning with it, and for a tenth the
        // patients table filtered by the name beginning with it, or equal to it.
        const std::vector<std::string> names = Names();
        int i = 0;
        for (const std::string& text : Texts(texts)) {
            std::vector<std::string> patterns = {"%" + text + "%"};
            if (i % 5 == 0) patterns.push_back(text + "%");
            for (const std::string& pattern : patterns)
                ASSERT_EQ(Searched("  Xm LIKE '" + pattern + "'"), Scanned(pattern)) << pattern;
            if (i++ % 10 == 0) {
                std::vector<std::int64_t> beginning = Scanned(text + "%");
                std::sort(beginning.begin(), beginning.end());
                ASSERT_EQ(Filtered("Xm LIKE '" + text + "%'"), beginning) << text;
                const std::string& name = names[random_() % names.size()];
                std::vector<std::int64_t> equal = Scanned(name, "=");
                std::sort(equal.begin(), equal.end());
                ASSERT_EQ(Filtered("Xm = '" + name + "'"), equal) << name;
            }
        }
    }

    static std::filesystem::path* root_;
    std::unique_ptr<pgkit_test::TestSchema> server_;  // on the server only
    ClinicRecordSets data_;
    sqlitekit::Connection scan_;
    std::mt19937 random_{2026};
};

std::filesystem::path* NameSearch::root_ = nullptr;

TEST_P(NameSearch, AnswersExactlyWhatAScanAnswers) {
    for (const char* name :
         {"Anna", "ZHANG San", "li na", "王a", "100%", "a_b", "王王", "林小林"}) {
        data_.Tablebingren.Append();
        data_.TablebingrenXm->SetAsString(name);
        data_.Tablebingren.Post();
    }
    // Each search costs the server more round trips: a sample tries its arms' order and paging.
    ExpectSameAnswers(server_ ? 100 : 1000);
}

// Initials, syllables and mixes of the names' readings, and letters at random, either case.
// The server's copy holds the same names as the file.
TEST_P(NameSearch, PinyinAnswersExactlyWhatTheMatcherAnswersOverEveryName) {
    const std::vector<std::string> names = Names();
    // The Kelvin sign lowers to a Latin k in Unicode, but not as the staff's letters.
    std::vector<std::string> texts = {"a", "zz", "ZS", "xq", "zhang s", "\u212A"};
    for (int i = 0; i < (server_ ? 4 : 20); ++i) {
        const std::vector<std::string> name = Characters(names[random_() % names.size()]);
        std::string initials, syllables, mixed;
        for (std::size_t c = random_() % name.size(); c < name.size(); ++c) {
            const std::vector<std::string> readings = pinyin::Readings(name[c]);
            if (readings.empty()) break;
            const std::string& reading = readings[random_() % readings.size()];
            initials += reading[0];
            syllables += reading;
            mixed += c % 2 ? reading.substr(0, 1) : reading;
        }
        texts.insert(texts.end(), {initials, syllables, mixed});
        texts.push_back(
            {static_cast<char>('a' + random_() % 26), static_cast<char>('a' + random_() % 26)});
    }
    for (const std::string& letters : texts) {
        if (letters.empty()) continue;
        const std::vector<std::int64_t> matched = MatchedByPinyin(letters);
        ASSERT_EQ(SearchedByPinyin(letters), matched) << letters;
        // Scans and filters on the server use its own matcher.
        if (server_) {
            ASSERT_EQ(ScannedOnServer(letters, "pinyin_match(xm, $1)"), matched) << letters;
        }
    }
}

TEST_F(NameSearch, TheIndexAgreesWithTheTableThroughEveryWrite) {
    // A post that the file refuses after the row and its index entries were written.
    scan_.Exec(
        "CREATE TRIGGER refuse AFTER INSERT ON bingren WHEN NEW.Xm = '拒绝' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    const std::vector<std::string> names = Names();
    TTable& patients = data_.Tablebingren;
    for (int i = 0; i < 200; ++i) {
        const std::string name = Characters(names[random_() % names.size()])[0] +
                                 Characters(names[random_() % names.size()]).back();
        switch (random_() % 5) {
            case 0:
                patients.Append();
                data_.TablebingrenXm->SetAsString(name);
                patients.Post();
                break;
            case 1:
                patients.Append();
                data_.TablebingrenXm->SetAsString("拒绝");
                EXPECT_ANY_THROW(patients.Post());
                patients.Cancel();
                break;
            case 2:
                patients.MoveBy(static_cast<int>(random_() % 50));
                patients.Delete();
                break;
            case 3:
                patients.MoveBy(static_cast<int>(random_() % 50));
                patients.Edit();
                data_.TablebingrenXm->SetAsString(name);
                if (i % 2) {
                    patients.Post();
                } else {
                    patients.Cancel();
                }
                break;
            default:
                patients.MoveBy(-static_cast<int>(random_() % 50));
                patients.Edit();
                data_.TablebingrenXm->Clear();
                patients.Post();
        }
    }
    for (auto keys :
         {sqlitekit::CharacterIndex::Keys::kCharacters, sqlitekit::CharacterIndex::Keys::kPinyin}) {
        EXPECT_EQ(
            sqlitekit::CharacterIndex({"bingren", "Xm", keys}).Disagreements(scan_.Handle(), 8), 0);
    }
    ExpectSameAnswers(200);
}

ON_BOTH_STORAGES(NameSearch);

}  // namespace
