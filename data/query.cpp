#include "data/query.h"

#include "data/session.h"

TQuery::TQuery(std::string name) : TEngineDataSet(std::move(name)) {}

TQuery::~TQuery() {
    Close();
}

std::string TQuery::Text() const {
    std::string text;
    for (const std::string& line : sql_) {
        if (!text.empty()) text += "\n";
        text += line;
    }
    return text;
}

// A query over a table protected by a password is prepared once the user has given it.
hDBICur TQuery::OpenCursor(hDBIDb db) {
    const std::string text = Text();
    Session().CheckWithPasswords([&] { return Api().dbeQPrepare(db, text.c_str(), &statement_); });
    hDBICur answer = nullptr;
    Check(Api().dbeQExec(statement_, &answer));
    return answer;
}

void TQuery::CursorClosing() {
    if (statement_) Api().dbeQFree(statement_);
    statement_ = nullptr;
}
