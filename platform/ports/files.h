// File services of the runtime. Failures are RuntimeErrors with the runtime's
// classic numbers and texts and an empty source; callers raise them again
// under their own source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tw::files {

// True when a regular file of that name exists; false for an empty name or
// anything else.
bool FileExists(const std::string& name) noexcept;

// Reads the whole file. Returns nullopt, without reading the contents, when
// the file is longer than maxBytes.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& name,
                                                       std::size_t maxBytes);

// Makes the file hold exactly these bytes. The bytes go to a temporary file in
// the same folder, which is flushed and then put in place atomically, so a
// failure at any point leaves an existing file exactly as it was, and leaves
// no temporary file behind.
void ReplaceFileContents(const std::string& name, std::span<const std::uint8_t> bytes);

// The program's executable name without folder or extension.
std::string ExeName();

}  // namespace tw::files
