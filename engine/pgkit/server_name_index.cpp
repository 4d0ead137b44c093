#include "engine/pgkit/server_name_index.h"

#include <unicode/utf8.h>

#include <utility>

#include "base/pinyin.h"
#include "engine/pgkit/server_layout.h"

namespace pgkit {

namespace {

// Keys() and Matches() of base/pinyin.h over the readings table; a character without readings
// has '' and ends a run of initials. Matches() is a regular expression over the name's reading
// text, "/" and the readings of each character ("/zhang chang/san"): each typed letter either
// follows the one before in the same reading, or begins a reading of the next character.
// pinyin_pattern is plpgsql, compiled once a session: the planner works it out for every
// statement, and parsed a SQL function's body each time.
constexpr const char* kPinyinSql = R"sql(
SELECT pg_advisory_xact_lock(hashtext('dbengine pinyin'));
CREATE TABLE IF NOT EXISTS dbengine_readings (ch text PRIMARY KEY, readings text NOT NULL);
CREATE OR REPLACE FUNCTION dbengine_readings_of(ch text) RETURNS text
    LANGUAGE sql STABLE PARALLEL SAFE SET search_path FROM CURRENT AS $$
    SELECT CASE WHEN ch ~ '^[A-Za-z0-9]$' THEN lower(ch)
                ELSE coalesce((SELECT readings FROM dbengine_readings r WHERE r.ch = $1), '')
           END $$;
CREATE OR REPLACE FUNCTION dbengine_characters(value text, most integer) RETURNS SETOF text
    LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
    SELECT DISTINCT CASE WHEN c ~ '^[A-Za-z]$' THEN lower(c) ELSE c END
    FROM unnest(regexp_split_to_array(left(value, most), '')) WITH ORDINALITY AS t(c, i)
    WHERE i > 1 OR ascii(c) < 128 $$;
CREATE OR REPLACE FUNCTION dbengine_pinyin_keys(name text) RETURNS SETOF text
    LANGUAGE plpgsql STABLE PARALLEL SAFE SET search_path FROM CURRENT AS $$
DECLARE
    readings text[] := ARRAY(SELECT dbengine_readings_of(c)
                             FROM unnest(regexp_split_to_array(name, '')) AS c);
    n integer := cardinality(readings);
BEGIN
    FOR i IN 1 .. n LOOP
        CONTINUE WHEN readings[i] = '';
        RETURN QUERY SELECT unnest(string_to_array(readings[i], ' '));
        CONTINUE WHEN i = n OR readings[i + 1] = '';
        RETURN QUERY
            SELECT ':' || left(a, 1) || left(b, 1) || left(c, 1)
            FROM unnest(string_to_array(readings[i], ' ')) a,
                 unnest(string_to_array(readings[i + 1], ' ')) b,
                 unnest(CASE WHEN i + 2 <= n AND readings[i + 2] <> ''
                             THEN string_to_array(readings[i + 2], ' ') ELSE ARRAY['$'] END) c;
    END LOOP;
END $$;
CREATE OR REPLACE FUNCTION dbengine_reading_text(name text) RETURNS text
    LANGUAGE sql STABLE PARALLEL SAFE SET search_path FROM CURRENT AS $$
    SELECT string_agg('/' || CASE WHEN c ~ '^[A-Za-z0-9]$' THEN lower(c) ELSE coalesce(
               (SELECT readings FROM dbengine_readings r WHERE r.ch = c), '') END, '' ORDER BY i)
    FROM unnest(string_to_array(name, NULL)) WITH ORDINALITY AS t(c, i) $$;
CREATE OR REPLACE FUNCTION pinyin_pattern(typed text) RETURNS text
    LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
    t text := translate(typed, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz');
BEGIN
    IF t !~ '^[a-z0-9]+$' THEN RETURN NULL; END IF;
    RETURN '/(?:[^/ ]* )*' || left(t, 1) ||
           regexp_replace(substr(t, 2), '(.)', '(?:[^/]*/(?:[^/ ]* )*)?\1', 'g');
END $$;
CREATE OR REPLACE FUNCTION pinyin_match(name text, typed text) RETURNS boolean
    LANGUAGE sql STABLE PARALLEL SAFE COST 1000 SET search_path FROM CURRENT AS $$
    SELECT coalesce(dbengine_reading_text(name) ~ pinyin_pattern(typed), false) $$;
)sql";

// The code points whose readings the server keeps: the CJK ideographs of the basic plane.
constexpr std::pair<UChar32, UChar32> kHanRanges[] = {
    {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xF900, 0xFAFF}};

std::string Utf8(UChar32 c) {
    char bytes[U8_MAX_LENGTH];
    std::int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, c);
    return std::string(bytes, length);
}

// `texts` as an array constant for a text[] parameter.
std::string ArrayText(const std::vector<std::string>& texts) {
    std::string array = "{";
    for (const std::string& text : texts) {
        array += array.size() > 1 ? ",\"" : "\"";
        for (char c : text) {
            if (c == '"' || c == '\\') array += '\\';
            array += c;
        }
        array += '"';
    }
    return array + "}";
}

void FillReadings(Connection& connection) {
    if (connection.Query("SELECT EXISTS (SELECT 1 FROM dbengine_readings)").Text(0, 0) == "t") {
        return;
    }
    std::vector<std::string> characters, readings;
    for (const auto& [first, last] : kHanRanges) {
        for (UChar32 c = first; c <= last; ++c) {
            const std::string character = Utf8(c);
            std::string joined;
            for (const std::string& reading : pinyin::Readings(character)) {
                joined += (joined.empty() ? "" : " ") + reading;
            }
            if (joined.empty()) continue;
            characters.push_back(character);
            readings.push_back(joined);
        }
    }
    connection.Query(
        "INSERT INTO dbengine_readings SELECT * FROM unnest($1::text[], $2::text[]) "
        "ON CONFLICT DO NOTHING",
        {ArrayText(characters), ArrayText(readings)});
}

}  // namespace

