#include "Util/Exception.h"
#include "Util/FileIOException.h"

#include <gtest/gtest.h>

TEST(ExceptionDescription, UnsetLocationShowsMinusOneAndAllOnes) {
    Exception::Base error("Something failed");
    EXPECT_STREQ(error.Describe().Text(),
                 "Base:\n\tSomething failed\n\t (-1): Thrown, GetLastError(): 4294967295\n");
}

TEST(ExceptionDescription, DeliveryAddsItsCodeInHex) {
    Exception::Delivery error("Can't get delivery buffer");
    error.SetLocation("PluginBase\\DirectX\\DXPlugin", 412, 0);
    error.SetCode(0x8004020Bu);
    EXPECT_STREQ(error.Describe().Text(),
                 "Base:\n\tCan't get delivery buffer\n\tPluginBase\\DirectX\\DXPlugin (412): Thrown, "
                 "GetLastError(): 0\n\nDelivery: 0x8004020B");
}

TEST(ExceptionDescription, FileIOKindsAndUnknownKind) {
    Util::Exception::FileIO written("_mkdir() failed", "/x/y", 3);
    EXPECT_TRUE(written.Describe().EndsWith("\nFileIO:\n/x/y: Write error"));
    Util::Exception::FileIO unknown("m", "p", 6);
    EXPECT_TRUE(unknown.Describe().EndsWith("p:  Unknown error"));
    Util::Exception::FileIO unexpected("m", "p", 7);
    EXPECT_TRUE(unexpected.Describe().EndsWith("p: Unexpected error"));
}
