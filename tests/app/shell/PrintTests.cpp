// SPDX-License-Identifier: MIT
// quarrin --print, run as a user would: the machine it takes itself for.

#include "kit/device/DeviceIdentity.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace {

const std::string kQuarrin = QUARRIN_BINARY_DIR "/app/shell/quarrin";

// A private home, so the run reads the bundled data set and leaves no preferences behind.
class PrintCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quarrin-print-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home = pattern;
        // The working copy as the first launch seeds it: --print only reads, it never seeds.
        std::smatch id;
        auto info = readText(QUARRIN_BINARY_DIR "/resources/Info.plist");
        ASSERT_TRUE(std::regex_search(info, id, std::regex(R"re(<key>CFBundleIdentifier</key>\s*<string>([^<]+)</string>)re")));
        auto folder = home + "/data/" + id[1].str();
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(QUARRIN_SOURCE_DIR "/resources/specs.plist", folder + "/specs.plist");
    }

    static std::string readText(const std::string& path)
    {
        std::ifstream file(path);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }

    std::string run(const std::string& arguments) const
    {
        auto command = "HOME='" + home + "' XDG_DATA_HOME='" + home + "/data' XDG_CONFIG_HOME='" + home + "/config' timeout 20 '"
            + kQuarrin + "' --print " + arguments + " 2>/dev/null";
        std::string out;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char chunk[4096];
            std::size_t n;
            while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
                out.append(chunk, n);
            ::pclose(pipe);
        }
        return out;
    }

    // One text field of the "machine" object.
    static std::string machineField(const std::string& json, const std::string& field)
    {
        std::smatch object;
        if (!std::regex_search(json, object, std::regex(R"re("machine"\s*:\s*\{([^}]*)\})re")))
            return "<no machine>";
        std::smatch value;
        std::string body = object[1];
        if (!std::regex_search(body, value, std::regex("\"" + field + R"re("\s*:\s*"([^"]*)")re")))
            return "<no " + field + ">";
        return value[1];
    }

    std::string home;
};

TEST_F(PrintCommand, MachineNamesTheProfilesModelAndItsEntry)
{
    auto json = run("--device iphone-6");
    EXPECT_EQ(machineField(json, "identifier"), "iPhone7,2") << json;
    EXPECT_EQ(machineField(json, "key"), "iPhone7,2");
    EXPECT_EQ(machineField(json, "name"), "iPhone 6");
    EXPECT_EQ(machineField(json, "detailName"), "");
}

TEST_F(PrintCommand, MachineIsThisMachinesIdentifierAndTheKeyThatBeginsIt)
{
    auto json = run("");
    auto identifier = kit::DeviceIdentity().modelIdentifier();
    EXPECT_EQ(machineField(json, "identifier"), identifier) << json;
    auto key = machineField(json, "key");
    // Whatever this machine is, it resolves to an entry whose key begins its identifier, or to
    // the "unknown" entry.
    if (key == "unknown") {
        EXPECT_EQ(machineField(json, "name"), "Unknown device");
    } else {
        EXPECT_EQ(identifier.rfind(key, 0), 0u) << key;
        EXPECT_NE(machineField(json, "name"), "");
    }
}

TEST_F(PrintCommand, InterfaceRecordsCarryTheirKindAndTheRatesOfTwoReadings)
{
    auto json = run("");
    std::smatch list;
    ASSERT_TRUE(std::regex_search(json, list, std::regex(R"re("interfaces"\s*:\s*\[([^\]]*)\])re"))) << json;
    std::string records = list[1];
    const std::regex record(R"re(\{[^{}]*\})re");
    const std::regex kind(R"re("kind"\s*:\s*"(wired|wireless|cellular|bluetooth|vpn|loopback|virtual)")re");
    const std::regex counted(R"re("inBytes"\s*:\s*[0-9])re");
    const std::regex rates(R"re("inRate"\s*:\s*[0-9][0-9.e+]*\s*,[\s\S]*"outRate"\s*:\s*[0-9])re");
    const std::regex noRates(R"re("inRate"\s*:\s*null[\s\S]*"outRate"\s*:\s*null)re");
    const std::regex ipv6(R"re("ipv6Addr"\s*:\s*(null|"[0-9a-f:.]+"))re");
    int seen = 0;
    for (std::sregex_iterator it(records.begin(), records.end(), record), end; it != end; ++it, ++seen) {
        std::string text = it->str();
        EXPECT_TRUE(std::regex_search(text, kind)) << text;
        EXPECT_TRUE(std::regex_search(text, ipv6)) << text;
        // Counters read twice give rates; without counters there is nothing to measure.
        if (std::regex_search(text, counted)) {
            EXPECT_TRUE(std::regex_search(text, rates)) << text;
        } else {
            EXPECT_TRUE(std::regex_search(text, noRates)) << text;
        }
    }
    if (seen == 0)
        GTEST_SKIP() << "this machine lists no interface the network table shows";
}

} // namespace
