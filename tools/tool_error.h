// The failure every clinicdb command reports to its user: the message is printed as it is and
// the tool exits with status 1. Anything that throws it has touched nothing it would leave
// half-done, unless the command says otherwise (a failed demo load leaves files to delete).
#pragma once

#include <stdexcept>

namespace clinicdb {

class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace clinicdb
