// SPDX-License-Identifier: MIT
#include "app/compare/ComparisonBuilder.h"

#include "kit/base/Bundle.h"
#include "kit/base/DateFormatter.h"
#include "kit/base/UserDefaults.h"
#include "tests/kit/base/TempFolder.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using Keys = std::vector<std::string>;
using Lines = std::vector<std::string>;

// A small data set of the test's own: model key → entry.
class Models {
public:
    Models& add(std::string key, std::string name, std::string detail, kit::Dict specs = {})
    {
        specs.emplace("Name", std::move(name));
        if (!detail.empty())
            specs.emplace("DetailName", std::move(detail));
        m_entries[std::move(key)] = kit::Value(std::move(specs));
        return *this;
    }
    ComparisonBuilder::ModelLookup lookup() const
    {
        return [this](std::string_view key) {
            auto found = m_entries.find(std::string(key));
            return found == m_entries.end() ? kit::Value() : found->second;
        };
    }

private:
    std::map<std::string, kit::Value> m_entries;
};

kit::Value figure(std::string numeric, std::string value = {})
{
    kit::Dict dict { { "NumericValue", std::move(numeric) } };
    if (!value.empty())
        dict.emplace("Value", std::move(value));
    return dict;
}

// English texts and collation whatever the machine is set to.
class ComparisonBuilderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        environment.set("LANGUAGE", "en");
        environment.set("LC_ALL", "en_US.UTF-8");
        kit::Bundle::mainBundle().reloadLocalizations();
        styles = ComparisonBuilder::textStyles(false);
    }
    void TearDown() override { kit::Bundle::mainBundle().reloadLocalizations(); }

    kit::Array build(const Keys& selection, const Keys& keyPaths) const
    {
        return ComparisonBuilder::build(selection, keyPaths, models.lookup(), styles);
    }
    static Lines headers(const kit::Array& sections)
    {
        Lines result;
        for (auto& section : sections)
            result.push_back(section[ComparisonBuilder::kHeaderKey].string());
        return result;
    }
    // "models | value" per row of a section.
    static Lines rows(const kit::Value& section)
    {
        Lines result;
        for (auto& row : *section[ComparisonBuilder::kRowsKey].asArray())
            result.push_back(ComparisonBuilder::plainText(row[ComparisonBuilder::kRowFirstItemKey]) + " | "
                + ComparisonBuilder::plainText(row[ComparisonBuilder::kRowSecondItemKey]));
        return result;
    }

    Models models;
    ComparisonBuilder::TextStyles styles;
    kit::testing::ScopedEnvironment environment;
};

} // namespace

TEST_F(ComparisonBuilderTest, EqualValuesShareARowNamingTheModelsInCaseInsensitiveOrder)
{
    models.add("a", "iPhone 6", "", { { "GPU", "PowerVR GX6450" }, { "Weight", figure("129 g") } })
        .add("b", "alpha", "", { { "GPU", "PowerVR GX6450" }, { "Weight", figure("172 g") } })
        .add("c", "Beta", "", { { "GPU", "PowerVR GX6450" }, { "Weight", figure("129 g") } });
    auto sections = build({ "a", "b", "c" }, { "GPU", "Weight" });
    ASSERT_EQ(headers(sections), (Lines { "GPU", "Weight" }));
    // Byte order would put "Beta" before "alpha" and "iPhone 6".
    EXPECT_EQ(rows(sections[0]), (Lines { "alpha\nBeta\niPhone 6 | PowerVR GX6450" }));
    EXPECT_EQ(rows(sections[1]), (Lines { "alpha | 172 g", "Beta\niPhone 6 | 129 g" }));
}

TEST_F(ComparisonBuilderTest, SameNamedModelsShowTheirDetailNamesOnlyWhereTheirValuesDiffer)
{
    models.add("m1", "iPad Air", "Wi-Fi", { { "Weight", figure("469 g") }, { "GPU", "PowerVR G6430" } })
        .add("m2", "iPad Air", "Cellular", { { "Weight", figure("478 g") }, { "GPU", "PowerVR G6430" } })
        .add("m3", "iPad Air", "China", { { "Weight", figure("469 g") }, { "GPU", "PowerVR G6430" } });

    // Two alike with different values: a row each, each name followed by its detail.
    auto two = build({ "m1", "m2" }, { "Weight", "GPU" });
    EXPECT_EQ(rows(two[0]), (Lines { "iPad Air Cellular | 478 g", "iPad Air Wi-Fi | 469 g" }));
    // Equal values: one row, the name once and plain.
    EXPECT_EQ(rows(two[1]), (Lines { "iPad Air | PowerVR G6430" }));

    // Three alike, two sharing a value: the shared row lists both details.
    auto three = build({ "m1", "m2", "m3" }, { "Weight" });
    EXPECT_EQ(rows(three[0]), (Lines { "iPad Air Cellular | 478 g", "iPad Air Wi-Fi, China | 469 g" }));

    // The name runs take the name style, the details the detail style.
    const auto& shared
        = *three[0][ComparisonBuilder::kRowsKey].at(1)[ComparisonBuilder::kRowFirstItemKey].objectAs<kit::AttributedString>();
    ASSERT_EQ(shared.runs().size(), 3u);
    EXPECT_EQ(shared.runs()[0].text, "iPad Air");
    EXPECT_EQ(shared.runs()[0].attributes, styles.name);
    EXPECT_EQ(shared.runs()[2].text, "Wi-Fi, China");
    EXPECT_EQ(shared.runs()[2].attributes, styles.nameDetail);
}

