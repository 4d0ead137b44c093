// The clinicdb tool as a function: runs one command and reports as the tool does.
//
// Contract: returns the exit status — 0 on success, 1 on a failure (its message on `err`),
// 2 on bad arguments (the reason and the usage on `err`). Nothing escapes as an exception
// except std::bad_alloc. Passwords of protected tables come from `passwords`.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "tools/password_source.h"

namespace clinicdb {

// `args` without the program's name.
int RunClinicDb(std::span<const std::string_view> args, PasswordSource& passwords,
                std::ostream& out, std::ostream& err);

}  // namespace clinicdb
