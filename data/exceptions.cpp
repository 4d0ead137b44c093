#include "data/exceptions.h"

std::string FormatMessage(std::string_view pattern, const std::vector<std::string>& args) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            if (next < args.size()) out += args[next++];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
