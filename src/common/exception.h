#pragma once
// The program's general exception: it carries the message that the
// application's error report shows. Every error the system raises derives
// from it, so the report can show any of them.
#include <stdexcept>
#include <string>

namespace vhb {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vhb
