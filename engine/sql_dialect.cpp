#include "engine/sql_dialect.h"

#include "base/gbk_text.h"
#include "engine/schema.h"
#include "engine/sqlitekit/sqlite_support.h"

namespace dbe {

namespace {

class Sqlite final : public SqlDialect {
  public:
    std::string Collated(const std::string& expr, const std::string& collation) const override {
        if (IsBytes(collation)) return expr;
        return expr + " COLLATE " + sqlitekit::QuoteIdentifier(collation);
    }
    std::string CollatedOperand(const std::string& expr, const std::string&) const override {
        return expr;
    }
};

class Server final : public SqlDialect {
  public:
    std::string Collated(const std::string& expr, const std::string& collation) const override {
        if (IsBytes(collation)) return expr;
        // NOCASE folds ASCII letters only, as lower() does in the server's C collation.
        const char* function = SameName(collation, gbk::kCollation) ? "gbk_key" : "lower";
        return std::string(function) + "(" + expr + ")";
    }
    std::string CollatedOperand(const std::string& expr,
                                const std::string& collation) const override {
        return Collated(expr, collation);
    }
};

}  // namespace

bool SqlDialect::IsBytes(const std::string& collation) {
    return collation.empty() || SameName(collation, "BINARY");
}

const SqlDialect& SqliteDialect() {
    static const Sqlite dialect;
    return dialect;
}

const SqlDialect& ServerDialect() {
    static const Server dialect;
    return dialect;
}

}  // namespace dbe
