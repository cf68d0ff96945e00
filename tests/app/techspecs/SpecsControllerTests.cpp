// SPDX-License-Identifier: MIT
#include "app/techspecs/SpecsController.h"

#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

// A bundle of its own with an English table, so what is and isn't translated is known.
class TextValueString : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quarrin-textvalue-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        std::filesystem::create_directories(root + "/en.lproj");
        ASSERT_TRUE(kit::FileManager::writeFileAtomically(root + "/en.lproj/Localizable.strings",
            "\"Dual-core\" = \"Two cores\";\n\"Apple A8\" = \"A8 chip\";\n\"1.4 GHz\" = \"translated figure\";\n"
            "\"n/a\" = \"not available\";\n")
                        .ok());
        setenv("LANGUAGE", "en", 1);
        setenv("LC_ALL", "en_US.UTF-8", 1);
        setenv("TZ", "UTC", 1);
        kit::Bundle::setMainBundlePath(root);
    }
    void TearDown() override
    {
        kit::Bundle::setMainBundlePath({});
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    static kit::Value parts(std::initializer_list<std::pair<const char*, kit::Value>> fields)
    {
        kit::Dict dict;
        for (const auto& [key, value] : fields)
            dict.emplace(key, value);
        return dict;
    }

    std::string root;
};

TEST_F(TextValueString, DictionaryPartsEachOnTheirOwnLine)
{
    EXPECT_EQ(SpecsController::textValueString(
                  parts({ { "Value", "Apple A8" }, { "NumericValue", "1.4 GHz" }, { "Details", "Dual-core" } })),
        "A8 chip\n1.4 GHz\nTwo cores");
    EXPECT_EQ(SpecsController::textValueString(parts({ { "Value", "Apple A8" }, { "Details", "Dual-core" } })),
        "A8 chip\nTwo cores");
    EXPECT_EQ(SpecsController::textValueString(parts({ { "Value", "Apple A8" }, { "NumericValue", "1.4 GHz" } })),
        "A8 chip\n1.4 GHz");
    // Without a "Value" the figure and the remark still stand on separate lines, not run together.
    EXPECT_EQ(SpecsController::textValueString(parts({ { "NumericValue", "1.4 GHz" }, { "Details", "Dual-core" } })),
        "1.4 GHz\nTwo cores");
    EXPECT_EQ(SpecsController::textValueString(parts({ { "Value", "Apple A8" } })), "A8 chip");
    EXPECT_EQ(SpecsController::textValueString(parts({ { "Details", "Dual-core" } })), "Two cores");
    EXPECT_EQ(SpecsController::textValueString(parts({ { "NumericValue", "129 g" } })), "129 g");
    EXPECT_EQ(SpecsController::textValueString(kit::Dict {}), "");
}

TEST_F(TextValueString, EmptyAndForeignPartsCountAsMissing)
{
    EXPECT_EQ(SpecsController::textValueString(parts({ { "Value", "" }, { "NumericValue", "1.4 GHz" }, { "Details", "" } })),
        "1.4 GHz");
    EXPECT_EQ(SpecsController::textValueString(
                  parts({ { "Value", 3 }, { "NumericValue", 1.4 }, { "Details", "Dual-core" }, { "Other", "x" } })),
        "Two cores");
}

TEST_F(TextValueString, FigureIsNeverTranslated)
{
    // The table has an entry for "1.4 GHz", but a figure is shown as stored.
    EXPECT_EQ(SpecsController::textValueString(parts({ { "NumericValue", "1.4 GHz" } })), "1.4 GHz");
    EXPECT_EQ(SpecsController::textValueString(kit::Value("1.4 GHz")), "translated figure");
}

TEST_F(TextValueString, StringsAreTranslatedOrShownAsTheyAre)
{
    EXPECT_EQ(SpecsController::textValueString(kit::Value("Dual-core")), "Two cores");
    EXPECT_EQ(SpecsController::textValueString(kit::Value("PowerVR GX6450")), "PowerVR GX6450");
    EXPECT_EQ(SpecsController::textValueString(kit::Value("n/a")), "not available");
    EXPECT_EQ(SpecsController::textValueString(kit::Value("")), "");
}

TEST_F(TextValueString, DatesInTheMediumStyleWithoutTime)
{
    // 19 September 2014, 12:00 UTC.
    auto text = SpecsController::textValueString(kit::Date::fromUnix(1411128000));
    EXPECT_EQ(text, "Sep 19, 2014");
}

TEST_F(TextValueString, OtherFormsArePlaceholders)
{
    EXPECT_EQ(SpecsController::textValueString(kit::Value(50)), "n/a");
    EXPECT_EQ(SpecsController::textValueString(kit::Value(11.5)), "n/a");
    EXPECT_EQ(SpecsController::textValueString(kit::Value(true)), "n/a");
    EXPECT_EQ(SpecsController::textValueString(kit::Array { "Apple A8" }), "n/a");
    EXPECT_EQ(SpecsController::textValueString(kit::Value()), "n/a");
    EXPECT_EQ(SpecsController::textValueString(kit::Data { 1, 2 }), "n/a");
}

TEST(TextValueStringTables, GermanTablesTranslateTheDataSetsTexts)
{
    kit::Bundle::setMainBundlePath(QUARRIN_SOURCE_DIR "/resources");
    setenv("LANGUAGE", "de", 1);
    kit::Bundle::mainBundle().reloadLocalizations();
    EXPECT_EQ(SpecsController::textValueString(
                  kit::Dict { { "Value", "Apple A8" }, { "NumericValue", "1.4 GHz" }, { "Details", "Dual-core, 64-bit" } }),
        "Apple A8\n1.4 GHz\nZweikern, 64-Bit");
    EXPECT_EQ(SpecsController::textValueString(kit::Value("n/a")), "k. A.");
    unsetenv("LANGUAGE");
    kit::Bundle::setMainBundlePath({});
}

} // namespace
