// SPDX-License-Identifier: MIT
#include "kit/base/PropertyList.h"

#include <plist/plist.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kit {

namespace {

// libplist copies every reference of a binary object, so a small file of shared references
// can expand into an enormous tree (and its binary writer is quadratic in the node count).
// Without shared containers a file expands to at most one node per reference, so no more than
// one per byte of its objects; allow twice that, and never more than an absolute cap.
constexpr std::uint64_t kMaxExpandedNodes = 8 * 1024 * 1024;
constexpr std::uint64_t kExpansionAllowance = 1024;

constexpr std::string_view kBinaryMagic = "bplist00";

Error fail(std::string message) { return Error { "property list: " + std::move(message) }; }

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// What the pre-scan learns besides "acceptable": the dates in document order, at full range
// and precision, because libplist keeps only 32-bit seconds.
struct ScanResult {
    std::vector<std::optional<double>> dates;
};

// ---- XML pre-scan ----------------------------------------------------------------------------

bool isNameChar(char c) { return c != '>' && c != '/' && c != ' ' && c != '\t' && c != '\r' && c != '\n'; }

// "2026-12-08T15:46:33Z", optionally with fractional seconds; libplist reads the same form.
std::optional<double> parseISODate(std::string_view text)
{
    auto trimmed = text;
    while (!trimmed.empty()
        && (trimmed.front() == ' ' || trimmed.front() == '\n' || trimmed.front() == '\t' || trimmed.front() == '\r'))
        trimmed.remove_prefix(1);
    while (
        !trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\n' || trimmed.back() == '\t' || trimmed.back() == '\r'))
        trimmed.remove_suffix(1);
    std::size_t pos = 0;
    auto number = [&](std::size_t digits, long& out) {
        out = 0;
        for (std::size_t i = 0; i < digits; ++i, ++pos) {
            if (pos >= trimmed.size() || trimmed[pos] < '0' || trimmed[pos] > '9')
                return false;
            out = out * 10 + (trimmed[pos] - '0');
        }
        return true;
    };
    auto expect = [&](char c) {
        if (pos >= trimmed.size() || trimmed[pos] != c)
            return false;
        ++pos;
        return true;
    };
    bool negativeYear = false;
    if (pos < trimmed.size() && trimmed[pos] == '-') {
        negativeYear = true;
        ++pos;
    }
    long year, month, day, hour, minute, second;
    if (!number(4, year) || !expect('-') || !number(2, month) || !expect('-') || !number(2, day) || !expect('T')
        || !number(2, hour) || !expect(':') || !number(2, minute) || !expect(':') || !number(2, second))
        return std::nullopt;
    if (negativeYear)
        year = -year;
    double fraction = 0;
    if (pos < trimmed.size() && trimmed[pos] == '.') {
        ++pos;
        double scale = 0.1;
        bool any = false;
        while (pos < trimmed.size() && trimmed[pos] >= '0' && trimmed[pos] <= '9') {
            fraction += (trimmed[pos] - '0') * scale;
            scale /= 10;
            ++pos;
            any = true;
        }
        if (!any)
            return std::nullopt;
    }
    if (!expect('Z') || pos != trimmed.size())
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    // Days from civil (proleptic Gregorian), relative to 1970-01-01.
    long y = year - (month <= 2 ? 1 : 0);
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long mp = (month + 9) % 12;
    long doy = (153 * mp + 2) / 5 + day - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long days = era * 146097 + doe - 719468;
    double unix = double(days) * 86400.0 + double(hour * 3600 + minute * 60 + second) + fraction;
    return unix - Date::kUnixToReference;
}

Result<ScanResult> scanXML(std::string_view text)
{
    struct Open {
        bool container = false;
        bool dict = false;
        bool expectKey = true; // inside a dictionary: the next child must be a key
    };
    ScanResult result;
    int containerDepth = 0;
    std::vector<Open> open;
    const std::string tooDeep = "nesting deeper than " + std::to_string(PropertyList::kMaxDepth) + " levels";
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        std::size_t lt = text.find('<', i);
        if (lt == std::string_view::npos)
            break;
        i = lt + 1;
        if (text.substr(lt, 4) == "<!--") {
            std::size_t end = text.find("-->", lt + 4);
            if (end == std::string_view::npos)
                return fail("unterminated comment");
            i = end + 3;
            continue;
        }
        if (text.substr(lt, 9) == "<![CDATA[") {
            std::size_t end = text.find("]]>", lt + 9);
            if (end == std::string_view::npos)
                return fail("unterminated CDATA section");
            i = end + 3;
            continue;
        }
        if (text.substr(lt, 2) == "<?") {
            std::size_t end = text.find("?>", lt + 2);
            if (end == std::string_view::npos)
                return fail("unterminated processing instruction");
            i = end + 2;
            continue;
        }
        if (text.substr(lt, 2) == "<!") {
            // A declaration, possibly with an internal subset in brackets.
            int brackets = 0;
            std::size_t j = lt + 2;
            for (; j < n; ++j) {
                if (text[j] == '[')
                    ++brackets;
                else if (text[j] == ']')
                    --brackets;
                else if (text[j] == '>' && brackets <= 0)
                    break;
            }
            if (j >= n)
                return fail("unterminated declaration");
            i = j + 1;
            continue;
        }
        std::size_t gt = text.find('>', lt + 1);
        if (gt == std::string_view::npos)
            return fail("unterminated tag");
        std::string_view tag = text.substr(lt + 1, gt - lt - 1);
        i = gt + 1;
        if (!tag.empty() && tag[0] == '/') {
            if (!open.empty()) {
                if (open.back().dict && !open.back().expectKey)
                    return fail("dictionary key without a value");
                if (open.back().container)
                    --containerDepth;
                open.pop_back();
            }
            continue;
        }
        bool selfClosing = !tag.empty() && tag.back() == '/';
        std::size_t nameEnd = 0;
        while (nameEnd < tag.size() && isNameChar(tag[nameEnd]))
            ++nameEnd;
        std::string_view name = tag.substr(0, nameEnd);
        if (!open.empty() && open.back().dict) {
            bool isKey = name == "key";
            if (isKey != open.back().expectKey)
                return fail(isKey ? "dictionary key without a value" : "dictionary value without a key");
            open.back().expectKey = !isKey;
        }
        if (name == "date") {
            std::size_t close = selfClosing ? i : text.find('<', i);
            if (close == std::string_view::npos)
                return fail("unterminated date");
            auto date = selfClosing ? std::nullopt : parseISODate(text.substr(i, close - i));
            if (!date)
                return fail("bad date");
            result.dates.push_back(date);
        }
        if (selfClosing)
            continue;
        Open element;
        element.container = name == "array" || name == "dict";
        element.dict = name == "dict";
        open.push_back(element);
        if (element.container)
            ++containerDepth;
        // Beyond the containers: the plist element and one leaf.
        if (containerDepth > PropertyList::kMaxDepth || open.size() > std::size_t(PropertyList::kMaxDepth) + 2)
            return fail(tooDeep);
    }
    return result;
}

// ---- Binary pre-scan -------------------------------------------------------------------------

class BinaryScanner {
public:
    explicit BinaryScanner(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes)
    {
    }