TEST_F(ComparisonBuilderTest, GeekbenchThreeOnlyWhenEveryModelHasItTakenWhereItStandsInTheList)
{
    models.add("new1", "New One", "", { { "Geekbench 3", figure("2900", "Multi-core") }, { "Geekbench 2", figure("1600") } })
        .add("new2", "New Two", "", { { "Geekbench 3", figure("3100", "Multi-core") } })
        .add("old", "Old", "", { { "Geekbench 2", figure("700") } });
    const Keys newFirst { "Geekbench 3", "Geekbench 2" };
    const Keys oldFirst { "Geekbench 2", "Geekbench 3" };

    EXPECT_EQ(headers(build({ "new1", "new2" }, newFirst)), (Lines { "Geekbench 3" }));
    EXPECT_EQ(headers(build({ "new1", "new2", "old" }, newFirst)), (Lines { "Geekbench 2" }));
    // Every model lacks both: neither.
    models.add("none", "None", "");
    EXPECT_TRUE(build({ "none" }, newFirst).empty());

    // With the older one listed first it is decided before the flag is set: always shown.
    EXPECT_EQ(headers(build({ "new1", "new2" }, oldFirst)), (Lines { "Geekbench 2", "Geekbench 3" }));
    EXPECT_EQ(headers(build({ "new1", "new2", "old" }, oldFirst)), (Lines { "Geekbench 2" }));

    // The newer benchmark's value text: the figure, a line break, its kind.
    auto sections = build({ "new1", "new2" }, newFirst);
    EXPECT_EQ(rows(sections[0]), (Lines { "New Two | 3100\nMulti-core", "New One | 2900\nMulti-core" }));
}

TEST_F(ComparisonBuilderTest, RowsOrderByTheLeadingNumberWithoutUnitsThenByTextDescending)
{
    models.add("big", "Big", "", { { "Onboard RAM", figure("512 MB") }, { "GPU", "Adreno" } })
        .add("small", "Small", "", { { "Onboard RAM", figure("1 GB") } })
        .add("lo", "Lower", "", { { "Onboard RAM", figure("1.5 GB") }, { "GPU", "Mali-T604" } })
        .add("a8", "A8", "", { { "Onboard RAM", figure("1.25 GB") }, { "GPU", "Mali-T609" } });
    auto sections = build({ "big", "small", "lo", "a8" }, { "Onboard RAM", "GPU" });
    // 512 is the largest figure: units are not understood.
    EXPECT_EQ(rows(sections[0]), (Lines { "Big | 512 MB", "Lower | 1.5 GB", "A8 | 1.25 GB", "Small | 1 GB" }));
    // All count 0: "n/a" sorts after "Adreno" and comes first; texts differing in a last digit
    // put the higher digit first.
    EXPECT_EQ(rows(sections[1]), (Lines { "Small | n/a", "A8 | Mali-T609", "Lower | Mali-T604", "Big | Adreno" }));
    EXPECT_EQ(ComparisonBuilder::rowNumber(sections[1][ComparisonBuilder::kRowsKey].at(0)), 0);
}