std::string NameIndexTable(const std::string& table, const std::string& column, bool pinyin) {
    return table + "_" + column + (pinyin ? "_pinyin" : "_chars");
}

void InstallPinyin(Connection& connection) {
    Transaction transaction(connection);
    connection.Exec(kPinyinSql);
    FillReadings(connection);
    transaction.Commit();
}

std::string NameIndexColumns(bool pinyin) {
    return pinyin ? "ch, ch_id, ch_key, ch_readings" : "ch, ch_id, ch_key";
}

std::string NameIndexEntries(const std::string& rows, const std::string& id,
                             const std::string& value, int maxCharacters, bool pinyin) {
    const std::string from = rows.empty() ? " FROM " : " FROM " + rows + ", ";
    if (!pinyin) {
        return "SELECT DISTINCT k, " + id + ", " + value + from + "dbengine_characters(" + value +
               ", " + std::to_string(maxCharacters) + ") k";
    }
    // The reading text once a row, not once a key.
    return "SELECT DISTINCT k, " + id + ", " + value + ", r" + from + "dbengine_reading_text(" +
           value + ") r, dbengine_pinyin_keys(" + value + ") k";
}

void CreateNameIndex(Connection& connection, const std::string& table, const std::string& column,
                     int maxCharacters) {
    const std::string t = QuoteIdentifier(connection, table);
    const std::string c = QuoteIdentifier(connection, column);
    const std::string keep = QuoteIdentifier(connection, table + "_" + column + "_index");
    // ch_key is the value: a key's entries read in the values' GBK order, and a pattern is tried
    // on them, through the index alone; so are the letters on ch_readings.
    std::string tables, removals, entries;
    for (const bool pinyin : {false, true}) {
        const std::string index =
            QuoteIdentifier(connection, NameIndexTable(table, column, pinyin));
        tables += "CREATE TABLE " + index +
                  " (ch text NOT NULL, ch_id bigint NOT NULL, ch_key text" +
                  (pinyin ? ", ch_readings text" : "") + ");\n" + "INSERT INTO " + index + " " +
                  NameIndexEntries(t, "id", c, maxCharacters, pinyin) + ";\n" + "CREATE INDEX ON " +
                  index + " (ch, gbk_key(ch_key), ch_id) INCLUDE (" +
                  (pinyin ? "ch_key, ch_readings" : "ch_key") + ");\n" + "CREATE INDEX ON " +
                  index + " (ch_id);\n" +
                  // Else the planner tries each pattern on a sample of reading texts, for an
                  // estimate that changes no plan.
                  (pinyin ? "ALTER TABLE " + index + " ALTER ch_readings SET STATISTICS 0;\n" : "");
        removals += "        DELETE FROM " + index + " WHERE ch_id = OLD.id;\n";
        entries += "        INSERT INTO " + index + " " +
                   NameIndexEntries("", "NEW.id", "NEW." + c, maxCharacters, pinyin) + ";\n";
    }
    connection.Exec(tables + "CREATE FUNCTION " + keep +
                    "() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$\n"
                    "BEGIN\n"
                    "    IF TG_OP <> 'INSERT' THEN\n" +
                    removals +
                    "    END IF;\n"
                    "    IF TG_OP <> 'DELETE' THEN\n" +
                    entries +
                    "    END IF;\n"
                    "    RETURN NULL;\nEND $$;\n"
                    "CREATE TRIGGER " +
                    keep + " AFTER INSERT OR DELETE OR UPDATE OF " + c + ", id ON " + t +
                    " FOR EACH ROW EXECUTE FUNCTION " + keep + "();\n");
}

}  // namespace pgkit
