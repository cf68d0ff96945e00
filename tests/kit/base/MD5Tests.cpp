// SPDX-License-Identifier: MIT
#include "kit/base/MD5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(MD5, MatchesTheReferenceVectors)
{
    struct Case {
        const char* input;
        const char* digest;
    } cases[] = {
        { "", "d41d8cd98f00b204e9800998ecf8427e" },
        { "a", "0cc175b9c0f1b6a831c399e269772661" },
        { "abc", "900150983cd24fb0d6963f7d28e17f72" },
        { "message digest", "f96b697d7cb7938d525a2f31aaf161d0" },
        { "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b" },
        { "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f" },
        { "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
            "57edf4a22be3c955ac49da2e2107b67a" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(kit::md5Hex(kit::md5(c.input)), c.digest) << '"' << c.input << '"';
}

TEST(MD5, DigestBytesAndUpperCaseHexAgree)
{
    kit::MD5Digest digest = kit::md5(std::string_view("abc"));
    EXPECT_EQ(digest[0], 0x90);
    EXPECT_EQ(digest[15], 0x72);
    EXPECT_EQ(kit::md5Hex(digest, true), "900150983CD24FB0D6963F7D28E17F72");
}

TEST(MD5, BytesAfterANulAreHashed)
{
    std::vector<std::uint8_t> withNul = { 'a', 0, 'b' };
    std::vector<std::uint8_t> truncated = { 'a' };
    EXPECT_NE(kit::md5(withNul), kit::md5(truncated));
    EXPECT_EQ(kit::md5(withNul), kit::md5(std::string_view("a\0b", 3)));
}
