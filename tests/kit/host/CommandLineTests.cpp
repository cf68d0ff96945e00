// SPDX-License-Identifier: MIT
#include "kit/host/CommandLine.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

using kit::CommandLine;

namespace {

kit::Result<CommandLine> parse(std::initializer_list<std::string_view> arguments)
{
    std::vector<std::string_view> list(arguments);
    return CommandLine::parse(std::span<const std::string_view>(list));
}

} // namespace

TEST(CommandLine, EmptyCommandLineMeansDefaults)
{
    auto result = parse({});
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result->device);
    EXPECT_FALSE(result->snapshot);
    EXPECT_FALSE(result->listDevices || result->print || result->version || result->help);
    EXPECT_TRUE(result->urls.empty());
}

TEST(CommandLine, ValuesTakenInBothSpellings)
{
    auto separate = parse({ "--device", "tablet-768x1024", "--snapshot", "out" });
    ASSERT_TRUE(separate.ok()) << separate.error();
    EXPECT_EQ(*separate->device, "tablet-768x1024");
    EXPECT_EQ(*separate->snapshot, "out");

    auto joined = parse({ "--device=phone-320x480", "--snapshot=shot.png", "--print", "--list-devices" });
    ASSERT_TRUE(joined.ok()) << joined.error();
    EXPECT_EQ(*joined->device, "phone-320x480");
    EXPECT_EQ(*joined->snapshot, "shot.png");
    EXPECT_TRUE(joined->print);
    EXPECT_TRUE(joined->listDevices);
}

TEST(CommandLine, ValueThatLooksLikeAnOptionIsStillTheValue)
{
    // "--snapshot --print" names a folder called "--print"; the option does not swallow nothing.
    auto result = parse({ "--snapshot", "--print" });
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(*result->snapshot, "--print");
    EXPECT_FALSE(result->print);
}

TEST(CommandLine, LaterValueWins)
{
    auto result = parse({ "--device", "a", "--device=b" });
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(*result->device, "b");
}

TEST(CommandLine, BadInputIsAnErrorNamingTheCulprit)
{
    struct Case {
        std::vector<std::string_view> arguments;
        std::string_view mentioned;
    };
    const Case cases[] = {
        { { "--frobnicate" }, "--frobnicate" },
        { { "-x" }, "-x" },
        { { "--device" }, "--device" }, // value missing at the end
        { { "--device=" }, "--device" }, // empty value
        { { "--snapshot", "" }, "--snapshot" },
        { { "--print=yes" }, "--print" }, // flag given a value
        { { "--devices", "x" }, "--devices" }, // no prefix matching
        { { "stray" }, "stray" },
        { { "http://example.org" }, "http://example.org" },
        { { "--version", "--help", "--bogus" }, "--bogus" },
    };
    for (auto& c : cases) {
        auto result = CommandLine::parse(std::span<const std::string_view>(c.arguments));
        EXPECT_FALSE(result.ok()) << c.arguments.front();
        EXPECT_NE(result.error().find(c.mentioned), std::string::npos) << result.error();
    }
}

TEST(CommandLine, ApplicationAddressesAreCollectedInOrder)
{
    auto result = parse({ "velmora-quarrin://", "--print", "VELMORA-QUARRIN://open", "--", "velmora-quarrin:x" });
    ASSERT_TRUE(result.ok()) << result.error();
    ASSERT_EQ(result->urls.size(), 3u);
    EXPECT_EQ(result->urls[0], "velmora-quarrin://");
    EXPECT_EQ(result->urls[1], "VELMORA-QUARRIN://open");
    EXPECT_EQ(result->urls[2], "velmora-quarrin:x");
    EXPECT_TRUE(result->print);
}

TEST(CommandLine, DoubleDashEndsOptions)
{
    // After "--" an option-looking word is a plain argument, and not an address.
    EXPECT_FALSE(parse({ "--", "--help" }).ok());
    auto result = parse({ "--", "velmora-quarrin://" });
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result->help);
}

TEST(CommandLine, ApplicationURLNeedsTheWholeScheme)
{
    EXPECT_TRUE(CommandLine::isApplicationURL("velmora-quarrin://"));
    EXPECT_TRUE(CommandLine::isApplicationURL("Velmora-Quarrin:"));
    EXPECT_FALSE(CommandLine::isApplicationURL("velmora-quarrin"));
    EXPECT_FALSE(CommandLine::isApplicationURL("velmora-quarri://"));
    EXPECT_FALSE(CommandLine::isApplicationURL("velmora-quarrinx://"));
    EXPECT_FALSE(CommandLine::isApplicationURL("xvelmora-quarrin://"));
    EXPECT_FALSE(CommandLine::isApplicationURL(""));
}

TEST(CommandLine, ArgvFormSkipsTheProgramName)
{
    char program[] = "quarrin";
    char option[] = "--version";
    char* argv[] = { program, option, nullptr };
    auto result = CommandLine::parse(2, argv);
    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(result->version);
    EXPECT_TRUE(CommandLine::parse(1, argv).ok());
    EXPECT_TRUE(CommandLine::parse(0, nullptr).ok());
}

TEST(CommandLine, HelpListsEveryOptionAfterTheUsageLine)
{
    std::string help = CommandLine::helpText("kit-gallery");
    EXPECT_EQ(help.rfind(CommandLine::usageLine("kit-gallery") + "\n", 0), 0u);
    for (auto name : { "--device", "--list-devices", "--snapshot", "--print", "--version", "--help" })
        EXPECT_NE(help.find(std::string("\n  ") + name), std::string::npos) << name;
    EXPECT_NE(CommandLine::usageLine("vistrel").find("usage: vistrel "), std::string::npos);
}

TEST(CommandLine, EachProgramKindListsAndTakesOnlyItsOwnOptions)
{
    std::string widget = CommandLine::helpText("vistrel", CommandLine::Kind::Widget);
    EXPECT_NE(widget.find("\n  --interval SECONDS"), std::string::npos);
    EXPECT_NE(widget.find("print the figures as JSON"), std::string::npos);
    EXPECT_EQ(widget.find("--list-devices"), std::string::npos);
    std::string application = CommandLine::helpText("quarrin");
    EXPECT_EQ(application.find("--interval"), std::string::npos);
    EXPECT_NE(application.find("print the figures as JSON"), std::string::npos);
    EXPECT_EQ(application.find("describe the screens"), std::string::npos);

    std::vector<std::string_view> interval { "--interval", "5" };
    auto parsed = CommandLine::parse(std::span<const std::string_view>(interval), CommandLine::Kind::Widget);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->interval, "5");
    EXPECT_FALSE(CommandLine::parse(std::span<const std::string_view>(interval)).ok());
    std::vector<std::string_view> list { "--list-devices" };
    EXPECT_FALSE(CommandLine::parse(std::span<const std::string_view>(list), CommandLine::Kind::Widget).ok());
}
