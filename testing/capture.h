// What a piece of code writes to standard output, through the file
// descriptor, so that C stdio and anything else writing to fd 1 are caught.
#pragma once

#include <functional>
#include <string>

namespace pellwick::testing {

// Runs f with standard output sent to a temporary file; returns what it
// wrote. Aborts if the redirection cannot be made.
std::string captured_stdout(const std::function<void()>& f);

}  // namespace pellwick::testing
