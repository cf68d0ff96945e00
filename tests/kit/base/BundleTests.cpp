// SPDX-License-Identifier: MIT
#include "kit/base/Bundle.h"
#include "kit/base/Log.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kit::Bundle;
using kit::testing::ScopedEnvironment;
using kit::testing::TempFolder;

namespace {

std::vector<std::string> s_logged;
void captureLog(std::string_view line) { s_logged.emplace_back(line); }

const char kInfoPlist[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
    <key>CFBundleIdentifier</key><string>com.example.quarrin-test</string>
    <key>CFBundleVersion</key><string>2.1</string>
    <key>UILaunchImages</key><array><dict><key>UILaunchImageName</key><string>Default</string></dict></array>
</dict>
</plist>
)";

class BundleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        s_logged.clear();
        kit::Log::setEchoToStderr(false);
        kit::Log::setCaptureHook(&captureLog);
        for (const char* name : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" })
            env.set(name, std::nullopt);
    }
    void TearDown() override
    {
        kit::Log::setCaptureHook(nullptr);
        kit::Log::setEchoToStderr(true);
    }

    TempFolder folder;
    ScopedEnvironment env;
};

} // namespace

TEST_F(BundleTest, PreferredLanguagesFollowTheEnvironment)
{
    EXPECT_EQ(Bundle::preferredLanguages(), (std::vector<std::string> { "en" }));

    env.set("LANG", "de_DE.UTF-8");
    EXPECT_EQ(Bundle::preferredLanguages(), (std::vector<std::string> { "de_DE", "de", "en" }));

    // LC_ALL wins over LANG; LANGUAGE comes first of all; modifiers and codesets go.
    env.set("LC_ALL", "fr_CA.ISO-8859-1@euro");
    env.set("LANGUAGE", "pt_BR:sv::de");
    EXPECT_EQ(Bundle::preferredLanguages(), (std::vector<std::string> { "pt_BR", "pt", "sv", "de", "fr_CA", "fr", "en" }));

    // The C locale names no language; an empty variable counts as unset.
    env.set("LANGUAGE", std::nullopt);
    env.set("LC_ALL", "");
    env.set("LC_MESSAGES", "C.UTF-8");
    EXPECT_EQ(Bundle::preferredLanguages(), (std::vector<std::string> { "en" }));
    env.set("LC_MESSAGES", "POSIX");
    EXPECT_EQ(Bundle::preferredLanguages(), (std::vector<std::string> { "en" }));
}

TEST_F(BundleTest, LocalizedStringFallsBackFromRegionToLanguageToEnglishToKey)
{
    folder.write("res/de_DE.lproj/Localizable.strings", "\"Usage\" = \"Nutzung (DE)\";");
    folder.write("res/de.lproj/Localizable.strings", "\"Usage\" = \"Nutzung\";\n\"Battery\" = \"Akku\";");
    folder.write("res/en.lproj/Localizable.strings",
        "\"Usage\" = \"Usage\";\n\"Battery\" = \"Battery\";\n\"Compare\" = \"Compare\";");
    Bundle bundle(folder / "res");

    env.set("LANG", "de_DE.UTF-8");
    bundle.reloadLocalizations();
    EXPECT_EQ(bundle.localizedString("Usage"), "Nutzung (DE)");
    EXPECT_EQ(bundle.localizedString("Battery"), "Akku");
    EXPECT_EQ(bundle.localizedString("Compare"), "Compare");
    EXPECT_EQ(bundle.localizedString("MDError400"), "MDError400");

    env.set("LANG", "de_AT.UTF-8");
    bundle.reloadLocalizations();
    EXPECT_EQ(bundle.localizedString("Usage"), "Nutzung");

    env.set("LANG", "ja_JP.UTF-8");
    bundle.reloadLocalizations();
    EXPECT_EQ(bundle.localizedString("Usage"), "Usage");

    // Other tables and unsafe table names.
    folder.write("res/en.lproj/Widget.strings", "\"Usage\" = \"Widget usage\";");
    EXPECT_EQ(bundle.localizedString("Usage", "Widget"), "Widget usage");
    EXPECT_EQ(bundle.localizedString("Usage", "../en.lproj/Widget"), "Usage");
    EXPECT_EQ(bundle.localizedString("Usage", ""), "Usage");
    EXPECT_TRUE(s_logged.empty());
}

TEST_F(BundleTest, RegionFolderWithADashIsFound)
{
    folder.write("res/pt-BR.lproj/Localizable.strings", "\"Usage\" = \"Uso\";");
    Bundle bundle(folder / "res");
    env.set("LANGUAGE", "pt_BR");
    EXPECT_EQ(bundle.localizedString("Usage"), "Uso");
}

TEST_F(BundleTest, BrokenTableIsReportedOnceAndStillServesItsGoodEntries)
{
    folder.write("res/en.lproj/Localizable.strings", "\"a\" = \"A\";\n\"b\" = oops oops;\n\"c\" = \"C\";\n\"d\" \"D\";\n");
    Bundle bundle(folder / "res");
    EXPECT_EQ(bundle.localizedString("a"), "A");
    EXPECT_EQ(bundle.localizedString("b"), "b");
    EXPECT_EQ(bundle.localizedString("c"), "C");
    EXPECT_EQ(bundle.localizedString("a"), "A");
    ASSERT_EQ(s_logged.size(), 1u);
    EXPECT_NE(s_logged[0].find("Localizable.strings"), std::string::npos);
    EXPECT_NE(s_logged[0].find("line 2"), std::string::npos);
}