TEST_F(ComparisonBuilderTest, RowNumberIsReadInTheCLocale)
{
    EXPECT_DOUBLE_EQ(ComparisonBuilder::numberOfText("  1.5 GB"), 1.5);
    EXPECT_DOUBLE_EQ(ComparisonBuilder::numberOfText("1,5 GB"), 1);
    EXPECT_DOUBLE_EQ(ComparisonBuilder::numberOfText("-2e3 mAh"), -2000);
    EXPECT_DOUBLE_EQ(ComparisonBuilder::numberOfText("4.7\"\nRetina HD"), 4.7);
    EXPECT_DOUBLE_EQ(ComparisonBuilder::numberOfText("Retina 4.7"), 0);
    EXPECT_DOUBLE_EQ(ComparisonBuilder::numberOfText(""), 0);

    // A German user sees "k. A." for a missing value and the figures as the data set has them.
    environment.set("LANGUAGE", "de");
    environment.set("LC_ALL", "de_DE.UTF-8");
    kit::Bundle::mainBundle().reloadLocalizations();
    models.add("x", "X", "", { { "Weight", figure("129.5 g") } }).add("y", "Y", "", { { "Weight", figure("129.25 g") } });
    models.add("z", "Z", "");
    auto sections = build({ "z", "y", "x" }, { "Weight" });
    EXPECT_EQ(rows(sections[0]), (Lines { "X | 129.5 g", "Y | 129.25 g", "Z | k. A." }));
    EXPECT_EQ(headers(sections), (Lines { "Gewicht" }));
}

TEST_F(ComparisonBuilderTest, HeaderIsTheLastKeyPathComponentLocalised)
{
    EXPECT_EQ(ComparisonBuilder::headerForKeyPath("BatteryLife.Talk over 3G"), "Talk over 3G");
    EXPECT_EQ(ComparisonBuilder::headerForKeyPath("Geekbench 3"), "Geekbench 3");
    models.add("a", "A", "", { { "BatteryLife", kit::Dict { { "Talk over 3G", "14" } } } })
        .add("b", "B", "", { { "BatteryLife", kit::Dict { { "Talk over 3G", "8" } } } });
    environment.set("LANGUAGE", "de");
    kit::Bundle::mainBundle().reloadLocalizations();
    auto sections = build({ "a", "b" }, { "BatteryLife.Talk over 3G", "BatteryLife.Standby" });
    EXPECT_EQ(headers(sections), (Lines { "Sprechzeit über 3G" }));
    EXPECT_EQ(rows(sections[0]), (Lines { "A | 14", "B | 8" }));
}

TEST_F(ComparisonBuilderTest, OneModelGivesOneRowPerSectionAndAMissingKeyPathNoSection)
{
    models.add("a", "iPhone 6", "",
        { { "GPU", "PowerVR" }, { "Weight", figure("129 g") }, { "Display", figure("4.7\"", "Retina HD") } });
    auto sections = build({ "a" }, { "Processor", "GPU", "Weight", "Display", "Price" });
    EXPECT_EQ(headers(sections), (Lines { "GPU", "Weight", "Display" }));
    for (auto& section : sections)
        EXPECT_EQ(section[ComparisonBuilder::kRowsKey].count(), 1u);
    EXPECT_TRUE(build({}, { "GPU" }).empty()) << "an empty selection yields no sections";
}

TEST_F(ComparisonBuilderTest, StoredKeysMissingFromTheDataSetAreLeftOut)
{
    models.add("a", "iPhone 6", "Plus", { { "GPU", "PowerVR" } });
    // "gone" was dropped by a data update; a same-named model no longer splits the row either.
    auto sections = build({ "gone", "a", "gone" }, { "GPU" });
    EXPECT_EQ(rows(sections[0]), (Lines { "iPhone 6 | PowerVR" }));
    EXPECT_TRUE(build({ "gone", "unknown" }, { "GPU" }).empty());
    auto items = ComparisonBuilder::comparisonItems({ "gone", "a" }, "GPU", models.lookup());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]["DetailName"], kit::Value("Plus"));
}

TEST_F(ComparisonBuilderTest, DatesCompareByInstantAndShowInTheMediumStyle)
{
    kit::Date release = kit::Date::fromUnix(1411128000); // 19 September 2014, noon UTC
    models.add("a", "A", "", { { "Release Date", release } })
        .add("b", "B", "", { { "Release Date", kit::Date(release.timeIntervalSinceReferenceDate()) } })
        .add("c", "C", "", { { "Release Date", release.byAdding(86400 * 365) } })
        .add("d", "D", "", { { "Release Date", 42 } });
    auto sections = build({ "a", "b", "c", "d" }, { "Release Date" });
    std::string earlier = kit::DateFormatter::mediumDate(release);
    std::string later = kit::DateFormatter::mediumDate(release.byAdding(86400 * 365));
    // "Sep 19, 2014" and "Sep 19, 2015" both count 0: the later text first; a number shows "n/a".
    EXPECT_EQ(rows(sections[0]), (Lines { "C | " + later, "A\nB | " + earlier, "D | n/a" }));
}

