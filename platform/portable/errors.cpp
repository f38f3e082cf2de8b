#include "platform/portable/errors.h"

#include <new>

namespace tw {

std::string_view ClassicDescription(std::int32_t number) {
    switch (number) {
    case 5: return "Invalid procedure call or argument";
    case err::kOverflow: return "Overflow";
    case err::kOutOfMemory: return "Out of memory";
    case err::kSubscriptOutOfRange: return "Subscript out of range";
    case err::kTypeMismatch: return "Type mismatch";
    case err::kInternalError: return "Internal error";
    case err::kBadFileNameOrNumber: return "Bad file name or number";
    case err::kFileNotFound: return "File not found";
    case err::kDeviceIoError: return "Device I/O error";
    case err::kDiskFull: return "Disk full";
    case err::kPermissionDenied: return "Permission denied";
    case err::kPathFileAccessError: return "Path/File access error";
    case err::kPathNotFound: return "Path not found";
    case err::kObjectDoesntSupport: return "Object doesn't support this property or method";
    case err::kInvalidPicture: return "Invalid picture";
    default: return "Application-defined or object-defined error";
    }
}

RuntimeError ClassicError(std::int32_t number, std::string source) {
    return {number, std::move(source), std::string(ClassicDescription(number))};
}

RuntimeError CurrentErrorAsRuntimeError() noexcept {
    try {
        const std::exception_ptr current = std::current_exception();
        if (!current) return ClassicError(err::kInternalError);
        try {
            std::rethrow_exception(current);
        } catch (const RuntimeError& error) {
            return error;
        } catch (const std::bad_alloc&) {
            return ClassicError(err::kOutOfMemory);
        } catch (...) {
            return ClassicError(err::kInternalError);
        }
    } catch (...) {
        // Copying a long description ran out of memory. "Out of memory" fits
        // the short-string buffer, so this one needs no allocation.
        return {err::kOutOfMemory, std::string(), std::string("Out of memory")};
    }
}

std::string RuntimeErrorPrompt(const RuntimeError& error) {
    return "Run-time error '" + std::to_string(error.Number()) + "':\r\n\r\n" +
           error.Description();
}

}  // namespace tw