    Result<ScanResult> scan()
    {
        if (m_bytes.size() < kBinaryMagic.size() + 32 + 1)
            return fail("binary data too short");
        const std::uint8_t* trailer = m_bytes.data() + m_bytes.size() - 32;
        m_offsetSize = trailer[6];
        m_refSize = trailer[7];
        m_objectCount = readBE(trailer + 8, 8);
        m_root = readBE(trailer + 16, 8);
        m_offsetTable = readBE(trailer + 24, 8);
        m_objectsEnd = m_bytes.size() - 32;
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return fail("bad binary trailer sizes");
        if (m_objectCount == 0 || m_root >= m_objectCount)
            return fail("bad binary object count");
        if (m_offsetTable < kBinaryMagic.size() || m_offsetTable >= m_objectsEnd
            || m_objectCount > (m_objectsEnd - m_offsetTable) / m_offsetSize)
            return fail("binary offset table out of bounds");
        // A reference must be able to name every object.
        if (m_refSize < 8 && m_objectCount > (std::uint64_t(1) << (8 * m_refSize)))
            return fail("binary reference size too small");

        m_state.assign(m_objectCount, State::Unvisited);
        m_expanded.assign(m_objectCount, 0);
        m_hasDate = false;
        m_maxExpanded = std::min(kMaxExpandedNodes, 2 * m_offsetTable + kExpansionAllowance);
        auto size = visit(m_root, 0);
        if (!size.ok())
            return Error { size.error() };
        if (*size > m_maxExpanded)
            return fail("binary data expands to too many objects");

        ScanResult result;
        if (m_hasDate)
            collectDates(m_root, result.dates);
        return result;
    }

private:
    enum class State : std::uint8_t { Unvisited, InProgress, Done };

