// SPDX-License-Identifier: MIT
#include "kit/base/StringsTable.h"

#include "kit/base/Strings.h"

#include <glib.h>

#include <cstdint>

namespace kit {

namespace {

void appendUtf8(std::string& out, std::uint32_t codePoint)
{
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        codePoint = 0xFFFD;
    char buffer[6];
    int length = g_unichar_to_utf8(gunichar(codePoint), buffer);
    out.append(buffer, std::size_t(length));
}

// Text in UTF-8 whatever the file's encoding; invalid sequences become U+FFFD.
std::string decode(std::string_view bytes)
{
    auto convert = [](std::string_view body, const char* encoding) {
        gsize written = 0;
        gchar* converted = g_convert_with_fallback(body.data(), gssize(body.size()), "UTF-8", encoding, "\xEF\xBF\xBD", nullptr,
            &written, nullptr);
        std::string out = converted ? std::string(converted, written) : std::string();
        g_free(converted);
        return out;
    };
    if (bytes.size() >= 2 && std::uint8_t(bytes[0]) == 0xFF && std::uint8_t(bytes[1]) == 0xFE)
        return convert(bytes.substr(2), "UTF-16LE");
    if (bytes.size() >= 2 && std::uint8_t(bytes[0]) == 0xFE && std::uint8_t(bytes[1]) == 0xFF)
        return convert(bytes.substr(2), "UTF-16BE");
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    if (g_utf8_validate(bytes.data(), gssize(bytes.size()), nullptr))
        return std::string(bytes);
    gchar* fixed = g_utf8_make_valid(bytes.data(), gssize(bytes.size()));
    std::string out(fixed);
    g_free(fixed);
    return out;
}

bool isBareChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-'
        || c == '$' || c == ':' || c == '/';
}

class Parser {
public:
    explicit Parser(std::string_view text)
        : m_text(text)
    {
    }

    void run(std::map<std::string, std::string, std::less<>>& entries, std::vector<StringsTable::ParseError>& errors)
    {
        while (true) {
            if (!skipSpaceAndComments()) {
                errors.push_back({ m_line, "unterminated comment" });
                return;
            }
            if (atEnd())
                return;
            int entryLine = m_line;
            std::size_t entryStart = m_pos;
            std::string problem;
            auto key = readToken(problem);
            std::optional<std::string> value;
            if (key) {
                if (!skipSpaceAndComments())
                    problem = "unterminated comment";
                else if (peek() == '=') {
                    ++m_pos;
                    if (!skipSpaceAndComments())
                        problem = "unterminated comment";
                    else
                        value = readToken(problem);
                } else if (peek() == ';') {
                    value = key; // "key"; stands for "key" = "key";
                } else if (problem.empty()) {
                    problem = "expected '=' or ';'";
                }
            }
            if (key && value && problem.empty()) {
                if (!skipSpaceAndComments())
                    problem = "unterminated comment";
                else if (peek() != ';')
                    problem = "expected ';'";
            }
            if (problem.empty() && key && value) {
                ++m_pos;
                entries.insert_or_assign(std::move(*key), std::move(*value));
                continue;
            }
            if (problem.empty())
                problem = "unexpected text";
            errors.push_back({ entryLine, problem });
            resyncAfterLineOf(entryStart, entryLine);
        }
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }

    // False for a /* comment that never ends.
    bool skipSpaceAndComments()
    {
        while (!atEnd()) {
            char c = m_text[m_pos];
            if (c == '\n') {
                ++m_line;
                ++m_pos;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++m_pos;
            } else if (m_text.compare(m_pos, 2, "//") == 0) {
                while (!atEnd() && m_text[m_pos] != '\n')
                    ++m_pos;
            } else if (m_text.compare(m_pos, 2, "/*") == 0) {
                std::size_t end = m_text.find("*/", m_pos + 2);
                if (end == std::string_view::npos) {
                    m_pos = m_text.size();
                    return false;
                }
                countLines(m_pos, end + 2);
                m_pos = end + 2;
            } else {
                return true;
            }
        }
        return true;
    }

    void countLines(std::size_t from, std::size_t to)
    {
        for (std::size_t i = from; i < to && i < m_text.size(); ++i)
            if (m_text[i] == '\n')
                ++m_line;
    }

    // A broken entry costs the rest of the line it started on, and nothing after it.
    void resyncAfterLineOf(std::size_t entryStart, int entryLine)
    {
        std::size_t newline = m_text.find('\n', entryStart);
        m_pos = newline == std::string_view::npos ? m_text.size() : newline + 1;
        m_line = entryLine + 1;
    }

    std::optional<std::string> readToken(std::string& problem)
    {
        if (peek() == '"')
            return readQuoted(problem);
        std::size_t start = m_pos;
        while (!atEnd() && isBareChar(m_text[m_pos]))
            ++m_pos;
        if (m_pos == start) {
            problem = "expected a string";
            return std::nullopt;
        }
        return std::string(m_text.substr(start, m_pos - start));
    }

    std::optional<std::string> readQuoted(std::string& problem)
    {
        ++m_pos; // the opening quote
        std::string out;
        while (!atEnd()) {
            char c = m_text[m_pos++];
            if (c == '"')
                return out;
            if (c == '\n')
                ++m_line;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (atEnd())
                break;
            char e = m_text[m_pos++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '0':
                out += '\0';
                break;
            case 'U':
            case 'u': {
                auto unit = readHex4();
                if (!unit) {
                    problem = "bad \\U escape";
                    return std::nullopt;
                }
                std::uint32_t codePoint = *unit;
                // A UTF-16 surrogate pair written as two escapes.
                bool high = codePoint >= 0xD800 && codePoint <= 0xDBFF;
                if (high && (m_text.compare(m_pos, 2, "\\U") == 0 || m_text.compare(m_pos, 2, "\\u") == 0)) {
                    std::size_t saved = m_pos;
                    m_pos += 2;
                    auto low = readHex4();
                    if (low && *low >= 0xDC00 && *low <= 0xDFFF)
                        codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (*low - 0xDC00);
                    else
                        m_pos = saved;
                }
                appendUtf8(out, codePoint);
                break;
            }
            case '\n':
                ++m_line;
                out += '\n';
                break;
            default:
                // \" \\ \' and anything else stand for the character itself.
                out += e;
            }
        }
        problem = "unterminated string";
        return std::nullopt;
    }

    std::optional<std::uint32_t> readHex4()
    {
        if (m_pos + 4 > m_text.size())
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            int digit = hexDigitValue(m_text[m_pos + std::size_t(i)]);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + std::uint32_t(digit);
        }
        m_pos += 4;
        return value;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 1;
};

} // namespace

StringsTable StringsTable::parse(std::string_view bytes)
{
    StringsTable table;
    std::string text = decode(bytes);
    Parser(text).run(table.m_entries, table.m_errors);
    return table;
}

std::optional<std::string_view> StringsTable::lookup(std::string_view key) const
{
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        return std::nullopt;
    return std::string_view(it->second);
}

} // namespace kit
