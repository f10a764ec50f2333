// text_lines.h - text as characters and lines.
//
// Positions in the input files count characters, not bytes, so lines are
// handled as UTF-32 strings. CR LF, LF and CR each end a line; a line end
// after the last line makes no further line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The characters of UTF-8 text, or nothing when the bytes are not valid
// UTF-8 (overlong forms, surrogates and values above U+10FFFF included).
std::optional<std::u32string> decodeUtf8(std::string_view bytes);

std::string encodeUtf8(std::u32string_view text);

std::vector<std::u32string> splitLines(std::u32string_view text);

// Text in double quotes for a message: control bytes as \xNN, and at most
// 40 bytes followed by "..." when it is longer.
std::string quotedForMessage(std::string_view text);

}  // namespace vantrel