    struct Header {
        std::uint8_t type;
        std::uint64_t count; // bytes, characters or entries, as the type says
        std::uint64_t payload; // offset of the first byte after the marker and length
    };

    static std::uint64_t readBE(const std::uint8_t* p, unsigned size)
    {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < size; ++i)
            v = (v << 8) | p[i];
        return v;
    }

    std::optional<std::uint64_t> offsetOf(std::uint64_t index) const
    {
        std::uint64_t at = m_offsetTable + index * m_offsetSize;
        std::uint64_t offset = readBE(m_bytes.data() + at, m_offsetSize);
        if (offset < kBinaryMagic.size() || offset >= m_offsetTable)
            return std::nullopt;
        return offset;
    }

    bool fits(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_offsetTable && length <= m_offsetTable - offset;
    }

    // The marker and length of an object; its payload is bounds-checked against the objects area.
    Result<Header> header(std::uint64_t index) const
    {
        auto offset = offsetOf(index);
        if (!offset)
            return fail("binary object offset out of bounds");
        std::uint8_t marker = m_bytes[*offset];
        Header h { std::uint8_t(marker >> 4), std::uint64_t(marker & 0x0f), *offset + 1 };
        switch (h.type) {
        case 0x0:
            if (marker != 0x00 && marker != 0x08 && marker != 0x09 && marker != 0x0f)
                return fail("unknown binary object type");
            return h;
        case 0x1:
        case 0x2:
            if ((h.type == 0x1 && h.count > 4) || (h.type == 0x2 && h.count != 2 && h.count != 3))
                return fail("bad binary number size");
            if (!fits(h.payload, std::uint64_t(1) << h.count))
                return fail("binary number out of bounds");
            return h;
        case 0x3:
            if (marker != 0x33 || !fits(h.payload, 8))
                return fail("bad binary date");
            return h;
        case 0x8:
            if (!fits(h.payload, h.count + 1))
                return fail("binary UID out of bounds");
            return h;
        case 0x4:
        case 0x5:
        case 0x6:
        case 0xa:
        case 0xc:
        case 0xd:
            break;
        default:
            return fail("unknown binary object type");
        }
        if (h.count == 0x0f) {
            // The length follows as an integer object.
            if (!fits(h.payload, 1))
                return fail("binary length out of bounds");
            std::uint8_t lengthMarker = m_bytes[h.payload];
            if ((lengthMarker >> 4) != 0x1 || (lengthMarker & 0x0f) > 3)
                return fail("bad binary length marker");
            unsigned size = 1u << (lengthMarker & 0x0f);
            if (!fits(h.payload + 1, size))
                return fail("binary length out of bounds");
            h.count = readBE(m_bytes.data() + h.payload + 1, size);
            h.payload += 1 + size;
        }
        std::uint64_t unit = 1;
        if (h.type == 0x6)
            unit = 2;
        else if (h.type == 0xa || h.type == 0xc)
            unit = m_refSize;
        else if (h.type == 0xd)
            unit = 2 * std::uint64_t(m_refSize);
        if (h.count > (m_offsetTable - std::min(h.payload, m_offsetTable)) / unit || !fits(h.payload, h.count * unit))
            return fail("binary object length out of bounds");
        return h;
    }

