#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/portable/errors.h"
#include "platform/ports/ui.h"

namespace tw {
namespace {

// Shows the box on stderr and ends as the runtime would, so death tests can
// read what the user would have seen.
class StderrRuntime final : public UiRuntime {
public:
    void MsgBox(const std::string& prompt, int style, const std::string& title) override {
        std::fprintf(stderr, "[%s|%d] %s", title.c_str(), style, prompt.c_str());
        std::fflush(stderr);
    }
    [[noreturn]] void End(int status) override { std::_Exit(status); }
};

TEST(RunHandler, AHandlerThatReturnsEndsNothing) {
    StderrRuntime runtime;
    bool ran = false;
    RunHandler(runtime, [&] { ran = true; });
    EXPECT_TRUE(ran);
}

// How any exception maps to a classic error, and how the prompt reads, have
// their own tests: here, that the escaped error is shown and the program ends.
TEST(RunHandlerDeathTest, AnEscapedErrorIsShownThenTheProgramEndsWithStatusOne) {
    StderrRuntime runtime;
    EXPECT_EXIT(RunHandler(runtime, [] { throw RuntimeError(53, "TransForm", "File not found"); }),
                ::testing::ExitedWithCode(1), ::testing::HasSubstr("Run-time error '53':\r\n\r\nFile not found"));
}

}  // namespace
}  // namespace tw
