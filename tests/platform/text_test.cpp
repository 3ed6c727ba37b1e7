// SPDX-License-Identifier: MIT
// Code-page conversion and bounded copies of names.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/text.h"

namespace {

TEST(Text, ViewStopsAtTheTerminatorOrTheFieldsEnd)
{
    const char terminated[8] = {'a', 'b', 0, 'c', 'd', 'e', 'f', 'g'};
    const char full[4] = {'w', 'x', 'y', 'z'};
    const char16_t wide[3] = {u'p', u'q', u'r'};
    EXPECT_EQ(text_view(terminated), "ab");
    EXPECT_EQ(text_view(full), "wxyz");
    EXPECT_EQ(text_view(wide), u"pqr");
}

TEST(Text, ConversionsMapBeyondAsciiToAQuestionMark)
{
    char16_t wide[8];
    EXPECT_EQ(widen_text("Gr\xFCn~", wide), 5u);
    EXPECT_EQ(std::u16string(wide), u"Gr?n~");
    char narrow[8];
    EXPECT_EQ(narrow_text(u"d\u00E9t\u00E9 \u6771", narrow), 6u);
    EXPECT_STREQ(narrow, "d?t? ?");
}

TEST(Text, EveryHelperCutsToItsDestinationAndTerminates)
{
    char out[4] = {'#', '#', '#', '#'};
    char16_t wide_out[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(narrow_text(u"abcdef", out), 3u);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(widen_text("abcdef", wide_out), 3u);
    EXPECT_EQ(std::u16string(wide_out), u"abc");
    EXPECT_EQ(copy_text(std::string_view("uvwxyz"), out), 3u);
    EXPECT_STREQ(out, "uvw");
    EXPECT_EQ(copy_text(std::u16string_view(u"uvwxyz"), wide_out), 3u);
    EXPECT_EQ(std::u16string(wide_out), u"uvw");
    // An empty destination is left alone.
    EXPECT_EQ(copy_text(std::string_view("abc"), std::span<char>(out, 0)), 0u);
    EXPECT_STREQ(out, "uvw");
}

// Only the 26 ASCII letters fold: the neighbours of their code points, each
// 0x20 from another character, and bytes beyond ASCII compare as they are.
TEST(Text, CaseIsIgnoredForAsciiLettersOnly)
{
    EXPECT_TRUE(equal_ignoring_case("Pacific Standard Time", "PACIFIC standard TIME"));
    EXPECT_TRUE(equal_ignoring_case("", ""));
    EXPECT_FALSE(equal_ignoring_case("abc", "abcd"));
    for (const char c : std::string_view("@[\\]^_\xC4"))
        EXPECT_FALSE(equal_ignoring_case(std::string(1, c), std::string(1, static_cast<char>(c | 0x20)))) << c;
    EXPECT_TRUE(starts_with_ignoring_case("TZ=-1", "tz="));
    EXPECT_TRUE(starts_with_ignoring_case("dst", ""));
    EXPECT_FALSE(starts_with_ignoring_case("tz", "tz="));
    EXPECT_FALSE(starts_with_ignoring_case("tzoff=4", "tz="));
}

}  // namespace
