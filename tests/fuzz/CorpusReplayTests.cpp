// SPDX-License-Identifier: MIT
// Replays the fuzz corpora (and the property-list fixtures) through the same checks as the
// fuzzers, so inputs that once broke a parser stay covered by the ordinary build.
#include "tests/fuzz/DataServerFormFuzzCheck.h"
#include "tests/fuzz/HTTPDateFuzzCheck.h"
#include "tests/fuzz/NetlinkDumpFuzzCheck.h"
#include "tests/fuzz/PropertyListFuzzCheck.h"
#include "tests/fuzz/StringsTableFuzzCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using Check = const char* (*)(const std::uint8_t*, std::size_t);

std::vector<std::uint8_t> bytesOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::size_t replay(const std::filesystem::path& folder, Check check)
{
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        auto bytes = bytesOf(entry.path());
        const char* broken = check(bytes.data(), bytes.size());
        EXPECT_EQ(broken, nullptr) << entry.path() << ": " << (broken ? broken : "");
        ++count;
    }
    return count;
}

std::filesystem::path corpus(const char* name) { return std::filesystem::path(QUARRIN_SOURCE_DIR) / "tests/fuzz/corpus" / name; }

} // namespace

TEST(PropertyListFuzzCorpus, EveryInputReadsOrFailsCleanly)
{
    EXPECT_GT(replay(corpus("plist"), fuzzcheck::checkPropertyList), 10u);
    EXPECT_GT(replay(std::filesystem::path(QUARRIN_TEST_DATA_DIR) / "plist", fuzzcheck::checkPropertyList), 10u);
}

// The fuzzer's first false alarm: libplist's binary writer shares equal objects by address, so
// two writes of one value may differ in bytes while reading back the same.
TEST(PropertyListFuzzCorpus, BinaryWritesThatDifferInBytesButNotInValueAreNoFault)
{
    kit::Array items(64);
    for (int i = 0; i < 64; ++i) {
        kit::Dict item;
        item.emplace("k", kit::Value(std::string(i % 3, 'x')));
        item.emplace("n", kit::Value(i % 2));
        items[i] = kit::Value(std::move(item));
    }
    auto bytes = kit::PropertyList::write(kit::Value(std::move(items)), kit::PropertyList::Format::Binary);
    ASSERT_TRUE(bytes.ok());
    for (int round = 0; round < 200; ++round)
        ASSERT_EQ(fuzzcheck::checkPropertyList(bytes->data(), bytes->size()), nullptr);
}

TEST(StringsTableFuzzCorpus, EveryInputParsesToEntriesThatWriteBack)
{
    EXPECT_GE(replay(corpus("strings"), fuzzcheck::checkStringsTable), 5u);
    // The application's own tables are inputs too.
    EXPECT_EQ(replay(std::filesystem::path(QUARRIN_SOURCE_DIR) / "resources/en.lproj", fuzzcheck::checkStringsTable), 1u);
    EXPECT_EQ(replay(std::filesystem::path(QUARRIN_SOURCE_DIR) / "resources/de.lproj", fuzzcheck::checkStringsTable), 1u);
}

TEST(HTTPDateFuzzCorpus, EveryInputParsesToASettledDateOrNothing)
{
    EXPECT_GE(replay(corpus("httpdate"), fuzzcheck::checkHTTPDate), 5u);
}

TEST(DataServerFormFuzzCorpus, EveryBodyGetsOneOfTheThreeAnswers)
{
    EXPECT_GE(replay(corpus("form"), fuzzcheck::checkDataServerForm), 5u);
}

TEST(NetlinkDumpFuzzCorpus, EveryBufferParsesWithinItselfToListedLinks)
{
    EXPECT_GE(replay(corpus("netlink"), fuzzcheck::checkNetlinkDump), 5u);
}
