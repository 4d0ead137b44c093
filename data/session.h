// TSession: the password side of the engine session, which the program has one of (Session()).
//
// The engine holds the session password list; the program adds a password, drops one or drops
// all. Passwords stay until the program ends and serve every later open, so one answer opens
// every table protected by the same password.
//
// When the engine refuses an open for want of a password, the data layer makes a password
// request (GetPassword) and, on yes, asks the engine again, as often as the user answers yes
// (CheckWithPasswords). The request is answered by OnPassword when it is assigned, else by the
// password dialog that the user interface installs (SetPasswordDialog), else no.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "data/engine_client.h"

class TSession {
  public:
    // The longest password that the engine takes, in GBK bytes.
    static constexpr std::size_t kMaxPasswordBytes = DBIMAXPASSWORDLEN;

    // Answers a password request: true when a password may have been added and the open is
    // worth trying again.
    std::function<bool(TSession* sender)> OnPassword;

    // The text converted to GBK and cut to kMaxPasswordBytes at a character boundary. An empty
    // text is ignored. Throws EDBEngineError when the engine refuses the password.
    void AddPassword(const std::string& password);
    // An empty text is ignored; the engine's answer is not looked at.
    void RemovePassword(const std::string& password);
    void RemoveAllPasswords();

    // The password request: OnPassword, else the installed dialog, else no.
    bool GetPassword();

    // Asks the engine through `attempt` until it answers other than "a password is required":
    // each such answer makes a password request; yes asks again, no raises the engine failure
    // of that refusal. Any other refusal raises its engine failure at once.
    void CheckWithPasswords(const std::function<DBIResult()>& attempt);

    // The user interface's password dialog: answers true when the user closed it with OK.
    // nullptr removes it.
    using PasswordDialog = std::function<bool()>;
    static void SetPasswordDialog(PasswordDialog dialog);
};

// The program's session.
TSession& Session();
