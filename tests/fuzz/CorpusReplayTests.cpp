// Replays the fuzz corpus and the property-list fixtures through the same checks as the fuzzer,
// so inputs that once broke the reader stay covered by the ordinary build.
#include "tests/fuzz/PropertyListFuzzCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::size_t replay(const std::filesystem::path& folder)
{
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const char* broken = fuzzcheck::checkPropertyList(bytes.data(), bytes.size());
        EXPECT_EQ(broken, nullptr) << entry.path() << ": " << (broken ? broken : "");
        ++count;
    }
    return count;
}

} // namespace

TEST(PropertyListFuzzCorpus, EveryInputReadsOrFailsCleanly)
{
    EXPECT_GT(replay(std::filesystem::path(QUARRIN_SOURCE_DIR) / "tests/fuzz/corpus/plist"), 10u);
    EXPECT_GT(replay(std::filesystem::path(QUARRIN_TEST_DATA_DIR) / "plist"), 10u);
}
