#include "data/query.h"

TQuery::TQuery(std::string name) : TEngineDataSet(std::move(name)) {}

TQuery::~TQuery() { Close(); }

std::string TQuery::Text() const {
    std::string text;
    for (const std::string& line : sql_) {
        if (!text.empty()) text += "\n";
        text += line;
    }
    return text;
}

hDBICur TQuery::OpenCursor(hDBIDb db) {
    Check(Api().dbeQPrepare(db, Text().c_str(), &statement_));
    hDBICur answer = nullptr;
    Check(Api().dbeQExec(statement_, &answer));
    return answer;
}

void TQuery::CursorClosing() {
    if (statement_) Api().dbeQFree(statement_);
    statement_ = nullptr;
}
