#include "tools/recall.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/clinic_tables.h"
#include "base/dates.h"
#include "base/durable_files.h"
#include "engine/sqlitekit/sqlite_support.h"
#include "tools/database_summary.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

using sqlitekit::Statement;
using Row = std::vector<std::string>;

// What Sfylxfz holds for a patient who has been reminded; anything else is not.
constexpr std::string_view kReminded = "是";
constexpr std::string_view kNotReminded = "否";

// Each column of a recall line, named by the table column it comes from, so that its title
// is the label the program shows over that column.
struct Source {
    const clinic_tables::Table& (*table)();
    std::string_view column;
};
constexpr Source kSources[] = {
    {clinic_tables::Patients, "Id"},      {clinic_tables::Patients, "Xm"},
    {clinic_tables::Patients, "Lxdh"},    {clinic_tables::Patients, "Fzyysj"},
    {clinic_tables::Visits, "Lzrq"},      {clinic_tables::Visits, "Zhsu"},
    {clinic_tables::Patients, "Sfylxfz"}, {clinic_tables::Patients, "Dfhf"},
};

Row Titles() {
    Row titles;
    for (const Source& source : kSources)
        titles.emplace_back(source.table().ColumnNamed(source.column).label);
    return titles;
}

Row Cells(const RecallLine& line) {
    return {std::to_string(line.id),
            line.name,
            line.phone,
            line.followUp,
            line.lastVisit,
            line.complaint,
            std::string(line.reminded ? kReminded : kNotReminded),
            line.answer};
}

// The follow-up dates to read, both ends included: those of --overdue lie before today.
struct DaySpan {
    Day from, to;
};

DaySpan FollowUps(const RecallOptions& options, Day today) {
    if (!options.overdue) return {options.from, options.to};
    return {dates::FromCivil(1, 1, 1), today - 1};
}

std::string Text(const Statement& statement, int column) {
    return std::string(statement.ColumnText(column));
}

RecallLine LineOf(const Statement& patient) {
    RecallLine line;
    line.id = patient.ColumnInt(0);
    line.name = Text(patient, 1);
    line.phone = Text(patient, 2);
    line.followUp = Text(patient, 3);
    line.reminded = patient.ColumnText(4) == kReminded;
    line.answer = Text(patient, 5);
    return line;
}

// The visit of the latest date (of those on one day, the last recorded), found through the
// visits' index on the patient's number.
void AddLastVisit(Statement& lastVisit, RecallLine& line) {
    const sqlitekit::StatementUse use(lastVisit);
    use->BindInt(1, line.id);
    if (!use->Step()) return;
    line.lastVisit = Text(*use, 0);
    line.complaint = Text(*use, 1);
}

// The index on Fzyysj gives the span's patients already in this order.
std::vector<RecallLine> ReadPatients(const sqlitekit::Connection& db, DaySpan span) {
    Statement patients(db.Handle(),
                       "SELECT Id, Xm, Lxdh, Fzyysj, Sfylxfz, Dfhf FROM bingren "
                       "WHERE Fzyysj BETWEEN ?1 AND ?2 ORDER BY Fzyysj, Id");
    patients.BindText(1, dates::FormatStoredDate(span.from));
    patients.BindText(2, dates::FormatStoredDate(span.to));
    std::vector<RecallLine> lines;
    while (patients.Step()) lines.push_back(LineOf(patients));
    return lines;
}

// Leaves out the patients reminded already, when asked, and with --overdue those whose last
// visit kept the appointment: on the follow-up's day or later. Dates as stored compare as their
// text does.
std::vector<RecallLine> Kept(std::vector<RecallLine> lines, const RecallOptions& options) {
    if (options.notReminded) std::erase_if(lines, [](const RecallLine& l) { return l.reminded; });
    if (options.overdue)
        std::erase_if(lines, [](const RecallLine& l) { return l.lastVisit >= l.followUp; });
    return lines;
}

// Looked up in record-number order, so that the visits' index is read front to back rather
// than at random: a tenth faster for a week's patients, a third for the overdue ones.
void AddLastVisits(const sqlitekit::Connection& db, std::vector<RecallLine>& lines) {
    // One read transaction for every lookup: one each would take and drop the file's lock and
    // read its header again for every patient. It ends as the connection closes.
    db.Exec("BEGIN");
    Statement lastVisit(db.Handle(),
                        "SELECT Lzrq, Zhsu FROM bingli WHERE Brid = ?1 "
                        "ORDER BY Lzrq DESC, Id DESC LIMIT 1");
    std::vector<RecallLine*> byId;
    for (RecallLine& line : lines) byId.push_back(&line);
    std::sort(byId.begin(), byId.end(),
              [](const RecallLine* a, const RecallLine* b) { return a->id < b->id; });
    for (RecallLine* line : byId) AddLastVisit(lastVisit, *line);
}

void RequireDirectory(const std::filesystem::path& dir) {
    if (!std::filesystem::is_directory(dir))
        throw ToolError("no database directory " + dir.string());
}

