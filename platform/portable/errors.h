// The runtime's error model: an error is a number, a source and a description.
// Handlers run in one of two modes: resume-next (a failing step is skipped) or
// catching nothing, in which case the runtime shows the error and ends.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace tw {

class RuntimeError : public std::exception {
public:
    RuntimeError(std::int32_t number, std::string source, std::string description)
        : number_(number), source_(std::move(source)), description_(std::move(description)) {}

    std::int32_t Number() const { return number_; }
    const std::string& Source() const { return source_; }
    const std::string& Description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    // The same error raised again under another source.
    RuntimeError WithSource(std::string source) const {
        return {number_, std::move(source), description_};
    }

private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

// The runtime's classic error numbers.
namespace err {
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kBadFileNameOrNumber = 52;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kDeviceIoError = 57;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kObjectDoesntSupport = 438;
inline constexpr std::int32_t kInvalidPicture = 481;
}  // namespace err

// The runtime's own text for a classic number ("File not found", ...).
std::string_view ClassicDescription(std::int32_t number);
// A classic error with its own text.
RuntimeError ClassicError(std::int32_t number, std::string source = {});

// Any exception as the runtime would report it: a RuntimeError as it is,
// std::bad_alloc as error 7, anything else as error 51.
RuntimeError CurrentErrorAsRuntimeError() noexcept;

// Resume-next mode: runs one step; if it fails, the failure is dropped and
// the caller goes on with its next step.
template <class Step>
void ResumeNext(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
    } catch (...) {
    }
}

// "Run-time error 'N':" CR LF CR LF description: what the user sees when an
// error escapes a handler that catches nothing.
std::string RuntimeErrorPrompt(const RuntimeError& error);

}  // namespace tw
