// SPDX-License-Identifier: MIT
// The 58 characters of the font in loading order, with the file name of each
// glyph document under assets/glyphs/. Shared by the packer and the tests.
#pragma once

struct GlyphKeyName {
  const char* key;
  const char* file;
};

inline constexpr GlyphKeyName GlyphKeyNames[] = {
    {"0", "0"}, {"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}, {"5", "5"}, {"6", "6"},
    {"7", "7"}, {"8", "8"}, {"9", "9"}, {"A", "A"}, {"B", "B"}, {"C", "C"}, {"D", "D"},
    {"E", "E"}, {"F", "F"}, {"G", "G"}, {"H", "H"}, {"I", "I"}, {"J", "J"}, {"K", "K"},
    {"L", "L"}, {"M", "M"}, {"N", "N"}, {"O", "O"}, {"P", "P"}, {"Q", "Q"}, {"R", "R"},
    {"S", "S"}, {"T", "T"}, {"U", "U"}, {"V", "V"}, {"W", "W"}, {"X", "X"}, {"Y", "Y"},
    {"Z", "Z"}, {"(", "paren_open"}, {")", "paren_close"}, {"[", "bracket_open"},
    {"]", "bracket_close"}, {"{", "brace_open"}, {"}", "brace_close"}, {"<", "less"},
    {">", "greater"}, {" ", "space"}, {"-", "minus"}, {"_", "underscore"},
    {"!", "exclamation"}, {"?", "question"}, {"|", "bar"}, {"=", "equals"}, {"+", "plus"},
    {".", "period"}, {":", "colon"}, {";", "semicolon"}, {",", "comma"}, {"/", "slash"},
    {"\\", "backslash"},
};

inline constexpr int GlyphKeyCount = sizeof GlyphKeyNames / sizeof GlyphKeyNames[0];
static_assert(GlyphKeyCount == 58);