TEST_F(ComparisonBuilderTest, ValueTextTakesTheFigureFirstAndTheKindSecond)
{
    kit::TextAttributes first { nullptr, kit::Color::white() };
    kit::TextAttributes second { nullptr, kit::Color::black() };
    auto text = [&](const kit::Value& value) { return ComparisonBuilder::numericValueAttrString(value, first, second, "\n"); };
    kit::Value display = kit::Dict { { "NumericValue", "4.7\"" }, { "Value", "Retina HD" }, { "Details", "1334 × 750" } };
    auto full = text(display);
    EXPECT_EQ(full.string(), "4.7\"\nRetina HD") << "details are not shown";
    ASSERT_EQ(full.runs().size(), 3u);
    EXPECT_EQ(full.runs()[1].attributes, first);
    EXPECT_EQ(full.runs()[2].attributes, second);
    EXPECT_EQ(text(kit::Dict { { "Value", "Apple A8" }, { "Details", "Dual-core" } }).string(), "Apple A8");
    EXPECT_EQ(text(kit::Dict { { "NumericValue", "1810 mAh" } }).string(), "1810 mAh");
    EXPECT_EQ(text(kit::Dict {}).string(), "");
    EXPECT_EQ(text(kit::Array { "x" }).string(), "n/a");
    EXPECT_EQ(text(kit::Value()).string(), "n/a");

    environment.set("LANGUAGE", "de");
    kit::Bundle::mainBundle().reloadLocalizations();
    EXPECT_EQ(text(kit::Dict { { "NumericValue", "2.0 GHz" }, { "Value", "Apple GPU, four cores" } }).string(),
        "2.0 GHz\nApple-GPU, vier Kerne");
    EXPECT_EQ(text("n/a").string(), "k. A.") << "a missing value is a string and is localised";
    EXPECT_EQ(text(3.5).string(), "n/a") << "a value of no known kind is not";
}

TEST(ComparisonSelection, DefaultIsStoredOnceAndAnEmptyListStaysEmpty)
{
    kit::testing::TempFolder folder;
    kit::UserDefaults defaults(folder / "preferences.plist");

    // An observer gets the default without storing it.
    EXPECT_EQ(ComparisonBuilder::selection(defaults, "iPhone7,2", false), (Keys { "iPhone7,2" }));
    EXPECT_FALSE(defaults.hasKey(ComparisonBuilder::kSelectedModelsKey));

    EXPECT_EQ(ComparisonBuilder::selection(defaults, "iPhone7,2", true), (Keys { "iPhone7,2" }));
    EXPECT_EQ(defaults.stringArrayForKey(ComparisonBuilder::kSelectedModelsKey), (Keys { "iPhone7,2" }));
    EXPECT_EQ(ComparisonBuilder::selection(defaults, "iPad4,1", true), (Keys { "iPhone7,2" }));

    defaults.setStringArray({}, ComparisonBuilder::kSelectedModelsKey);
    EXPECT_EQ(ComparisonBuilder::selection(defaults, "iPhone7,2", true), Keys {});
    EXPECT_EQ(defaults.stringArrayForKey(ComparisonBuilder::kSelectedModelsKey), Keys {});

    // A damaged list keeps its keys; a value that is no list counts as none.
    defaults.setObject(kit::Array { "iPad4,1", 7, kit::Dict {}, "iPod5,1" }, ComparisonBuilder::kSelectedModelsKey);
    EXPECT_EQ(ComparisonBuilder::selection(defaults, "iPhone7,2", true), (Keys { "iPad4,1", "iPod5,1" }));
    defaults.setString("iPad4,1", ComparisonBuilder::kSelectedModelsKey);
    EXPECT_EQ(ComparisonBuilder::selection(defaults, "iPhone7,2", true), (Keys { "iPhone7,2" }));
}

TEST_F(ComparisonBuilderTest, PlainSectionsCarryHeaderModelsValueAndNumber)
{
    models.add("a", "A", "", { { "Weight", figure("129 g") } }).add("b", "B", "", {});
    auto plain = ComparisonBuilder::plainSections(build({ "a", "b" }, { "Weight" }));
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0]["header"], kit::Value("Weight"));
    const kit::Value& rowsOfWeight = plain[0]["rows"];
    ASSERT_EQ(rowsOfWeight.count(), 2u);
    EXPECT_EQ(rowsOfWeight.at(0)["models"], kit::Value("A"));
    EXPECT_EQ(rowsOfWeight.at(0)["value"], kit::Value("129 g"));
    EXPECT_EQ(rowsOfWeight.at(0)["number"], kit::Value(129.0));
    EXPECT_EQ(rowsOfWeight.at(1)["value"], kit::Value("n/a"));
    EXPECT_EQ(rowsOfWeight.at(1)["number"], kit::Value(0.0));
}
