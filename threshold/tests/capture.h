// Standard output of a piece of code, as the tests see it.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace pellwick::testing {

// Runs f with standard output captured; returns the text it wrote.
template <class F>
std::string captured_stdout(F&& f) {
  ::testing::internal::CaptureStdout();
  f();
  return ::testing::internal::GetCapturedStdout();
}

}  // namespace pellwick::testing