    // libplist mishandles keys that are not clean text and cuts strings at a NUL; ASCII strings
    // must be ASCII and UTF-16 strings well-formed, without NUL.
    bool isCleanString(const Header& h) const
    {
        const std::uint8_t* p = m_bytes.data() + h.payload;
        if (h.type == 0x5) {
            for (std::uint64_t i = 0; i < h.count; ++i)
                if (p[i] == 0 || p[i] >= 0x80)
                    return false;
            return true;
        }
        for (std::uint64_t i = 0; i < h.count; ++i) {
            unsigned unit = (unsigned(p[2 * i]) << 8) | p[2 * i + 1];
            if (unit == 0 || (unit >= 0xdc00 && unit <= 0xdfff))
                return false;
            if (unit >= 0xd800 && unit <= 0xdbff) {
                if (i + 1 >= h.count)
                    return false;
                unsigned next = (unsigned(p[2 * i + 2]) << 8) | p[2 * i + 3];
                if (next < 0xdc00 || next > 0xdfff)
                    return false;
                ++i;
            }
        }
        return true;
    }

    std::uint64_t refAt(std::uint64_t offset) const { return readBE(m_bytes.data() + offset, m_refSize); }

    // Depth-first walk with memoised expanded sizes; an object met again on the current path is
    // a cycle.
    Result<std::uint64_t> visit(std::uint64_t index, int depth)
    {
        if (index >= m_objectCount)
            return fail("binary object reference out of range");
        if (m_state[index] == State::Done)
            return m_expanded[index];
        if (m_state[index] == State::InProgress)
            return fail("binary object references itself");
        auto h = header(index);
        if (!h.ok())
            return Error { h.error() };
        if (h->type == 0x3)
            m_hasDate = true;
        if ((h->type == 0x5 || h->type == 0x6) && !isCleanString(*h))
            return fail("binary string with a NUL, a non-ASCII byte or a broken surrogate");
        bool container = h->type == 0xa || h->type == 0xc || h->type == 0xd;
        if (!container) {
            m_state[index] = State::Done;
            m_expanded[index] = 1;
            return std::uint64_t(1);
        }
        if (depth + 1 > PropertyList::kMaxDepth)
            return fail("nesting deeper than " + std::to_string(PropertyList::kMaxDepth) + " levels");
        m_state[index] = State::InProgress;
        std::uint64_t total = 1;
        std::uint64_t refs = h->type == 0xd ? 2 * h->count : h->count;
        for (std::uint64_t i = 0; i < refs; ++i) {
            std::uint64_t child = refAt(h->payload + i * m_refSize);
            if (h->type == 0xd && i < h->count) {
                // Keys must be strings and cannot nest.
                if (child >= m_objectCount)
                    return fail("binary object reference out of range");
                auto key = header(child);
                if (!key.ok())
                    return Error { key.error() };
                if (key->type != 0x5 && key->type != 0x6)
                    return fail("binary dictionary key is not a string");
                auto checked = visit(child, depth + 1);
                if (!checked.ok())
                    return checked;
                total += 1;
                continue;
            }
            auto size = visit(child, depth + 1);
            if (!size.ok())
                return size;
            total += *size;
            if (total > m_maxExpanded)
                return fail("binary data expands to too many objects");
        }
        m_state[index] = State::Done;
        m_expanded[index] = total;
        return total;
    }

    // Dates in the order libplist's tree presents them: arrays by element, dictionaries by entry.
    void collectDates(std::uint64_t index, std::vector<std::optional<double>>& dates) const
    {
        auto h = header(index);
        if (!h.ok())
            return;
        if (h->type == 0x3) {
            std::uint64_t raw = readBE(m_bytes.data() + h->payload, 8);
            double seconds;
            std::memcpy(&seconds, &raw, sizeof seconds);
            dates.push_back(std::isfinite(seconds) ? std::optional<double>(seconds) : std::nullopt);
            return;
        }
        if (h->type == 0xa || h->type == 0xc) {
            for (std::uint64_t i = 0; i < h->count; ++i)
                collectDates(refAt(h->payload + i * m_refSize), dates);
        } else if (h->type == 0xd) {
            for (std::uint64_t i = 0; i < h->count; ++i)
                collectDates(refAt(h->payload + (h->count + i) * m_refSize), dates);
        }
    }