TEST_F(BundleTest, InfoDictionaryAndIdentifier)
{
    folder.write("res/Info.plist", kInfoPlist);
    Bundle bundle(folder / "res/");
    EXPECT_EQ(bundle.resourcePath(), folder / "res");
    EXPECT_EQ(bundle.bundleIdentifier(), "com.example.quarrin-test");
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleVersion").string(), "2.1");
    EXPECT_EQ(bundle.infoDictionary().valueForKeyPath("UILaunchImages").count(), 1u);
    EXPECT_TRUE(bundle.objectForInfoDictionaryKey("AppleID").isNull());
    EXPECT_TRUE(s_logged.empty());
}

TEST_F(BundleTest, MissingOrBrokenInfoPlistGivesAnEmptyDictionary)
{
    Bundle missing(folder / "nothing");
    EXPECT_TRUE(missing.infoDictionary().isDict());
    EXPECT_EQ(missing.infoDictionary().count(), 0u);
    EXPECT_EQ(missing.bundleIdentifier(), "");
    EXPECT_TRUE(s_logged.empty());

    folder.write("broken/Info.plist", "<plist><dict><key>CFBundleIdentifier</key>");
    Bundle broken(folder / "broken");
    EXPECT_EQ(broken.infoDictionary().count(), 0u);
    EXPECT_EQ(broken.bundleIdentifier(), "");
    EXPECT_EQ(s_logged.size(), 1u);

    folder.write("array/Info.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>");
    Bundle array(folder / "array");
    EXPECT_EQ(array.infoDictionary().count(), 0u);
}

TEST_F(BundleTest, PathForResourceLooksInTheFolderThenLocalizedAndNeverOutside)
{
    std::string specs = folder.write("res/specs.plist", "x");
    std::string image = folder.write("res/images/usageTabBarIcon.svg", "<svg/>");
    std::string german = folder.write("res/de.lproj/help.html", "<p>");
    folder.write("secret.txt", "no");
    Bundle bundle(folder / "res");
    EXPECT_EQ(bundle.pathForResource("specs", "plist"), specs);
    EXPECT_EQ(bundle.pathForResource("specs", ".plist"), specs);
    EXPECT_EQ(bundle.pathForResource("specs.plist", ""), specs);
    EXPECT_EQ(bundle.pathForResource("usageTabBarIcon", "svg", "images"), image);
    EXPECT_EQ(bundle.pathForResource("images/usageTabBarIcon", "svg"), image);
    EXPECT_EQ(bundle.pathForResource("missing", "plist"), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("images", ""), std::nullopt); // a folder is not a resource
    EXPECT_EQ(bundle.pathForResource("", ""), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("../secret", "txt"), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("secret", "txt", ".."), std::nullopt);
    EXPECT_EQ(bundle.pathForResource(folder / "secret", "txt"), std::nullopt);

    EXPECT_EQ(bundle.pathForResource("help", "html"), std::nullopt);
    env.set("LANG", "de_DE.UTF-8");
    bundle.reloadLocalizations();
    EXPECT_EQ(bundle.pathForResource("help", "html"), german);
}

TEST_F(BundleTest, ResourcesAreFoundUpwardFromTheExecutable)
{
    // Build tree: <tree>/build/app/shell/quarrin with <tree>/resources/Info.plist.
    folder.write("tree/resources/Info.plist", kInfoPlist);
    folder.write("tree/build/app/shell/quarrin", "");
    EXPECT_EQ(Bundle::searchResourcesUpwardFrom(folder / "tree/build/app/shell"), folder / "tree/resources");
    // A copy in the build folder is nearer and wins.
    folder.write("tree/build/resources/Info.plist", kInfoPlist);
    EXPECT_EQ(Bundle::searchResourcesUpwardFrom(folder / "tree/build/app/shell/"), folder / "tree/build/resources");
    // Installed: <prefix>/bin/quarrin with <prefix>/share/quarrin/Info.plist.
    folder.write("prefix/share/quarrin/Info.plist", kInfoPlist);
    folder.write("prefix/bin/quarrin", "");
    EXPECT_EQ(Bundle::searchResourcesUpwardFrom(folder / "prefix/bin"), folder / "prefix/share/quarrin");
    // A folder named resources without Info.plist does not count.
    folder.write("bare/resources/readme", "");
    folder.write("bare/bin/x", "");
    auto bare = Bundle::searchResourcesUpwardFrom(folder / "bare/bin");
    EXPECT_TRUE(!bare || bare->rfind(folder.path(), 0) != 0);
    EXPECT_EQ(Bundle::searchResourcesUpwardFrom("relative/path"), std::nullopt);
}

TEST_F(BundleTest, MainBundleCanBePointedElsewhere)
{
    folder.write("res/Info.plist", kInfoPlist);
    Bundle::setMainBundlePath(folder / "res");
    EXPECT_EQ(Bundle::mainBundle().bundleIdentifier(), "com.example.quarrin-test");
    EXPECT_EQ(&Bundle::mainBundle(), &Bundle::mainBundle());
    Bundle::setMainBundlePath("");
    EXPECT_NE(Bundle::mainBundle().resourcePath(), folder / "res");
}
