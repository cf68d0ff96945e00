// SPDX-License-Identifier: MIT
#include "kit/base/Strings.h"

#include "kit/base/Locale.h"

#include <glib.h>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <memory>

namespace kit {

namespace {

ComparisonResult fromOrder(int order)
{
    return order < 0 ? ComparisonResult::Ascending : order > 0 ? ComparisonResult::Descending : ComparisonResult::Same;
}

icu::UnicodeString unicode(std::string_view text)
{
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

// Collators are costly to open; sorting calls this once per pair.
icu::Collator* collatorFor(const std::string& locale)
{
    thread_local std::map<std::string, std::unique_ptr<icu::Collator>> collators;
    auto it = collators.find(locale);
    if (it != collators.end())
        return it->second.get();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale(locale.c_str()), status));
    if (U_FAILURE(status))
        collator.reset();
    if (collator) {
        collator->setStrength(icu::Collator::SECONDARY);
    }
    return collators.emplace(locale, std::move(collator)).first->second.get();
}

bool isAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

constexpr std::string_view kUnreserved = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";

} // namespace

ComparisonResult caseInsensitiveCompare(std::string_view a, std::string_view b)
{
    return fromOrder(unicode(a).caseCompare(unicode(b), U_FOLD_CASE_DEFAULT | U_COMPARE_CODE_POINT_ORDER));
}

ComparisonResult localizedCaseInsensitiveCompare(std::string_view a, std::string_view b)
{
    return localizedCaseInsensitiveCompare(a, b, Locale::current(Locale::Category::Collate));
}

ComparisonResult localizedCaseInsensitiveCompare(std::string_view a, std::string_view b, std::string_view locale)
{
    icu::Collator* collator = collatorFor(std::string(locale));
    if (!collator)
        return caseInsensitiveCompare(a, b);
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult order = collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
        icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status))
        return caseInsensitiveCompare(a, b);
    return fromOrder(order);
}

bool hasPrefix(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool hasSuffix(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::vector<std::string> split(std::string_view text, std::string_view separator)
{
    std::vector<std::string> pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

std::string join(const std::vector<std::string>& pieces, std::string_view separator)
{
    std::string result;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i)
            result += separator;
        result += pieces[i];
    }
    return result;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string removingAll(std::string_view text, std::string_view what) { return replacingAll(text, what, {}); }

std::string replacingAll(std::string_view text, std::string_view what, std::string_view replacement)
{
    if (what.empty())
        return std::string(text);
    std::string result;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(what, start);
        if (at == std::string_view::npos) {
            result += text.substr(start);
            return result;
        }
        result += text.substr(start, at - start);
        result += replacement;
        start = at + what.size();
    }
}

CharacterSet::CharacterSet(std::string_view characters)
{
    for (char c : characters) {
        auto u = static_cast<unsigned char>(c);
        if (u < 128)
            m_allowed.set(u);
    }
}

CharacterSet CharacterSet::unreserved() { return CharacterSet(kUnreserved); }
CharacterSet CharacterSet::urlHostAllowed() { return unreserved().adding("!$&'()*+,;=:[]"); }
CharacterSet CharacterSet::urlQueryAllowed() { return unreserved().adding("!$&'()*+,;=:@/?"); }
CharacterSet CharacterSet::urlPathAllowed() { return unreserved().adding("!$&'()*+,;=:@/"); }

bool CharacterSet::contains(char c) const
{
    auto u = static_cast<unsigned char>(c);
    return u < 128 && m_allowed.test(u);
}

CharacterSet CharacterSet::adding(std::string_view characters) const
{
    CharacterSet result = *this;
    result.m_allowed |= CharacterSet(characters).m_allowed;
    return result;
}

CharacterSet CharacterSet::removing(std::string_view characters) const
{
    CharacterSet result = *this;
    result.m_allowed &= ~CharacterSet(characters).m_allowed;
    return result;
}

std::string percentEncode(std::string_view text, const CharacterSet& allowed)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (allowed.contains(c)) {
            result += c;
            continue;
        }
        auto u = static_cast<unsigned char>(c);
        result += '%';
        result += kHex[u >> 4];
        result += kHex[u & 0x0f];
    }
    return result;
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int high = hexDigitValue(text[i + 1]);
        int low = hexDigitValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        result += static_cast<char>(high * 16 + low);
        i += 2;
    }
    // The decoded bytes must still be text.
    if (!g_utf8_validate_len(result.data(), result.size(), nullptr))
        return std::nullopt;
    return result;
}

std::string vformat(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char buffer[256];
    int needed = std::vsnprintf(buffer, sizeof buffer, fmt, copy);
    va_end(copy);
    if (needed < 0)
        return {};
    if (static_cast<std::size_t>(needed) < sizeof buffer)
        return std::string(buffer, static_cast<std::size_t>(needed));
    std::string result(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(result.data(), result.size(), fmt, args);
    result.resize(static_cast<std::size_t>(needed));
    return result;
}

std::string format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string result = vformat(fmt, args);
    va_end(args);
    return result;
}

std::string hexString(const void* bytes, std::size_t length, bool uppercase)
{
    const char* digits = uppercase ? "0123456789ABCDEF" : "0123456789abcdef";
    auto* p = static_cast<const unsigned char*>(bytes);
    std::string result;
    result.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        result += digits[p[i] >> 4];
        result += digits[p[i] & 0x0f];
    }
    return result;
}

std::string validUTF8(std::string_view text)
{
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += char(lead);
            ++i;
            continue;
        }
        // The well-formed sequences: the lead byte fixes the length and the range of the
        // second byte (which excludes overlong forms, surrogates and values past U+10FFFF).
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xbf;
        if (lead >= 0xc2 && lead <= 0xdf)
            length = 2;
        else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            low = lead == 0xe0 ? 0xa0 : 0x80;
            high = lead == 0xed ? 0x9f : 0xbf;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            low = lead == 0xf0 ? 0x90 : 0x80;
            high = lead == 0xf4 ? 0x8f : 0xbf;
        }
        std::size_t valid = length ? 1 : 0;
        while (valid > 0 && valid < length && i + valid < text.size()) {
            auto next = static_cast<unsigned char>(text[i + valid]);
            unsigned char min = valid == 1 ? low : 0x80;
            unsigned char max = valid == 1 ? high : 0xbf;
            if (next < min || next > max)
                break;
            ++valid;
        }
        if (length && valid == length) {
            out.append(text.substr(i, length));
        } else {
            out += kReplacement;
        }
        i += std::max<std::size_t>(valid, 1);
    }
    return out;
}

} // namespace kit