    std::span<const std::uint8_t> m_bytes;
    unsigned m_offsetSize = 0;
    unsigned m_refSize = 0;
    std::uint64_t m_objectCount = 0;
    std::uint64_t m_root = 0;
    std::uint64_t m_offsetTable = 0;
    std::uint64_t m_objectsEnd = 0;
    std::uint64_t m_maxExpanded = 0;
    bool m_hasDate = false;
    std::vector<State> m_state;
    std::vector<std::uint64_t> m_expanded;
};

// ---- libplist tree to Value ------------------------------------------------------------------

std::size_t countDates(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_DATE:
        return 1;
    case PLIST_ARRAY: {
        std::size_t total = 0;
        std::uint32_t size = plist_array_get_size(node);
        for (std::uint32_t i = 0; i < size; ++i)
            total += countDates(plist_array_get_item(node, i));
        return total;
    }
    case PLIST_DICT: {
        std::size_t total = 0;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iter, &key, &item);
            std::free(key);
            if (!item)
                break;
            total += countDates(item);
        }
        std::free(iter);
        return total;
    }
    default:
        return 0;
    }
}

class TreeReader {
public:
    explicit TreeReader(const std::vector<std::optional<double>>* dates)
        : m_dates(dates)
    {
    }

    Result<Value> convert(plist_t node, int depth)
    {
        if (!node)
            return fail("missing value");
        plist_type type = plist_get_node_type(node);
        if ((type == PLIST_ARRAY || type == PLIST_DICT) && depth > PropertyList::kMaxDepth)
            return fail("nesting deeper than " + std::to_string(PropertyList::kMaxDepth) + " levels");
        switch (type) {
        case PLIST_BOOLEAN: {
            std::uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return Value(b != 0);
        }
        case PLIST_UINT: {
            // Stored as 64 bits; negative integers are their two's complement.
            std::uint64_t u = 0;
            plist_get_uint_val(node, &u);
            return Value(static_cast<std::int64_t>(u));
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            return Value(d);
        }
        case PLIST_STRING:
        case PLIST_KEY: {
            char* s = nullptr;
            plist_get_string_val(node, &s);
            std::unique_ptr<char, FreeDeleter> owned(s);
            return Value(std::string(s ? s : ""));
        }
        case PLIST_DATE: {
            std::int32_t sec = 0, usec = 0;
            plist_get_date_val(node, &sec, &usec);
            double seconds = double(sec) + double(usec) / 1e6;
            if (m_dates && m_nextDate < m_dates->size()) {
                if (auto exact = (*m_dates)[m_nextDate])
                    seconds = *exact;
            }
            ++m_nextDate;
            return Value(Date(seconds));
        }
        case PLIST_DATA: {
            char* bytes = nullptr;
            std::uint64_t length = 0;
            plist_get_data_val(node, &bytes, &length);
            std::unique_ptr<char, FreeDeleter> owned(bytes);
            if (!bytes)
                return Value(Data {});
            auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
            return Value(Data(begin, begin + length));
        }
        case PLIST_UID: {
            std::uint64_t uid = 0;
            plist_get_uid_val(node, &uid);
            return Value(Dict { { "CF$UID", Value(static_cast<std::int64_t>(uid)) } });
        }
        case PLIST_ARRAY: {
            Array array;
            std::uint32_t size = plist_array_get_size(node);
            array.reserve(size);
            for (std::uint32_t i = 0; i < size; ++i) {
                auto item = convert(plist_array_get_item(node, i), depth + 1);
                if (!item.ok())
                    return item;
                array.push_back(std::move(*item));
            }
            return Value(std::move(array));
        }
        case PLIST_DICT: {
            Dict dict;
            plist_dict_iter iter = nullptr;
            plist_dict_new_iter(node, &iter);
            std::unique_ptr<void, FreeDeleter> ownedIter(iter);
            for (;;) {
                char* key = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(node, iter, &key, &item);
                std::unique_ptr<char, FreeDeleter> ownedKey(key);
                if (!item)
                    break;
                auto value = convert(item, depth + 1);
                if (!value.ok())
                    return value;
                // A repeated key: the later entry wins.
                dict.insert_or_assign(std::string(key ? key : ""), std::move(*value));
            }
            return Value(std::move(dict));
        }
        default:
            return fail("unknown value type");
        }
    }

private:
    const std::vector<std::optional<double>>* m_dates;
    std::size_t m_nextDate = 0;
};

