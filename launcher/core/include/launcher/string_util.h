#pragma once
// Text conversion between UTF-8 (JSON and manifest text), the narrow
// encoding of file paths, and wide strings, plus two small narrow-string
// tools. Stateless; callable from any thread.
#include <cstddef>
#include <string>
#include <vector>

// Every malformed UTF-8 sequence becomes one U+FFFD; the conversion never
// fails. An empty input gives an empty result.
std::wstring Utf8ToWide(const std::string& text);
std::wstring Utf8ToWide(const char* text, std::size_t length);

// Code points that cannot exist (lone surrogates, values past U+10FFFF)
// become U+FFFD; a high/low surrogate pair is joined into one code point.
std::string WideToUtf8(const std::wstring& text);
std::string WideToUtf8(const wchar_t* text);

// The narrow encoding of file paths. On Linux that is UTF-8, whatever the
// process locale says, so that paths made here match the ones on disk.
std::string WideToAnsi(const std::wstring& text);
std::string WideToAnsi(const wchar_t* text);

// Appends the non-empty pieces of text between occurrences of separator.
// Leading separator characters are skipped first. An empty separator gives
// the whole text as one piece.
void SplitString(const std::string& text, const std::string& separator, std::vector<std::string>& out);

// Replaces every occurrence of the character from[0] by the whole of to.
std::string ReplaceChar(const std::string& text, const std::string& from, const std::string& to);
