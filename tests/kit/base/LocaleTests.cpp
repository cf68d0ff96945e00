// SPDX-License-Identifier: MIT
#include "kit/base/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

using kit::Locale::Category;

TEST(Locale, PosixNamesBecomeICUIdentifiers)
{
    struct Case {
        const char* posix;
        const char* icu;
    } cases[] = {
        { "de_DE.UTF-8", "de_DE" },
        { "de_DE.UTF-8@euro", "de_DE" },
        { "sv_SE", "sv_SE" },
        { "fr", "fr" },
        { "C", "en_US" },
        { "POSIX", "en_US" },
        { "C.UTF-8", "en_US" },
        { "", "en_US" },
        { ".UTF-8", "en_US" },
        { "en_GB.ISO-8859-1", "en_GB" },
        { "../../etc", "en_US" },
        { "de DE", "en_US" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(kit::Locale::icuIdentifier(c.posix), c.icu) << c.posix;
}

TEST(Locale, AllThenCategoryThenLang)
{
    unsetenv("LC_ALL");
    unsetenv("LC_TIME");
    unsetenv("LC_COLLATE");
    unsetenv("LANG");
    EXPECT_EQ(kit::Locale::current(Category::Time), "en_US");

    setenv("LANG", "fr_FR.UTF-8", 1);
    EXPECT_EQ(kit::Locale::current(Category::Time), "fr_FR");
    setenv("LC_TIME", "de_DE.UTF-8", 1);
    EXPECT_EQ(kit::Locale::current(Category::Time), "de_DE");
    EXPECT_EQ(kit::Locale::current(Category::Collate), "fr_FR");
    setenv("LC_ALL", "sv_SE.UTF-8", 1);
    EXPECT_EQ(kit::Locale::current(Category::Time), "sv_SE");
    EXPECT_EQ(kit::Locale::current(Category::Collate), "sv_SE");
    // An empty variable counts as unset.
    setenv("LC_ALL", "", 1);
    EXPECT_EQ(kit::Locale::current(Category::Time), "de_DE");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(kit::Locale::current(Category::Time), "en_US");
    unsetenv("LC_ALL");
    unsetenv("LC_TIME");
    unsetenv("LANG");
}

TEST(Locale, CountryCodeIsTheTerritoryOfAPosixName)
{
    struct Case {
        const char* posix;
        std::optional<std::string> country;
    } cases[] = {
        { "de_CH.UTF-8", "CH" },
        { "en_gb", "GB" },
        { "sr_RS@latin", "RS" },
        { "es_419", "419" },
        { "pt-BR", "BR" },
        { "de", std::nullopt },
        { "C", std::nullopt },
        { "C.UTF-8", std::nullopt },
        { "POSIX", std::nullopt },
        { "", std::nullopt },
        { "de_DEU", std::nullopt },
        { "de_4x", std::nullopt },
        { "x_../", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(kit::Locale::countryCode(c.posix), c.country) << c.posix;
}

TEST(Locale, CurrentCountryIsTheRegionsAndTheFirstVariableSetDecides)
{
    unsetenv("LC_ALL");
    unsetenv("LC_MONETARY");
    unsetenv("LANG");
    EXPECT_EQ(kit::Locale::currentCountryCode(), std::nullopt);
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(kit::Locale::currentCountryCode(), "DE");
    setenv("LC_MONETARY", "fr_BE.UTF-8", 1);
    EXPECT_EQ(kit::Locale::currentCountryCode(), "BE");
    // LC_ALL=C overrides everything, and C has no country.
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(kit::Locale::currentCountryCode(), std::nullopt);
    unsetenv("LC_ALL");
    unsetenv("LC_MONETARY");
    unsetenv("LANG");
}

TEST(Locale, SystemCountryComesFromTheMachinesLocaleFiles)
{
    char pattern[] = "/tmp/quarrin-locale-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string root = pattern;
    std::filesystem::create_directories(root + "/etc/default");
    auto write = [&](const std::string& name, const std::string& text) { std::ofstream(root + "/" + name) << text; };

    EXPECT_EQ(kit::Locale::systemCountryCode(root), std::nullopt) << "no files";
    write("etc/default/locale", "# written by the installer\n  LANG=en_GB.UTF-8\r\n");
    EXPECT_EQ(kit::Locale::systemCountryCode(root), "GB");
    // locale.conf comes first, but only when it names LANG.
    write("etc/locale.conf", "LC_TIME=de_DE.UTF-8\n");
    EXPECT_EQ(kit::Locale::systemCountryCode(root + "/"), "GB");
    write("etc/locale.conf", "LANG=\"pt_BR.UTF-8\"\n");
    EXPECT_EQ(kit::Locale::systemCountryCode(root), "BR");
    write("etc/locale.conf", "LANG='C.UTF-8'\n");
    EXPECT_EQ(kit::Locale::systemCountryCode(root), std::nullopt);
    std::filesystem::remove_all(root);
}
