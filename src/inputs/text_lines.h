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

// True for UTF-16 text: a byte order mark (FF FE or FE FF), or a NUL in
// every other byte of its start, as a Windows editor's "Unicode" gives. Such
// a file reads as neither ASCII nor UTF-8, and it is refused by name.
bool isUtf16Text(std::string_view bytes);

std::vector<std::u32string> splitLines(std::u32string_view text);

// Text made safe to show on a terminal or in a one-line message: valid
// UTF-8 characters are kept; C0 and C1 control characters, DEL and every
// byte that is not part of valid UTF-8 (a Latin-1 or Shift_JIS byte) are
// written as "\xHH".
std::string escapedForDisplay(std::string_view bytes);

// Text in double quotes for a message, escaped as above, at most 40 bytes of
// it followed by "..." when it is longer.
std::string quotedForMessage(std::string_view text);

// A number as people write it in a message: at most six significant digits,
// no trailing zeros (4.75, 12, 1e+06).
std::string shortNumber(double value);

}  // namespace vantrel