// Terminal columns of one character: two for wide and fullwidth ones (the Han characters of
// names among them), none for the marks that combine with the character before them.
int CharacterWidth(UChar32 c) {
    if (c < 0) return 1;  // a byte that begins no UTF-8 character
    const int width = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    if (width == U_EA_WIDE || width == U_EA_FULLWIDTH) return 2;
    if ((U_GET_GC_MASK(c) & (U_GC_MN_MASK | U_GC_ME_MASK | U_GC_CF_MASK)) != 0) return 0;
    return 1;
}

std::size_t DisplayWidth(std::string_view utf8) {
    std::size_t width = 0;
    const auto length = static_cast<std::int32_t>(utf8.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(utf8.data(), i, length, c);
        width += static_cast<std::size_t>(CharacterWidth(c));
    }
    return width;
}

// A complaint may hold line breaks, which would break the table's rows apart.
std::string OnOneLine(std::string value) {
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; },
        ' ');
    return value;
}

std::string TableLine(const Row& cells, const std::vector<std::size_t>& widths) {
    constexpr std::size_t kGap = 2;
    std::string line;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        line += cells[c];
        line.append(widths[c] - DisplayWidth(cells[c]) + kGap, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    return line += '\n';
}

// RFC 4180: a field is quoted only when it holds a separator, a quote or a line break.
std::string CsvField(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(value);
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted += '"';
}

void AppendCsvRow(const Row& cells, std::string& csv) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c != 0) csv += ',';
        csv += CsvField(cells[c]);
    }
    csv += "\r\n";
}

void WriteCsvFile(std::span<const RecallLine> lines, const std::filesystem::path& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    // The byte order mark tells a spreadsheet on a Chinese desktop that this is UTF-8, not GBK.
    std::string row = "\xEF\xBB\xBF";
    AppendCsvRow(Titles(), row);
    out << row;
    for (const RecallLine& line : lines) {
        row.clear();
        AppendCsvRow(Cells(line), row);
        out << row;
    }
    if (!out.flush()) throw std::system_error(errno, std::generic_category(), file.string());
}

}  // namespace

std::vector<RecallLine> ReadRecall(const std::filesystem::path& dir, const RecallOptions& options,
                                   Day today, TableOpener& tables) {
    RequireDirectory(dir);
    const auto patientFile = OpenExistingTable(dir, clinic_tables::Patients(), tables);
    const auto visitFile = OpenExistingTable(dir, clinic_tables::Visits(), tables);
    const DaySpan span = FollowUps(options, today);
    if (span.from > span.to) return {};
    std::vector<RecallLine> lines = ReadPatients(patientFile.Get(), span);
    AddLastVisits(visitFile.Get(), lines);
    return Kept(std::move(lines), options);
}

std::vector<RecallLine> ReadRecallOnServer(pgkit::Connection& server, const RecallOptions& options,
                                           Day today) {
    const DaySpan span = FollowUps(options, today);
    if (span.from > span.to) return {};
    // The files' order of visits: a visit without a date comes after every dated one.
    const pgkit::Result rows = server.Query(
        "SELECT p.id, coalesce(p.xm, ''), coalesce(p.lxdh, ''), p.fzyysj::text, "
        "coalesce(p.sfylxfz, ''), coalesce(p.dfhf, ''), coalesce(v.lzrq::text, ''), "
        "coalesce(v.zhsu, '') FROM bingren p LEFT JOIN LATERAL (SELECT lzrq, zhsu FROM bingli "
        "WHERE brid = p.id ORDER BY lzrq DESC NULLS LAST, id DESC LIMIT 1) v ON true "
        "WHERE p.fzyysj BETWEEN $1 AND $2 ORDER BY p.fzyysj, p.id",
        {dates::FormatStoredDate(span.from), dates::FormatStoredDate(span.to)});
    std::vector<RecallLine> lines(static_cast<std::size_t>(rows.Rows()));
    for (int row = 0; row < rows.Rows(); ++row) {
        RecallLine& line = lines[static_cast<std::size_t>(row)];
        line.id = rows.Int(row, 0);
        line.name = rows.Text(row, 1);
        line.phone = rows.Text(row, 2);
        line.followUp = rows.Text(row, 3);
        line.reminded = rows.Text(row, 4) == kReminded;
        line.answer = rows.Text(row, 5);
        line.lastVisit = rows.Text(row, 6);
        line.complaint = rows.Text(row, 7);
    }
    return Kept(std::move(lines), options);
}

void PrintRecallTable(std::span<const RecallLine> lines, std::ostream& out) {
    std::vector<Row> rows{Titles()};
    for (const RecallLine& line : lines) {
        Row cells = Cells(line);
        for (std::string& cell : cells) cell = OnOneLine(std::move(cell));
        rows.push_back(std::move(cells));
    }
    std::vector<std::size_t> widths(std::size(kSources), 0);
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    for (const Row& row : rows) out << TableLine(row, widths);
}

void WriteRecallCsv(std::span<const RecallLine> lines, const std::filesystem::path& file) {
    try {
        durable::PendingFile csv(file);
        WriteCsvFile(lines, csv.Temporary());
        csv.Publish(durable::Rename::Replace);
    } catch (const std::system_error& e) {
        throw ToolError("cannot write " + file.string() + ": " + e.code().message());
    }
}

}  // namespace clinicdb
