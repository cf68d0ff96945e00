// SPDX-License-Identifier: MIT
#include "kit/base/Result.h"
#include "kit/base/Verify.h"

#include <gtest/gtest.h>

#include <string>

using kit::Error;
using kit::Result;

TEST(Result, ValueAndErrorAreExclusive)
{
    Result<std::string> good(std::string("text"));
    EXPECT_TRUE(good.ok());
    EXPECT_EQ(*good, "text");
    EXPECT_EQ(good.error(), "");
    EXPECT_EQ(good.valueOr("other"), "text");

    Result<std::string> bad(Error { "no such file" });
    EXPECT_FALSE(bad.ok());
    EXPECT_FALSE(static_cast<bool>(bad));
    EXPECT_EQ(bad.error(), "no such file");
    EXPECT_EQ(bad.valueOr("fallback"), "fallback");

    Result<void> done;
    EXPECT_TRUE(done.ok());
    Result<void> failed(Error { "disk full" });
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(failed.error(), "disk full");
}

// Taking the value of a failure used to be an assert, which release builds compile out: the
// caller then read whatever std::get made of it. It must stop the program in every build.
TEST(ResultDeathTest, ValueOfAFailureStopsTheProgramInEveryBuild)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Result<int> bad(Error { "unreadable" });
            [[maybe_unused]] int value = bad.value();
        },
        "VERIFY\\(ok\\(\\)\\) failed at .*Result.h");
    EXPECT_DEATH(
        {
            const Result<std::string> bad(Error { "unreadable" });
            [[maybe_unused]] auto size = bad->size();
        },
        "VERIFY\\(ok\\(\\)\\) failed");
}

TEST(VerifyDeathTest, HoldsAndFails)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int checks = 0;
    VERIFY(++checks == 1);
    EXPECT_EQ(checks, 1); // the condition runs once, in every build
    EXPECT_DEATH(VERIFY(checks == 2), "VERIFY\\(checks == 2\\) failed at .*ResultTests.cpp");
    EXPECT_DEATH(VERIFY_NOT_REACHED(), "VERIFY\\(not reached\\) failed");
}
