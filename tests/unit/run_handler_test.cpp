#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/portable/errors.h"
#include "platform/ports/ui.h"
#include "tests/support/fakes.h"

namespace tw {
namespace {

using testing::FakeRuntime;

TEST(RunHandler, AHandlerThatReturnsEndsNothing) {
    FakeRuntime runtime(FakeRuntime::OnEnd::Exit);
    bool ran = false;
    RunHandler(runtime, [&] { ran = true; });
    EXPECT_TRUE(ran);
}

// How any exception maps to a classic error, and how the prompt reads, have
// their own tests: here, that the escaped error is shown and the program ends.
TEST(RunHandlerDeathTest, AnEscapedErrorIsShownThenTheProgramEndsWithStatusOne) {
    FakeRuntime runtime(FakeRuntime::OnEnd::Exit);
    EXPECT_EXIT(RunHandler(runtime, [] { throw RuntimeError(53, "TransForm", "File not found"); }),
                ::testing::ExitedWithCode(1),
                ::testing::HasSubstr("[tallowind|16] Run-time error '53':\r\n\r\nFile not found"));
}

}  // namespace
}  // namespace tw
