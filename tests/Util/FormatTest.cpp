#include "Util/SharedString.h"

#include <climits>
#include <gtest/gtest.h>

TEST(Placeholders, LowestDigitWinsAndLaterOccurrencesStay) {
    SharedString once = SharedString("%2 and %1").Arg(SharedString("a"));
    EXPECT_STREQ(once.Text(), "%2 and a");
    EXPECT_STREQ(once.Arg(SharedString("b")).Text(), "b and a");
    EXPECT_STREQ(SharedString("%1-%1").Arg(SharedString("x")).Text(), "x-%1");
    EXPECT_STREQ(SharedString("%3%2%1").Arg(1).Arg(2).Arg(3).Text(), "321");
}

TEST(Placeholders, WithoutPlaceholderTheValueIsAppended) {
    EXPECT_STREQ(SharedString("abc").Arg(SharedString("x")).Text(), "abcx");
    EXPECT_STREQ(SharedString("100%").Arg(SharedString("x")).Text(), "100%x");
    EXPECT_STREQ(SharedString().Arg(SharedString("v")).Text(), "v");
    EXPECT_STREQ(SharedString("DSP::Component %1").Arg(SharedString("Global")).Text(),
                 "DSP::Component Global");
}

TEST(Placeholders, ResultCodesPrintAsUnsignedHex) {
    std::int32_t failure = std::int32_t(0x80004005u);
    EXPECT_STREQ(SharedString("0x%1").Arg(failure, 16).Text(), "0x80004005");
    EXPECT_STREQ(SharedString("%1").Arg(failure, 10).Text(), "-2147467259");
    EXPECT_STREQ(SharedString("%1").Arg(std::uint32_t(4294967295u)).Text(), "4294967295");
}

TEST(NumberText, RadixDigitsAndSigns) {
    EXPECT_STREQ(ToText(std::int32_t(255), 16).Text(), "FF");
    EXPECT_STREQ(ToText(std::int32_t(-255), 10).Text(), "-255");
    EXPECT_STREQ(ToText(std::int32_t(INT_MIN), 10).Text(), "-2147483648");
    EXPECT_STREQ(ToText(std::int32_t(INT_MIN), 2).Text(), "-10000000000000000000000000000000");
    EXPECT_STREQ(ToText(std::int32_t(0), 10).Text(), "0");
    EXPECT_STREQ(ToText(std::int32_t(35), 36).Text(), "Z");
    EXPECT_STREQ(ToText(std::int32_t(42), 1).Text(), "42");
    EXPECT_STREQ(ToText(std::uint32_t(42), 37).Text(), "42");
}

TEST(SharedStringText, SharingSlicingAndSearch) {
    SharedString a("Hello");
    SharedString b = a;
    b += " world";
    EXPECT_STREQ(a.Text(), "Hello");
    EXPECT_EQ(b.Length(), 11);
    EXPECT_STREQ(b.Left(99).Text(), "Hello world");
    EXPECT_STREQ(b.Right(5).Text(), "world");
    EXPECT_TRUE(b.Mid(11).IsEmpty());
    EXPECT_STREQ(b.Mid(6, 3).Text(), "wor");
    int index = -1;
    EXPECT_TRUE(b.FindChar('W', 0, false, index));
    EXPECT_EQ(index, 6);
    EXPECT_FALSE(b.FindChar('W', 0, true, index));
    EXPECT_TRUE(b.EndsWith("WORLD", false));
    EXPECT_FALSE(b.EndsWith("WORLD", true));
    EXPECT_TRUE(SharedString() == "");
    EXPECT_STREQ(SharedString("abc", 2).Text(), "ab");
}

TEST(SharedStringText, SplitJoinAndWide) {
    auto parts = SharedString("a\\b\\\\c").Split('\\');
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_TRUE(parts[2].IsEmpty());
    EXPECT_STREQ(SharedString::Join(parts, "/").Text(), "a/b//c");
    EXPECT_EQ(SharedString("gr\xC3\xBC\xC3\x9F").ToWide(1), u"gr\u00FC\u00DF");
    EXPECT_EQ(SharedString("\xE9").ToWide(0), u"\u00E9");
}
