#include "engine/filter.h"

#include <limits>
#include <optional>
#include <vector>

#include "base/dates.h"
#include "base/gbk_text.h"
#include "base/pinyin.h"
#include "engine/errors.h"

namespace dbe {

namespace {

constexpr const char* kPrefixFunction = "gbk_prefix";

// What a field's values are, as far as filters tell them apart.
enum class Kind { kText, kInteger, kDate, kMemo, kOther };

Kind KindOf(const Field& field) {
    if (field.IsMemo()) return Kind::kMemo;
    if (field.IsString()) return Kind::kText;
    if (field.IsInteger()) return Kind::kInteger;
    if (field.IsDate()) return Kind::kDate;
    return Kind::kOther;
}

const char* OperatorText(std::uint16_t op) {
    switch (op) {
        case fltopEQ:
            return "=";
        case fltopNE:
            return "<>";
        case fltopLT:
            return "<";
        case fltopLE:
            return "<=";
        case fltopGT:
            return ">";
        case fltopGE:
            return ">=";
        default:
            return nullptr;
    }
}

std::vector<std::int32_t> Operands(const DBIFilterNode& node) {
    switch (node.iKind) {
        case fltAND:
        case fltOR:
            return {node.iLeft, node.iRight};
        case fltNOT:
            return {node.iLeft};
        default:
            return {};
    }
}

// "left op right", with the binds of both sides in placeholder order.
Where Join(const Where& left, const std::string& op, const Where& right) {
    Where joined{left.text + " " + op + " " + right.text, left.binds};
    joined.binds.insert(joined.binds.end(), right.binds.begin(), right.binds.end());
    return joined;
}

Where Parenthesized(const Where& where) {
    return {"(" + where.text + ")", where.binds};
}

std::string Column(const Field& field) {
    return sqlitekit::QuoteIdentifier(field.column);
}

class Translator {
  public:
    Translator(const Layout& layout, const DBIFilterNode* nodes, std::uint32_t count,
               const SqlDialect& dialect, const Narrowing& narrow)
        : layout_(layout), nodes_(nodes), count_(count), dialect_(dialect), narrow_(narrow) {}

    Where Translate() const {
        CheckTree();
        return Node(0, 1);
    }

  private:
    [[noreturn]] void Fail(std::uint32_t index, const std::string& what) const {
        throw EngineError(DBIERR_INVALIDPARAM,
                          "Filter node " + std::to_string(index) + ": " + what);
    }
    void CheckTree() const;
    Where Node(std::uint32_t index, std::uint32_t depth) const;
    void AppendRun(std::uint32_t index, std::uint16_t kind, std::uint32_t depth, Where& run) const;
    Where Compare(std::uint32_t index) const;
    Where Like(std::uint32_t index) const;
    const Field& FieldAt(std::uint32_t index, std::uint16_t fieldNo) const;
    Kind ComparableKind(std::uint32_t index, const Field& field) const;
    std::optional<Value> Constant(std::uint32_t index, const Field& field, Kind kind) const;
    // `term`, narrowed to the rows whose `field` holds the characters of `text` where the
    // table can tell them at once.
    Where Narrowed(Where term, const Field& field, std::string_view text, bool pattern) const;