// ---- Value to libplist tree ------------------------------------------------------------------

bool isValidUTF8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (c == 0)
                return false;
            ++i;
            continue;
        }
        int extra;
        std::uint32_t cp;
        if ((c & 0xe0) == 0xc0) {
            extra = 1;
            cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            extra = 2;
            cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3f);
        }
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10ffff
            || (cp >= 0xd800 && cp <= 0xdfff))
            return false;
        i += extra + 1;
    }
    return true;
}

Result<PlistPtr> toPlist(const Value& value, int depth)
{
    if ((value.isArray() || value.isDict()) && depth > PropertyList::kMaxDepth)
        return fail("nesting deeper than " + std::to_string(PropertyList::kMaxDepth) + " levels");
    switch (value.type()) {
    case Value::Type::Null:
        return fail("a null value cannot be written");
    case Value::Type::Object:
        return fail("an object value cannot be written");
    case Value::Type::Bool:
        return PlistPtr(plist_new_bool(*value.asBool() ? 1 : 0));
    case Value::Type::Integer:
        return PlistPtr(plist_new_uint(static_cast<std::uint64_t>(*value.asInteger())));
    case Value::Type::Real:
        return PlistPtr(plist_new_real(*value.asNumber()));
    case Value::Type::String: {
        const std::string& s = *value.asString();
        if (!isValidUTF8(s))
            return fail("a string is not valid UTF-8 or contains NUL");
        return PlistPtr(plist_new_string(s.c_str()));
    }
    case Value::Type::Date: {
        double seconds = value.asDate()->timeIntervalSinceReferenceDate();
        if (!std::isfinite(seconds))
            return fail("a date is not finite");
        double whole = std::floor(seconds);
        double micro = std::round((seconds - whole) * 1e6);
        if (micro >= 1e6) {
            whole += 1;
            micro -= 1e6;
        }
        if (whole < double(std::numeric_limits<std::int32_t>::min()) || whole > double(std::numeric_limits<std::int32_t>::max()))
            return fail("a date lies outside the years 1932 to 2069 that can be written");
        return PlistPtr(plist_new_date(static_cast<std::int32_t>(whole), static_cast<std::int32_t>(micro)));
    }
    case Value::Type::Data: {
        const Data& d = *value.asData();
        return PlistPtr(plist_new_data(reinterpret_cast<const char*>(d.data()), d.size()));
    }
    case Value::Type::Array: {
        PlistPtr array(plist_new_array());
        for (const Value& item : *value.asArray()) {
            auto child = toPlist(item, depth + 1);
            if (!child.ok())
                return child;
            plist_array_append_item(array.get(), child->release());
        }
        return array;
    }
    case Value::Type::Dict: {
        PlistPtr dict(plist_new_dict());
        for (const auto& [key, item] : *value.asDict()) {
            if (!isValidUTF8(key))
                return fail("a key is not valid UTF-8 or contains NUL");
            auto child = toPlist(item, depth + 1);
            if (!child.ok())
                return child;
            plist_dict_set_item(dict.get(), key.c_str(), child->release());
        }
        return dict;
    }
    }
    return fail("unknown value type");
}

} // namespace

