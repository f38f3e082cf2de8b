#include "platform/portable/errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

namespace tw {
namespace {

TEST(ClassicError, CarriesTheRuntimesOwnTextAndTheGivenSource) {
    struct Case {
        std::int32_t number;
        const char* description;
    };
    const Case cases[] = {
        {err::kFileNotFound, "File not found"},
        {err::kPathFileAccessError, "Path/File access error"},
        {err::kInvalidPicture, "Invalid picture"},
        {0, "Application-defined or object-defined error"},
        {1000, "Application-defined or object-defined error"},
        {-1, "Application-defined or object-defined error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const RuntimeError error = ClassicError(c.number, "Source");
        EXPECT_EQ(error.Number(), c.number);
        EXPECT_EQ(error.Source(), "Source");
        EXPECT_EQ(error.Description(), c.description);
        EXPECT_STREQ(error.what(), c.description);
    }
    EXPECT_EQ(ClassicError(err::kDiskFull).Source(), "");
}

TEST(RuntimeErrorPrompt, IsNumberInQuotesThenTwoCrLfThenDescription) {
    EXPECT_EQ(RuntimeErrorPrompt(ClassicError(err::kFileNotFound, "X")),
              "Run-time error '53':\r\n\r\nFile not found");
    // Object errors have the top bit set and show as negative numbers.
    EXPECT_EQ(RuntimeErrorPrompt(RuntimeError(static_cast<std::int32_t>(0x800409D2u), "TransForm",
                                              "Unable to determine size of region")),
              "Run-time error '-2147218990':\r\n\r\nUnable to determine size of region");
}

RuntimeError Mapped(const std::function<void()>& thrower) {
    try {
        thrower();
    } catch (...) {
        return CurrentErrorAsRuntimeError();
    }
    ADD_FAILURE() << "nothing was thrown";
    return ClassicError(0);
}

TEST(CurrentErrorAsRuntimeError, MapsWhateverIsInFlight) {
    struct Case {
        const char* name;
        std::function<void()> thrower;
        std::int32_t number;
        const char* source;
        const char* description;
    };
    const Case cases[] = {
        {"runtime error kept whole", [] { throw RuntimeError(1234, "Mine", "My own text"); },
         1234, "Mine", "My own text"},
        {"bad_alloc", [] { throw std::bad_alloc(); }, 7, "", "Out of memory"},
        {"bad_array_new_length is a bad_alloc", [] { throw std::bad_array_new_length(); }, 7, "",
         "Out of memory"},
        {"std::exception's own text is not shown", [] { throw std::runtime_error("secret"); }, 51,
         "", "Internal error"},
        {"not an exception at all", [] { throw 42; }, 51, "", "Internal error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RuntimeError error = Mapped(c.thrower);
        EXPECT_EQ(error.Number(), c.number);
        EXPECT_EQ(error.Source(), c.source);
        EXPECT_EQ(error.Description(), c.description);
    }
}

TEST(CurrentErrorAsRuntimeError, OutsideAnyCatchGivesInternalErrorInsteadOfTerminating) {
    EXPECT_EQ(CurrentErrorAsRuntimeError().Number(), err::kInternalError);
}

}  // namespace
}  // namespace tw
