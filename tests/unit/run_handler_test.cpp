#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>

#include "platform/errors.h"
#include "platform/ui.h"

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

TEST(RunHandlerDeathTest, AnEscapedErrorIsShownThenTheProgramEndsWithStatusOne) {
    StderrRuntime runtime;
    struct Case {
        std::function<void()> handler;
        const char* shown;
    };
    const Case cases[] = {
        {[] { throw RuntimeError(53, "TransForm", "File not found"); },
         "Run-time error '53':\r\n\r\nFile not found"},
        {[] { throw std::bad_alloc(); }, "Run-time error '7':\r\n\r\nOut of memory"},
        {[] { throw 42; }, "Run-time error '51':\r\n\r\nInternal error"},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(RunHandler(runtime, c.handler), ::testing::ExitedWithCode(1),
                    ::testing::HasSubstr(c.shown));
    }
}

}  // namespace
}  // namespace tw