    const Layout& layout_;
    const DBIFilterNode* nodes_;
    std::uint32_t count_;
    const SqlDialect& dialect_;
    const Narrowing& narrow_;
};

Where Translator::Narrowed(Where term, const Field& field, std::string_view text,
                           bool pattern) const {
    if (!narrow_) return term;
    if (const std::optional<Where> rows = narrow_(field, text, pattern)) {
        term.And(*rows);
        return Parenthesized(term);
    }
    return term;
}

// Operands come after their node and belong to one node each, so the nodes reached from the
// root form a tree: translation ends, and its text grows only with the number of nodes.
void Translator::CheckTree() const {
    if (count_ == 0 || count_ > kMaxFilterNodes) {
        throw EngineError(DBIERR_INVALIDPARAM,
                          "A filter has 1 to " + std::to_string(kMaxFilterNodes) + " nodes");
    }
    std::vector<bool> taken(count_, false);
    for (std::uint32_t i = 0; i < count_; ++i) {
        for (const std::int32_t operand : Operands(nodes_[i])) {
            if (operand <= std::int64_t{i} || operand >= std::int64_t{count_}) {
                Fail(i,
                     "operand " + std::to_string(operand) + " must be a later node of the array");
            }
            if (taken[operand]) {
                Fail(i, "node " + std::to_string(operand) + " is the operand of another node too");
            }
            taken[operand] = true;
        }
    }
}

Where Translator::Node(std::uint32_t index, std::uint32_t depth) const {
    if (depth > kMaxFilterDepth) {
        Fail(index, "the tree is deeper than " + std::to_string(kMaxFilterDepth) + " levels");
    }
    const DBIFilterNode& node = nodes_[index];
    switch (node.iKind) {
        case fltAND:
        case fltOR: {
            Where run;
            AppendRun(index, node.iKind, depth, run);
            return Parenthesized(run);
        }
        case fltNOT: {
            // SQL leaves a comparison with null unknown, and NOT unknown is unknown too; the
            // filter counts such a comparison false, so that NOT is its complement.
            const Where operand = Node(node.iLeft, depth + 1);
            return Parenthesized({operand.text + " IS NOT TRUE", operand.binds});
        }
        case fltCOMPARE:
            return Compare(index);
        case fltLIKE:
            return Like(index);
        case fltISNULL:
            return Parenthesized({Column(FieldAt(index, node.iFldNum)) + " IS NULL", {}});
        case fltISNOTNULL:
            return Parenthesized({Column(FieldAt(index, node.iFldNum)) + " IS NOT NULL", {}});
        case fltTRUE:
            return {"TRUE", {}};
        case fltFALSE:
            return {"FALSE", {}};
        default:
            Fail(index, "unknown kind " + std::to_string(node.iKind));
    }
}

// Appends to `run` the operands of the run of `kind` (AND or OR) nodes from `index` down,
// joined without parentheses: SQLite parses such a chain without nesting, whichever way the
// tree leans.
void Translator::AppendRun(std::uint32_t index, std::uint16_t kind, std::uint32_t depth,
                           Where& run) const {
    const DBIFilterNode& node = nodes_[index];
    if (node.iKind == kind) {
        AppendRun(node.iLeft, kind, depth, run);
        AppendRun(node.iRight, kind, depth, run);
        return;
    }
    const Where operand = Node(index, depth + 1);
    if (!run.text.empty()) run.text += kind == fltAND ? " AND " : " OR ";
    run.text += operand.text;
    run.binds.insert(run.binds.end(), operand.binds.begin(), operand.binds.end());
}

// A text operand cut to the partial length and folded to lower case as the node asks.
Where TextOperand(Where operand, const DBIFilterNode& node) {
    if (node.iPartialLen > 0) {
        operand.text = std::string(kPrefixFunction) + "(" + operand.text + ", ?)";
        operand.binds.emplace_back(std::int64_t{node.iPartialLen});
    }
    if (node.bCaseInsensitive) operand.text = "lower(" + operand.text + ")";
    return operand;
}

Where Translator::Compare(std::uint32_t index) const {
    const DBIFilterNode& node = nodes_[index];
    const char* op = OperatorText(node.iOperator);
    if (op == nullptr) Fail(index, "unknown operator " + std::to_string(node.iOperator));
    const Field& field = FieldAt(index, node.iFldNum);
    const Kind kind = ComparableKind(index, field);
    const bool text = kind == Kind::kText;
    // Text compares in GBK order.
    const std::string collation = text ? gbk::kCollation : "";
    Where left = text ? TextOperand({Column(field), {}}, node) : Where{Column(field), {}};
    left.text = dialect_.Collated(left.text, collation);
    const auto operand = [&](Where base) {
        if (text) base = TextOperand(base, node);
        base.text = dialect_.CollatedOperand(base.text, collation);
        return base;
    };
    if (node.iFldNum2 != 0) {
        const Field& other = FieldAt(index, node.iFldNum2);
        if (ComparableKind(index, other) != kind) {
            Fail(index, "fields " + field.Name() + " and " + other.Name() + " differ in kind");
        }
        return Parenthesized(Join(left, op, operand({Column(other), {}})));
    }
    const std::optional<Value> constant = Constant(index, field, kind);
    if (constant) {
        Where term = Parenthesized(Join(left, op, operand({"?", {*constant}})));
        if (!text || node.iOperator != fltopEQ) return term;
        // Equal, or equal in its first bytes: the value holds every character of the cut text.
        const auto& value = std::get<std::string>(*constant);
        return Narrowed(std::move(term), field,
                        node.iPartialLen > 0 ? gbk::Cut(value, node.iPartialLen) : value, false);
    }
    // The null constant: = and <> test null, the orderings hold for no record.
    if (node.iOperator == fltopEQ) return Parenthesized({Column(field) + " IS NULL", {}});
    if (node.iOperator == fltopNE) return Parenthesized({Column(field) + " IS NOT NULL", {}});
    return {"FALSE", {}};
}

Where Translator::Like(std::uint32_t index) const {
    const Field& field = FieldAt(index, nodes_[index].iFldNum);
    const Kind kind = KindOf(field);
    if (kind != Kind::kText && kind != Kind::kMemo) {
        Fail(index, "LIKE needs a string or memo field; " + field.Name() + " is neither");
    }
    // No stored value is like the null pattern.
    const std::optional<Value> pattern = Constant(index, field, kind);
    if (!pattern) return {"FALSE", {}};
    return Narrowed(Parenthesized({Column(field) + " LIKE ?", {*pattern}}), field,
                    std::get<std::string>(*pattern), true);
}

const Field& Translator::FieldAt(std::uint32_t index, std::uint16_t fieldNo) const {
    if (fieldNo == 0 || fieldNo > layout_.fields.size()) {
        Fail(index, "no field number " + std::to_string(fieldNo));
    }
    return layout_.fields[fieldNo - 1];
}

Kind Translator::ComparableKind(std::uint32_t index, const Field& field) const {
    const Kind kind = KindOf(field);
    if (kind == Kind::kMemo) {
        Fail(index, "memo " + field.Name() + " allows only LIKE, IS NULL and IS NOT NULL");
    }
    if (kind == Kind::kOther) Fail(index, "field " + field.Name() + " cannot be compared");
    return kind;
}

// The node's constant as stored in the file, or nothing for the null constant.
std::optional<Value> Translator::Constant(std::uint32_t index, const Field& field,
                                          Kind kind) const {
    const DBIFilterNode& node = nodes_[index];
    if (kind == Kind::kText || kind == Kind::kMemo) {
        if (node.bConstNull) return std::nullopt;
        if (node.pszConst == nullptr) Fail(index, field.Name() + " takes its constant in pszConst");
        // The files hold an empty value as null, so empty text is the null constant.
        if (*node.pszConst == '\0') return std::nullopt;
        return Value(std::string(node.pszConst));
    }
    if (node.pszConst != nullptr) Fail(index, field.Name() + " takes its constant in iConst");
    if (node.bConstNull) return std::nullopt;
    if (kind == Kind::kInteger) return Value(node.iConst);
    constexpr std::int64_t kMin = std::numeric_limits<int>::min();
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    if (node.iConst < kMin || node.iConst > kMax ||
        !dates::InStoredRange(static_cast<int>(node.iConst))) {
        Fail(index, "day " + std::to_string(node.iConst) + " is no date of the years 1 to 9999");
    }
    return Value(dates::FormatStoredDate(static_cast<int>(node.iConst)));
}

// The text of an argument; nullopt for null, and for text SQLite had no memory for (the
// context then carries the error).
std::optional<std::string_view> TextArgument(sqlite3_context* context, sqlite3_value* value) {
    if (sqlite3_value_type(value) == SQLITE_NULL) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    if (text == nullptr) {
        sqlite3_result_error_nomem(context);
        return std::nullopt;
    }
    return std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(value)));
}

