#include "kit/base/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>

using kit::Locale::Category;

TEST(Locale, PosixNamesBecomeICUIdentifiers)
{
    struct Case {
        const char* posix;
        const char* icu;
    } cases[] = {
        { "de_DE.UTF-8", "de_DE" }, { "de_DE.UTF-8@euro", "de_DE" }, { "sv_SE", "sv_SE" }, { "fr", "fr" },
        { "C", "en_US" }, { "POSIX", "en_US" }, { "C.UTF-8", "en_US" }, { "", "en_US" }, { ".UTF-8", "en_US" },
        { "en_GB.ISO-8859-1", "en_GB" }, { "../../etc", "en_US" }, { "de DE", "en_US" },
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
