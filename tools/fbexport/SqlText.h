#pragma once

// How the export tool writes values into SQL lines that SQLite executes. The file is read back as
// Windows-1252, so a text is written as a quoted Windows-1252 literal when every character has a
// byte there and none is a control character; otherwise as CAST(X'<UTF-8 bytes>' AS TEXT), which
// keeps any text on one line whatever the reader's encoding.

#include <cstdint>
#include <string>
#include <string_view>

namespace fbexport {

std::string windows1252ToUtf8(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);

// Text given as UTF-8 (invalid sequences are read as Windows-1252 bytes).
void appendText(std::string& out, std::string_view utf8);
// Binary data as a blob literal X'..'.
void appendBlob(std::string& out, std::string_view bytes);
// An integer with Firebird's decimal scale (0 or negative): whole numbers bare, scaled ones as an
// exact quoted decimal ('-0.05'), so no binary rounding happens on the way.
void appendScaled(std::string& out, std::int64_t value, int scale);
// The shortest decimal that reads back as the same number, never with an exponent.
void appendDouble(std::string& out, double value);
void appendFloat(std::string& out, float value);
// Identifier in double quotes.
void appendIdentifier(std::string& out, std::string_view name);

} // namespace fbexport
