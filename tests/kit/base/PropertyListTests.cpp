// SPDX-License-Identifier: MIT
#include "kit/base/PropertyList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using kit::Data;
using kit::PropertyList;
using kit::Value;

namespace {

std::string fixture(const std::string& name) { return std::string(QUARRIN_TEST_DATA_DIR) + "/plist/" + name; }

Data load(const std::string& name)
{
    std::ifstream in(fixture(name), std::ios::binary);
    return Data(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string nestedXML(int depth)
{
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i)
        s += "<array>";
    s += "<integer>7</integer>";
    for (int i = 0; i < depth; ++i)
        s += "</array>";
    return s + "</plist>\n";
}

// A binary list of `depth` one-element arrays around an integer, encoded by hand so that the
// writer's own depth guard is not involved.
Data nestedBinary(int depth)
{
    Data body = { 'b', 'p', 'l', 'i', 's', 't', '0', '0' };
    std::vector<std::uint64_t> offsets;
    for (int i = 0; i < depth; ++i) {
        offsets.push_back(body.size());
        body.push_back(0xa1);
        body.push_back(std::uint8_t((i + 1) >> 8));
        body.push_back(std::uint8_t(i + 1));
    }
    offsets.push_back(body.size());
    body.push_back(0x10);
    body.push_back(7);
    std::uint64_t table = body.size();
    for (auto o : offsets) {
        body.push_back(std::uint8_t(o >> 8));
        body.push_back(std::uint8_t(o));
    }
    std::uint8_t trailer[32] = {};
    trailer[6] = 2;
    trailer[7] = 2;
    auto put = [&](int at, std::uint64_t v) {
        for (int i = 7; i >= 0; --i, v >>= 8)
            trailer[at + i] = std::uint8_t(v);
    };
    put(8, offsets.size());
    put(16, 0);
    put(24, table);
    body.insert(body.end(), trailer, trailer + 32);
    return body;
}

Value nestedValue(int depth)
{
    Value v = 7;
    for (int i = 0; i < depth; ++i) {
        kit::Array wrapper;
        wrapper.push_back(std::move(v));
        v = Value(std::move(wrapper));
    }
    return v;
}

int depthOf(const Value& v)
{
    int depth = 0;
    const Value* at = &v;
    while (at->isArray()) {
        ++depth;
        at = &at->at(0);
    }
    return depth;
}

void expectSample(const Value& root, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_TRUE(root.isDict());
    EXPECT_EQ(root["Name"], Value("Phone 12,8"));
    EXPECT_EQ(root["Unicode"], Value("Grüße — 日本語 🎉"));
    EXPECT_EQ(root["Empty"], Value(""));
    EXPECT_EQ(root["Negative"].asInteger(), -42);
    EXPECT_EQ(root["MinInt64"].asInteger(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(root["MaxInt64"].asInteger(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(root["Zero"].asInteger(), 0);
    EXPECT_EQ(root["Big"].asInteger(), 4294967296LL);
    EXPECT_TRUE(root["Pi"].isReal());
    EXPECT_DOUBLE_EQ(root["Pi"].doubleValue(), 3.25);
    EXPECT_DOUBLE_EQ(root["NegativeReal"].doubleValue(), -0.125);
    EXPECT_DOUBLE_EQ(root["Huge"].doubleValue(), 1e300);
    EXPECT_EQ(root["Yes"].asBool(), true);
    EXPECT_EQ(root["No"].asBool(), false);
    ASSERT_TRUE(root["Bytes"].isData());
    ASSERT_EQ(root["Bytes"].asData()->size(), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ((*root["Bytes"].asData())[i], i);
    EXPECT_TRUE(root["EmptyBytes"].isData());
    EXPECT_TRUE(root["EmptyBytes"].asData()->empty());
    EXPECT_EQ(root["Released"], Value(kit::Date(818437593.0)));
    // Both inside and outside the 32-bit range of seconds since 2001.
    const Value& dates = root["Dates"];
    ASSERT_EQ(dates.count(), 4u);
    EXPECT_EQ(dates.at(0), Value(kit::Date(0)));
    EXPECT_EQ(dates.at(1), Value(kit::Date(-335374200.0)));
    EXPECT_EQ(dates.at(2), Value(kit::Date(3137227200.0)));
    EXPECT_EQ(dates.at(3), Value(kit::Date(-3187296000.0)));
    EXPECT_EQ(root.valueForKeyPath("BatteryLife.Audio Playback.Value"), Value("40"));
    EXPECT_EQ(root.valueForKeyPath("BatteryLife.Audio Playback.NumericValue").asInteger(), 40);
    EXPECT_EQ(root.valueForKeyPath("BatteryLife.Talk.Value"), Value("14"));
    const Value& deepest = root.valueForKeyPath("BatteryLife.Nested.Deeper.Deepest");
    EXPECT_EQ(deepest, Value(kit::Array { 1, kit::Array { 2, kit::Array { 3 } } }));
    EXPECT_TRUE(root["EmptyArray"].isArray());
    EXPECT_EQ(root["EmptyArray"].count(), 0u);
    EXPECT_TRUE(root["EmptyDict"].isDict());
    EXPECT_EQ(root["EmptyDict"].count(), 0u);
}

Value writableSample()
{
    return kit::Dict {
        { "Negative", -7 },
        { "MinInt64", std::numeric_limits<std::int64_t>::min() },
        { "MaxInt64", std::numeric_limits<std::int64_t>::max() },
        { "Real", -2.5e-3 },
        { "Text", "a < b & c > \"d\" 'e' ü" },
        { "Bytes", Data { 0, 1, 0xfe, 0xff } },
        { "When", kit::Date(818437593.0) },
        { "Before2001", kit::Date(-335374200.0) },
        { "Flag", true },
        { "List", kit::Array { kit::Dict { { "k", kit::Array {} } }, kit::Dict {}, "x" } },
    };
}

} // namespace

TEST(PropertyList, ReadsFilesWrittenByAnotherProducer)
{
    auto xml = PropertyList::readFile(fixture("sample.xml"));
    ASSERT_TRUE(xml.ok()) << xml.error();
    expectSample(*xml, "XML");
    auto binary = PropertyList::readFile(fixture("sample.bin"));
    ASSERT_TRUE(binary.ok()) << binary.error();
    expectSample(*binary, "binary");
    EXPECT_EQ(*xml, *binary);

    auto array = PropertyList::readFile(fixture("array-root.xml"));
    ASSERT_TRUE(array.ok()) << array.error();
    EXPECT_EQ(*array, Value(kit::Array { "a", 1, 2.5 }));
}

TEST(PropertyList, ByteOrderMarkIsSkipped)
{
    auto result = PropertyList::readFile(fixture("bom.xml"));
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ((*result)["WithBOM"].asBool(), true);
    // A mark alone is empty input, not a document.
    EXPECT_FALSE(PropertyList::read(std::string_view("\xef\xbb\xbf")).ok());
}

TEST(PropertyList, RoundTripsThroughBothEncodings)
{
    Value original = writableSample();
    for (auto format : { PropertyList::Format::XML, PropertyList::Format::Binary }) {
        auto bytes = PropertyList::write(original, format);
        ASSERT_TRUE(bytes.ok()) << bytes.error();
        auto back = PropertyList::read(std::span<const std::uint8_t>(*bytes));
        ASSERT_TRUE(back.ok()) << back.error();
        EXPECT_EQ(*back, original) << int(format);
        EXPECT_EQ((*back)["Negative"].asInteger(), -7);
        EXPECT_TRUE((*back)["Negative"].isInteger());
        EXPECT_TRUE((*back)["Real"].isReal());
    }
}

TEST(PropertyList, BinaryKeepsFractionsOfSeconds)
{
    Value original = kit::Array { kit::Date(12.25), kit::Date(-0.5) };
    auto bytes = PropertyList::write(original, PropertyList::Format::Binary);
    ASSERT_TRUE(bytes.ok());
    auto back = PropertyList::read(std::span<const std::uint8_t>(*bytes));
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_DOUBLE_EQ(back->at(0).asDate()->timeIntervalSinceReferenceDate(), 12.25);
    EXPECT_DOUBLE_EQ(back->at(1).asDate()->timeIntervalSinceReferenceDate(), -0.5);
}

TEST(PropertyList, WritingRejectsWhatHasNoPropertyListForm)
{
    struct Dummy : kit::Object { };
    EXPECT_FALSE(PropertyList::write(Value()).ok());
    EXPECT_FALSE(PropertyList::write(Value(std::make_shared<Dummy>())).ok());
    EXPECT_FALSE(PropertyList::write(kit::Dict { { "a", kit::Array { 1, Value() } } }).ok());
    EXPECT_FALSE(PropertyList::write(kit::Array { Value(std::make_shared<Dummy>()) }, PropertyList::Format::Binary).ok());
    // Text that XML cannot carry, and dates libplist would wrap around.
    EXPECT_FALSE(PropertyList::write(Value(std::string("a\0b", 3))).ok());
    EXPECT_FALSE(PropertyList::write(Value("\xc3\x28")).ok());
    EXPECT_FALSE(PropertyList::write(kit::Dict { { "\xff", 1 } }).ok());
    EXPECT_FALSE(PropertyList::write(Value(kit::Date(3137227200.0))).ok());
    EXPECT_FALSE(PropertyList::write(Value(kit::Date::distantPast())).ok());
    EXPECT_TRUE(PropertyList::write(Value(kit::Date(2147483647.0))).ok());
    EXPECT_FALSE(PropertyList::write(Value(kit::Date(2147483648.0))).ok());
    EXPECT_TRUE(PropertyList::write(Value(kit::Date(-2147483648.0))).ok());
}

TEST(PropertyList, DepthLimitHoldsAtTheBoundaryForReadingAndWriting)
{
    const int limit = PropertyList::kMaxDepth;
    auto xmlAtLimit = PropertyList::read(nestedXML(limit));
    ASSERT_TRUE(xmlAtLimit.ok()) << xmlAtLimit.error();
    EXPECT_EQ(depthOf(*xmlAtLimit), limit);
    EXPECT_FALSE(PropertyList::read(nestedXML(limit + 1)).ok());

    auto binaryAtLimit = PropertyList::read(std::span<const std::uint8_t>(nestedBinary(limit)));
    ASSERT_TRUE(binaryAtLimit.ok()) << binaryAtLimit.error();
    EXPECT_EQ(depthOf(*binaryAtLimit), limit);
    EXPECT_FALSE(PropertyList::read(std::span<const std::uint8_t>(nestedBinary(limit + 1))).ok());

    for (auto format : { PropertyList::Format::XML, PropertyList::Format::Binary }) {
        auto written = PropertyList::write(nestedValue(limit), format);
        ASSERT_TRUE(written.ok()) << written.error();
        auto back = PropertyList::read(std::span<const std::uint8_t>(*written));
        ASSERT_TRUE(back.ok()) << back.error();
        EXPECT_EQ(depthOf(*back), limit);
        EXPECT_FALSE(PropertyList::write(nestedValue(limit + 1), format).ok());
        EXPECT_FALSE(PropertyList::write(nestedValue(30000), format).ok());
    }
}

TEST(PropertyList, DeepNestingInCommentsAndTextDoesNotCount)
{
    std::string text = "<?xml version=\"1.0\"?><!-- ";
    for (int i = 0; i < 2000; ++i)
        text += "<array>";
    text += " --><plist version=\"1.0\"><array><string>x</string><dict/></array></plist>";
    auto result = PropertyList::read(text);
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(*result, Value(kit::Array { "x", kit::Dict {} }));
}

TEST(PropertyList, RepeatedKeyKeepsTheLaterValue)
{
    auto result = PropertyList::read(std::string_view("<plist version=\"1.0\"><dict><key>a</key><integer>1</integer>"
                                                      "<key>a</key><integer>2</integer></dict></plist>"));
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ((*result)["a"].asInteger(), 2);
}

class MalformedPropertyList : public testing::TestWithParam<const char*> { };

TEST_P(MalformedPropertyList, IsAnErrorNotACrash)
{
    auto result = PropertyList::readFile(fixture(GetParam()));
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.error().empty());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MalformedPropertyList,
    testing::Values("truncated.xml", "truncated.bin", "garbage.txt", "garbage.bin", "wrong-root.xml", "unknown-element.xml",
        "deep600.xml", "deep600.bin", "huge-length.bin", "huge-count.bin", "cycle.bin", "reference-bomb.bin",
        "reference-bomb-small.bin", "bad-trailer.bin", "bad-reference.bin", "nul-in-string.bin", "high-byte-key.bin",
        "lone-surrogate.bin"));

TEST(PropertyList, SharedReferencesInBinaryFilesAreCopies)
{
    auto result = PropertyList::readFile(fixture("shared-list.bin"));
    ASSERT_TRUE(result.ok()) << result.error();
    Value list = kit::Array { 1, "two", 3.0 };
    EXPECT_EQ((*result)["a"], list);
    EXPECT_EQ((*result)["b"], list);
    EXPECT_EQ((*result)["c"], list);
}

TEST(PropertyList, EveryTruncationOfABinaryFileIsAnError)
{
    Data whole = load("sample.bin");
    ASSERT_GT(whole.size(), 100u);
    for (std::size_t length = 0; length < whole.size(); ++length) {
        auto result = PropertyList::read(std::span<const std::uint8_t>(whole.data(), length));
        EXPECT_FALSE(result.ok()) << length;
    }
}

TEST(PropertyList, TruncatedXMLNeverReadsAsAnotherDocument)
{
    Data whole = load("sample.xml");
    auto full = PropertyList::read(std::span<const std::uint8_t>(whole));
    ASSERT_TRUE(full.ok());
    // Cuts inside the root dictionary must never pass for a complete document.
    std::string text(whole.begin(), whole.end());
    std::size_t rootClose = text.rfind("</dict>");
    ASSERT_NE(rootClose, std::string::npos);
    for (std::size_t length = 0; length < rootClose; length += 7) {
        auto result = PropertyList::read(std::span<const std::uint8_t>(whole.data(), length));
        EXPECT_FALSE(result.ok()) << length;
    }
}

TEST(PropertyList, BadInputsGetErrors)
{
    EXPECT_FALSE(PropertyList::read(std::string_view()).ok());
    EXPECT_FALSE(PropertyList::read(std::string_view("bplist00")).ok());
    EXPECT_FALSE(PropertyList::read(std::string_view("<plist version=\"1.0\"><dict><key>a</key></dict></plist>")).ok());
    EXPECT_FALSE(PropertyList::read(std::string_view("<plist><integer>12</integer>\0<x/></plist>", 41)).ok());
    EXPECT_FALSE(PropertyList::read(std::string_view("<plist><date>yesterday</date></plist>")).ok());
    EXPECT_FALSE(PropertyList::read(std::string_view("<plist><array><!-- never closed </array></plist>")).ok());
}

TEST(PropertyList, InputsOverTheSizeCapAreRefusedUnread)
{
    Data big(PropertyList::kMaxInputBytes + 1, ' ');
    auto result = PropertyList::read(std::span<const std::uint8_t>(big));
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.error().find("MiB"), std::string::npos);

    char dir[] = "/tmp/plist-size-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/big.plist";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(ftruncate(fileno(f), off_t(PropertyList::kMaxInputBytes) + 1), 0);
        std::fclose(f);
    }
    auto fromFile = PropertyList::readFile(path);
    EXPECT_FALSE(fromFile.ok());
    EXPECT_NE(fromFile.error().find("MiB"), std::string::npos);
    unlink(path.c_str());
    EXPECT_FALSE(PropertyList::readFile(dir).ok());
    rmdir(dir);
    EXPECT_FALSE(PropertyList::readFile(fixture("does-not-exist.plist")).ok());
}
