// UTF-8 helpers shared by the readers of text files (INI files, markup).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Length in bytes of the UTF-8 sequence starting at `pos`, or 1 for a byte
// that does not start a valid sequence (such a byte counts as a character).
size_t Utf8SequenceLength(const std::string& text, size_t pos);

// Appends code point `code` in UTF-8.
void AppendUtf8(std::string& out, uint32_t code);

// True when every byte of `text` belongs to a valid UTF-8 sequence.
bool IsValidUtf8(const std::string& text);

}  // namespace platform
