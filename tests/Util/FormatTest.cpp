// Text: placeholders, numbers, the shared string's own operations and the descriptions
// of exceptions.

#include "Util/Exception.h"
#include "Util/FileIOException.h"
#include "Util/SharedString.h"

#include <climits>
#include <gtest/gtest.h>

TEST(Placeholders, LowestDigitWinsLaterOccurrencesStayAndWithoutOneTheValueIsAppended) {
    SharedString once = SharedString("%2 and %1").Arg(SharedString("a"));
    EXPECT_STREQ(once.Text(), "%2 and a");
    EXPECT_STREQ(once.Arg(SharedString("b")).Text(), "b and a");
    EXPECT_STREQ(SharedString("%1-%1").Arg(SharedString("x")).Text(), "x-%1");
    EXPECT_STREQ(SharedString("%3%2%1").Arg(1).Arg(2).Arg(3).Text(), "321");

    EXPECT_STREQ(SharedString("abc").Arg(SharedString("x")).Text(), "abcx");
    EXPECT_STREQ(SharedString("100%").Arg(SharedString("x")).Text(), "100%x");
    EXPECT_STREQ(SharedString().Arg(SharedString("v")).Text(), "v");
}

// Result codes print as unsigned hex; radixes outside 2 ... 36 fall back to decimal.
TEST(NumberText, RadixDigitsAndSigns) {
    const std::int32_t failure = std::int32_t(0x80004005u);
    EXPECT_STREQ(SharedString("0x%1").Arg(failure, 16).Text(), "0x80004005");
    EXPECT_STREQ(SharedString("%1").Arg(failure, 10).Text(), "-2147467259");
    EXPECT_STREQ(SharedString("%1").Arg(std::uint32_t(4294967295u)).Text(), "4294967295");
    EXPECT_STREQ(ToText(std::int32_t(255), 16).Text(), "FF");
    EXPECT_STREQ(ToText(std::int32_t(-255), 10).Text(), "-255");
    EXPECT_STREQ(ToText(std::int32_t(INT_MIN), 10).Text(), "-2147483648");
    EXPECT_STREQ(ToText(std::int32_t(INT_MIN), 2).Text(), "-10000000000000000000000000000000");
    EXPECT_STREQ(ToText(std::int32_t(0), 10).Text(), "0");
    EXPECT_STREQ(ToText(std::int32_t(35), 36).Text(), "Z");
    EXPECT_STREQ(ToText(std::int32_t(42), 1).Text(), "42");
    EXPECT_STREQ(ToText(std::uint32_t(42), 37).Text(), "42");
}

// Copies share until one changes; the rest reaches beyond what the path functions use.
TEST(SharedStringText, SharingSlicingSearchSplitAndWide) {
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
    auto parts = SharedString("a\\b\\\\c").Split('\\');
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_TRUE(parts[2].IsEmpty());
    EXPECT_STREQ(SharedString::Join(parts, "/").Text(), "a/b//c");
    EXPECT_EQ(SharedString("gr\xC3\xBC\xC3\x9F").ToWide(1), u"gr\u00FC\u00DF");
    EXPECT_EQ(SharedString("\xE9").ToWide(0), u"\u00E9");
}

// An unset location shows as -1 and an unset error as all ones; FileIO kinds beyond the
// known ones are unknown (6) or unexpected.
TEST(ExceptionDescription, BaseDeliveryAndFileIO) {
    EXPECT_STREQ(Exception::Base("Something failed").Describe().Text(),
                 "Base:\n\tSomething failed\n\t (-1): Thrown, GetLastError(): 4294967295\n");
    Exception::Delivery error("Can't get delivery buffer");
    error.SetLocation("PluginBase\\DirectX\\DXPlugin", 412, 0);
    error.SetCode(0x8004020Bu);
    EXPECT_STREQ(
        error.Describe().Text(),
        "Base:\n\tCan't get delivery buffer\n\tPluginBase\\DirectX\\DXPlugin (412): Thrown, "
        "GetLastError(): 0\n\nDelivery: 0x8004020B");
    EXPECT_TRUE(Util::Exception::FileIO("_mkdir() failed", "/x/y", 3)
                    .Describe()
                    .EndsWith("\nFileIO:\n/x/y: Write error"));
    EXPECT_TRUE(Util::Exception::FileIO("m", "p", 6).Describe().EndsWith("p:  Unknown error"));
    EXPECT_TRUE(Util::Exception::FileIO("m", "p", 7).Describe().EndsWith("p: Unexpected error"));
}
