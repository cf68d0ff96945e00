// SPDX-License-Identifier: MIT
#include "kit/device/OsReleaseSource.h"

#include "tests/kit/device/CannedTree.h"

#include <gtest/gtest.h>

using kit::OsReleaseSource;
using kit::parseOsReleaseField;

TEST(OsReleaseSource, QuotingAsTheShellReadsIt)
{
    EXPECT_EQ(parseOsReleaseField("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "PRETTY_NAME"),
        "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(parseOsReleaseField("PRETTY_NAME='Arch Linux'", "PRETTY_NAME"), "Arch Linux");
    EXPECT_EQ(parseOsReleaseField("PRETTY_NAME=Gentoo # rolling\n", "PRETTY_NAME"), "Gentoo");
    EXPECT_EQ(parseOsReleaseField("PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$HOME \\n\"", "PRETTY_NAME"), "Say \"hi\" \\ $HOME \\n");
    // Single quotes keep backslashes.
    EXPECT_EQ(parseOsReleaseField("PRETTY_NAME='a\\\"b'", "PRETTY_NAME"), "a\\\"b");
    EXPECT_EQ(parseOsReleaseField("PRETTY_NAME=\"\"", "PRETTY_NAME"), "");
}

TEST(OsReleaseSource, OnlyWholeKeysAtTheStartOfALineAndTheLastOneWins)
{
    const char* text = "# PRETTY_NAME=\"comment\"\n"
                       "NAME=\"Fedora Linux\"\n"
                       "MY_PRETTY_NAME=\"other\"\n"
                       "PRETTY_NAMES=\"plural\"\n"
                       "  PRETTY_NAME=\"first\"  \r\n"
                       "PRETTY_NAME=\"Fedora Linux 40 (Workstation Edition)\"\n"
                       "PRETTY_NAME=\"unclosed\n"
                       "VERSION_ID=40";
    EXPECT_EQ(parseOsReleaseField(text, "PRETTY_NAME"), "Fedora Linux 40 (Workstation Edition)");
    EXPECT_EQ(parseOsReleaseField(text, "NAME"), "Fedora Linux");
    EXPECT_EQ(parseOsReleaseField(text, "VERSION_ID"), "40");
    EXPECT_EQ(parseOsReleaseField(text, "ID"), std::nullopt);
    EXPECT_EQ(parseOsReleaseField("", "PRETTY_NAME"), std::nullopt);
    EXPECT_EQ(parseOsReleaseField("PRETTY_NAME", "PRETTY_NAME"), std::nullopt);
}

TEST(OsReleaseSource, ControlCharactersAndRunawayValuesAreTamed)
{
    std::string text = "PRETTY_NAME=\"Line\tone\x1b[31m\"";
    EXPECT_EQ(parseOsReleaseField(text, "PRETTY_NAME"), "Line one [31m");
    std::string longValue = "PRETTY_NAME=\"" + std::string(5000, 'x') + "\"";
    EXPECT_EQ(parseOsReleaseField(longValue, "PRETTY_NAME")->size(), 256u);
}

TEST(OsReleaseSource, EtcFirstThenUsrLibThenNothing)
{
    kit::test::CannedTree tree;
    EXPECT_EQ(OsReleaseSource(tree.root()).prettyName(), std::nullopt);

    tree.write("/usr/lib/os-release", "NAME=Debian\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    EXPECT_EQ(OsReleaseSource(tree.root()).prettyName(), "Debian GNU/Linux 12 (bookworm)");

    tree.write("/etc/os-release", "PRETTY_NAME=\"Ubuntu 24.04.1 LTS\"\n");
    EXPECT_EQ(OsReleaseSource(tree.root()).prettyName(), "Ubuntu 24.04.1 LTS");

    // A readable file without a name is the answer; the other file is not consulted.
    tree.write("/etc/os-release", "NAME=Custom\nPRETTY_NAME=\"   \"\n");
    EXPECT_EQ(OsReleaseSource(tree.root()).prettyName(), std::nullopt);
}
