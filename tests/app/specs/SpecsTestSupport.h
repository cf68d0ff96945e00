// SPDX-License-Identifier: MIT
#pragma once

#include "app/specs/DataKeeper.h"
#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/PropertyList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace specs_test {

inline std::vector<std::string>& loggedLines()
{
    static std::vector<std::string> lines;
    return lines;
}

// A private folder with a bundle copy, a working folder and a home; DataKeeper pointed at them
// with every cache forgotten.
class SpecsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quarrin-specs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        bundleDir = root + "/bundle";
        supportDir = root + "/support";
        std::filesystem::create_directories(bundleDir);
        setenv("HOME", root.c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        loggedLines().clear();
        kit::Log::setEchoToStderr(false);
        kit::Log::setCaptureHook([](std::string_view line) { loggedLines().emplace_back(line); });
        DataKeeper::setBundleSpecsPathForTesting(bundlePath());
        DataKeeper::setApplicationSupportDirectoryForTesting(supportDir);
        DataKeeper::setModelIdentifierForTesting(std::string("iPhone7,2"));
        DataKeeper::resetForTesting();
    }

    void TearDown() override
    {
        kit::Log::setCaptureHook(nullptr);
        kit::Log::setEchoToStderr(true);
        DataKeeper::setBundleSpecsPathForTesting(std::nullopt);
        DataKeeper::setApplicationSupportDirectoryForTesting(std::nullopt);
        DataKeeper::setModelIdentifierForTesting(std::nullopt);
        DataKeeper::resetForTesting();
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::string bundlePath() const { return bundleDir + "/specs.plist"; }
    std::string workingPath() const { return supportDir + "/specs.plist"; }

    static void writePlist(const std::string& path, const kit::Value& value, std::optional<kit::Date> date = {})
    {
        auto bytes = kit::PropertyList::write(value);
        ASSERT_TRUE(bytes.ok()) << bytes.error();
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ASSERT_TRUE(kit::FileManager::writeFileAtomically(path, *bytes, date).ok());
    }
    static void writeBytes(const std::string& path, std::string_view bytes, std::optional<kit::Date> date = {})
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ASSERT_TRUE(kit::FileManager::writeFileAtomically(path, bytes, date).ok());
    }
    static std::string readText(const std::string& path)
    {
        auto bytes = kit::FileManager::readFile(path);
        return bytes.ok() ? std::string(bytes->begin(), bytes->end()) : std::string("<unreadable>");
    }

    static kit::Value model(std::string name) { return kit::Dict { { "Name", std::move(name) } }; }

    std::string root;
    std::string bundleDir;
    std::string supportDir;
};

} // namespace specs_test
