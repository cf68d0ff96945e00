// SPDX-License-Identifier: MIT
#pragma once

#include <bitset>
#include <cstdarg>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// The order of two values: the first before, equal to, or after the second.
enum class ComparisonResult { Ascending = -1, Same = 0, Descending = 1 };

// Character by character after full Unicode case folding: neither locale-aware nor numeric,
// so "iPhone10" sorts before "iPhone2". Invalid UTF-8 compares as U+FFFD.
ComparisonResult caseInsensitiveCompare(std::string_view a, std::string_view b);

// The collation order of the user's locale (LC_ALL, LC_COLLATE, LANG; "en_US" for C and POSIX)
// at secondary strength: case is ignored, accents are not.
ComparisonResult localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);
// The same with an explicit ICU locale identifier ("de_DE", "sv_SE").
ComparisonResult localizedCaseInsensitiveCompare(std::string_view a, std::string_view b, std::string_view locale);

// Byte by byte with ASCII case folding: for protocol tokens and identifiers (header names,
// profile names), never for text a person reads.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

bool hasPrefix(std::string_view text, std::string_view prefix);
bool hasSuffix(std::string_view text, std::string_view suffix);

// Splits at every occurrence of separator, keeping empty pieces: "a,,b" gives "a", "", "b";
// an empty text gives one empty piece. An empty separator gives the whole text.
std::vector<std::string> split(std::string_view text, std::string_view separator);
std::string join(const std::vector<std::string>& pieces, std::string_view separator);
// Without leading and trailing ASCII white space (space, tab, CR, LF, FF, VT).
std::string_view trim(std::string_view text);

// Removes every occurrence of what from text.
std::string removingAll(std::string_view text, std::string_view what);
// Replaces every occurrence of what (non-empty) with replacement.
std::string replacingAll(std::string_view text, std::string_view what, std::string_view replacement);

// The ASCII characters that percent-encoding leaves as they are. Bytes outside ASCII are
// always encoded.
class CharacterSet {
public:
    CharacterSet() = default;
    explicit CharacterSet(std::string_view characters);

    // Letters, digits and "-._~" (RFC 3986 unreserved): safe inside a query value.
    static CharacterSet unreserved();
    // The URL-host set: unreserved plus "!$&'()*+,;=:[]".
    static CharacterSet urlHostAllowed();
    // The URL-query set: unreserved plus "!$&'()*+,;=:@/?".
    static CharacterSet urlQueryAllowed();
    // The URL-path set: unreserved plus "!$&'()*+,;=:@/".
    static CharacterSet urlPathAllowed();

    bool contains(char c) const;
    CharacterSet adding(std::string_view characters) const;
    CharacterSet removing(std::string_view characters) const;

private:
    std::bitset<128> m_allowed;
};

// Every byte outside allowed becomes "%XX" (upper-case hexadecimal).
std::string percentEncode(std::string_view text, const CharacterSet& allowed);
// "%XX" sequences decoded ("+" stays "+"); nullopt when a "%" is not followed by two
// hexadecimal digits.
std::optional<std::string> percentDecode(std::string_view text);

// printf into a std::string; the format is checked by the compiler.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));

// The value 0…15 of a hexadecimal digit (either case); -1 for any other character.
int hexDigitValue(char c);
// Hexadecimal digits of bytes, two per byte, in order.
std::string hexString(const void* bytes, std::size_t length, bool uppercase = false);

// The text with every ill-formed UTF-8 sequence (a stray byte, a truncated or overlong
// sequence, a surrogate) replaced by U+FFFD, one per maximal ill-formed part, as Unicode
// recommends. Valid text comes back unchanged.
std::string validUTF8(std::string_view text);

} // namespace kit
