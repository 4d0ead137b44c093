#include "data/session.h"

#include "base/gbk_text.h"

namespace {

TSession::PasswordDialog& Dialog() {
    static TSession::PasswordDialog dialog;
    return dialog;
}

const DbeApi& Api() {
    return EngineSession::Default().Api();
}

// The password as the engine takes it.
std::string EngineBytes(const std::string& password) {
    return gbk::Encode(gbk::Cut(password, TSession::kMaxPasswordBytes));
}

}  // namespace

void TSession::AddPassword(const std::string& password) {
    if (password.empty()) return;
    Check(Api().dbeAddPassword(EngineBytes(password).c_str()));
}

void TSession::RemovePassword(const std::string& password) {
    if (password.empty()) return;
    Api().dbeDropPassword(EngineBytes(password).c_str());
}

void TSession::RemoveAllPasswords() {
    Api().dbeDropAllPasswords();
}

bool TSession::GetPassword() {
    if (OnPassword) return OnPassword(this);
    return Dialog() && Dialog()();
}

// The refusal's failure is composed before the request: the dialog's own engine calls would
// replace the engine's error stack that names the table.
void TSession::CheckWithPasswords(const std::function<DBIResult()>& attempt) {
    for (;;) {
        const DBIResult result = attempt();
        if (result != DBIERR_NOTSUFFTABLERIGHTS) return Check(result);
        EDBEngineError refusal = EngineError(result);
        if (!GetPassword()) throw refusal;
    }
}

void TSession::SetPasswordDialog(PasswordDialog dialog) {
    Dialog() = std::move(dialog);
}

TSession& Session() {
    static TSession session;
    return session;
}
