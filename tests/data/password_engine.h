// A stand-in for the engine's password side, installed in the running engine session for as
// long as it lives: its own password list, a record of what it was handed, and tables and
// queries that the engine refuses (DBIERR_NOTSUFFTABLERIGHTS) until kPassword is in the list.
//
// A refusal leaves one entry naming the table on the fake error stack, and every password call
// clears that stack, as the engine's calls replace theirs. The code texts are fixed here, so
// that the messages do not depend on the engine's wording.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "data/engine_client.h"

class PasswordEngine {
  public:
    static constexpr const char* kPassword = "secret";
    static constexpr const char* kRefusedText = "Insufficient rights: a password is required";
    static constexpr const char* kRefusalEntry = "Table: bingren.DB";

    PasswordEngine();
    ~PasswordEngine();
    PasswordEngine(const PasswordEngine&) = delete;
    PasswordEngine& operator=(const PasswordEngine&) = delete;

    // Tables open only with the password.
    void ProtectTables();
    // Tables open only with the password, and then only read-only (DBIERR_READONLY otherwise).
    void ProtectReadOnlyTables();
    // Queries are prepared only with the password.
    void ProtectQueries();
    // Every table open is refused with DBIERR_NOTSUPPORTED.
    void RefuseTables();

    // The engine's password list.
    std::set<std::string> passwords;
    // What the password calls were handed, in order: "add x", "drop x", "drop all".
    std::vector<std::string> handed;
    // The answer to adding a password.
    DBIResult addAnswer = DBIERR_NONE;

  private:
    DbeApi real_;
};
