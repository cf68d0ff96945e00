// SPDX-License-Identifier: MIT
#include "kit/base/URLSession.h"

#include <gtest/gtest.h>

namespace {

struct ContentTypeCase {
    const char* header;
    const char* mimeType;
    const char* charset;
};

class ContentTypeParsing : public ::testing::TestWithParam<ContentTypeCase> { };

TEST_P(ContentTypeParsing, GivesTheLowerCaseTypeAndCharset)
{
    const ContentTypeCase& row = GetParam();
    kit::ContentType parsed = kit::parseContentType(row.header);
    EXPECT_EQ(parsed.mimeType, row.mimeType) << row.header;
    EXPECT_EQ(parsed.charset, row.charset) << row.header;
}

INSTANTIATE_TEST_SUITE_P(Headers, ContentTypeParsing,
    ::testing::Values(ContentTypeCase { "application/json", "application/json", "" },
        ContentTypeCase { "Text/HTML; Charset=UTF-8", "text/html", "utf-8" },
        ContentTypeCase { "  text/plain  ;charset=\"ISO-8859-1\"", "text/plain", "iso-8859-1" },
        ContentTypeCase { "text/plain; format=flowed; charset = utf-8 ; delsp=yes", "text/plain", "utf-8" },
        // A parameter that merely ends in "charset" is another parameter.
        ContentTypeCase { "text/plain; x-charset=koi8-r", "text/plain", "" },
        ContentTypeCase { "text/plain; x-charset=koi8-r; charset=utf-8", "text/plain", "utf-8" },
        // The first charset wins; malformed parameters are skipped, not fatal.
        ContentTypeCase { "text/xml; charset=utf-8; charset=latin1", "text/xml", "utf-8" },
        ContentTypeCase { "text/xml; charset; =x; ;", "text/xml", "" },
        ContentTypeCase { "text/xml; charset=\"", "text/xml", "\"" }, ContentTypeCase { "", "", "" },
        ContentTypeCase { ";charset=utf-8", "", "utf-8" }));

} // namespace