void PinyinMatch(sqlite3_context* context, int, sqlite3_value** args) {
    if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[1]) == SQLITE_NULL)
        return sqlite3_result_int(context, 0);
    const std::optional<std::string_view> text = TextArgument(context, args[0]);
    const std::optional<std::string_view> letters = TextArgument(context, args[1]);
    if (!text || !letters) return;
    try {
        sqlite3_result_int(context, pinyin::Matches(*text, *letters) ? 1 : 0);
    } catch (const std::exception& error) {
        sqlite3_result_error(context, error.what(), -1);
    }
}

void GbkPrefix(sqlite3_context* context, int, sqlite3_value** args) {
    if (sqlite3_value_type(args[0]) == SQLITE_NULL) return sqlite3_result_null(context);
    const std::optional<std::string_view> text = TextArgument(context, args[0]);
    if (!text) return;
    const std::string_view value = *text;
    const sqlite3_int64 bytes = sqlite3_value_int64(args[1]);
    try {
        const std::string_view cut = gbk::Cut(value, bytes > 0 ? bytes : 0);
        sqlite3_result_text64(context, cut.data(), cut.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } catch (const std::exception& error) {
        // Nothing may unwind through SQLite.
        sqlite3_result_error(context, error.what(), -1);
    }
}

}  // namespace

Where TranslateFilter(const Layout& layout, const DBIFilterNode* nodes, std::uint32_t count,
                      const SqlDialect& dialect, const Narrowing& narrow) {
    return Translator(layout, nodes, count, dialect, narrow).Translate();
}

void RegisterFilterFunctions(sqlite3* db) {
    const auto add = [db](const char* name,
                          void (*function)(sqlite3_context*, int, sqlite3_value**)) {
        const int rc = sqlite3_create_function_v2(
            db, name, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr, function,
            nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) sqlitekit::Throw(db, rc);
    };
    add(kPrefixFunction, GbkPrefix);
    add(kPinyinFunction, PinyinMatch);
}

}  // namespace dbe