Result<Value> PropertyList::read(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > kMaxInputBytes)
        return fail("larger than " + std::to_string(kMaxInputBytes / (1024 * 1024)) + " MiB");
    if (bytes.size() >= 3 && bytes[0] == 0xef && bytes[1] == 0xbb && bytes[2] == 0xbf)
        bytes = bytes.subspan(3);
    if (bytes.empty())
        return fail("empty input");

    bool binary = bytes.size() >= kBinaryMagic.size() && std::memcmp(bytes.data(), kBinaryMagic.data(), kBinaryMagic.size()) == 0;
    // XML starts with markup after optional white space; anything else (random bytes, a
    // truncated binary header) is no property list at all, whatever bytes it holds.
    if (!binary) {
        std::size_t first = 0;
        while (
            first < bytes.size() && (bytes[first] == ' ' || bytes[first] == '\t' || bytes[first] == '\r' || bytes[first] == '\n'))
            ++first;
        if (first == bytes.size() || bytes[first] != '<')
            return Error { "not a property list (neither XML nor binary)" };
    }
    Result<ScanResult> scan = binary ? BinaryScanner(bytes).scan()
                                     : scanXML(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!scan.ok())
        return Error { scan.error() };

    plist_t root = nullptr;
    if (binary) {
        plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &root);
    } else {
        // The XML reader wants the text to end at the given length; an embedded NUL would not
        // be read past, so refuse it rather than read a prefix as the whole document.
        if (std::memchr(bytes.data(), 0, bytes.size()))
            return fail("NUL byte in XML");
        plist_from_xml(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &root);
    }
    if (!root)
        return fail(binary ? "malformed binary data" : "malformed XML");
    PlistPtr owned(root);

    const auto& dates = scan->dates;
    bool datesMatch = !dates.empty() && countDates(root) == dates.size();
    TreeReader reader(datesMatch ? &dates : nullptr);
    return reader.convert(root, 1);
}

Result<Value> PropertyList::read(std::string_view text)
{
    return read(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Result<Value> PropertyList::readFile(const std::string& path)
{
    // Errors leave the path to the caller, who names the file in its own words.
    struct stat st { };
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return Error { std::strerror(path.empty() ? ENOENT : errno) };
    // Only regular files: a FIFO would block the open, a device could be endless.
    if (!S_ISREG(st.st_mode))
        return Error { "not a regular file" };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Error { std::strerror(errno) };
    // Checked again on what was opened, in case the file was swapped in between.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Error { "not a regular file" };
    }
    auto tooLarge = [] { return Error { "larger than " + std::to_string(kMaxInputBytes / (1024 * 1024)) + " MiB" }; };
    if (static_cast<std::uint64_t>(st.st_size) > kMaxInputBytes) {
        ::close(fd);
        return Result<Value>(tooLarge());
    }
    Data bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            int saved = errno;
            ::close(fd);
            return Error { std::strerror(saved) };
        }
        if (got == 0)
            break;
        // The file may grow while it is read.
        if (bytes.size() + static_cast<std::size_t>(got) > kMaxInputBytes) {
            ::close(fd);
            return Result<Value>(tooLarge());
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    ::close(fd);
    return read(std::span<const std::uint8_t>(bytes));
}

Result<void> PropertyList::canWrite(const Value& value)
{
    auto tree = toPlist(value, 1);
    if (!tree.ok())
        return Error { tree.error() };
    return {};
}

Result<Data> PropertyList::write(const Value& value, Format format)
{
    auto tree = toPlist(value, 1);
    if (!tree.ok())
        return Error { tree.error() };
    char* out = nullptr;
    std::uint32_t length = 0;
    if (format == Format::XML)
        plist_to_xml(tree->get(), &out, &length);
    else
        plist_to_bin(tree->get(), &out, &length);
    if (!out)
        return fail("could not be written");
    auto* begin = reinterpret_cast<const std::uint8_t*>(out);
    Data bytes(begin, begin + length);
    if (format == Format::XML)
        plist_to_xml_free(out);
    else
        plist_to_bin_free(out);
    return bytes;
}

} // namespace kit
