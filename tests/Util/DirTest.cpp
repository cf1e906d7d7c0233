#include "Util/Dir.h"
#include "Util/FileIOException.h"
#include "Util/RegistryKey.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "tests/TestFolder.h"

namespace {

namespace fs = std::filesystem;

class TempFolder : public ::testing::Test {
protected:
    TestFolder folder;
    const fs::path& root = folder.path;
};

} // namespace

TEST(Paths, NormaliseResolvesParentsAndSeparatorsAndMakeAbsoluteExpandsHome) {
    EXPECT_STREQ(Util::Dir::Normalise("a\\b\\..\\c").Text(), "a/c");
    EXPECT_STREQ(Util::Dir::Normalise("//server/share//x").Text(), "//server/share/x");
    EXPECT_STREQ(Util::Dir::Normalise("../a/b/").Text(), "../a/b");
    EXPECT_STREQ(Util::Dir::Normalise("/").Text(), "/");
    EXPECT_STREQ(Util::Dir::FileName("C:\\x/y.dll").Text(), "y.dll");
    EXPECT_STREQ(Util::Dir::FileName("plain").Text(), "plain");
    EXPECT_STREQ(Util::Dir("C:\\a\\b").Path().Text(), "C:/a/b/");
    EXPECT_TRUE(Util::Dir("").Path().IsEmpty());
    EXPECT_STREQ(Util::Dir::MakeAbsolute("rel").Text(), (fs::current_path() / "rel").c_str());
    {
        ScopedEnv home("HOME", "C:\\Users\\x");
        EXPECT_STREQ(Util::Dir::MakeAbsolute("~/presets").Text(), "C:\\Users\\x/presets");
        EXPECT_STREQ(Util::Dir::MakeAbsolute("~").Text(), "C:\\Users\\x/");
    }
    ScopedEnv home("HOME", nullptr);
    EXPECT_STREQ(Util::Dir::MakeAbsolute("~/presets").Text(), "/presets");
}

TEST(Paths, ModuleDirectoryEndsInASeparator) {
    SharedString folder = Util::Dir::ModuleDirectory();
    EXPECT_TRUE(folder.EndsWith("\\"));
    EXPECT_TRUE(Util::Dir::Exists(folder));
    EXPECT_FALSE(Util::Dir::Exists(""));
}

TEST_F(TempFolder, CreatesAWholeChainAndLongPathFindsIt) {
    SharedString chain = (root.string() + "/a/b/c/").c_str();
    Util::Dir::CreateDirectory(chain, true);
    EXPECT_TRUE(fs::is_directory(root / "a/b/c"));
    SharedString longPath = Util::Dir::LongPath(chain);
    EXPECT_STREQ(longPath.ReplaceChar('\\', '/').Text(), fs::canonical(root / "a/b/c").c_str());
    Util::Dir::CreateDirectory((root.string() + "/single").c_str(), false);
    EXPECT_TRUE(fs::is_directory(root / "single"));
    // Without a trailing separator the last part is a file name, not a folder to create.
    Util::Dir::CreateDirectory((root.string() + "/d/file").c_str(), true);
    EXPECT_TRUE(fs::is_directory(root / "d"));
    EXPECT_FALSE(fs::exists(root / "d/file"));
}

TEST_F(TempFolder, CreationFailureRaisesFileIOWithItsLocation) {
    if (::geteuid() == 0) {
        // root ignores folder permissions; a regular file in the way fails the same call.
        std::ofstream(root / "blocker") << "x";
    } else {
        fs::create_directory(root / "blocker");
        fs::permissions(root, fs::perms::owner_read | fs::perms::owner_exec);
    }
    auto expectFailure = [&](const std::string& path, bool recursive, int line) {
        try {
            Util::Dir::CreateDirectory(path.c_str(), recursive);
            ADD_FAILURE() << "no exception for " << path;
        } catch (const Util::Exception::FileIO& error) {
            EXPECT_STREQ(error.Message().Text(), "_mkdir() failed");
            EXPECT_STREQ(error.File().Text(), "Util\\Dir_win");
            EXPECT_EQ(error.Line(), line);
            EXPECT_EQ(error.ErrorKind(), 3u);
            EXPECT_NE(error.LastError(), 0u);
        }
    };
    expectFailure(root.string() + "/blocker/sub/", true, 56);
    expectFailure(root.string() + "/blocker/sub", false, 64);
}

TEST_F(TempFolder, SettingsStoreReadsValuesOrDefaults) {
    ScopedEnv config("XDG_CONFIG_HOME", root.c_str());
    Util::RegistryKey key("SOFTWARE\\Quillon\\QuillonSonavelEnhancement\\DirectX");
    EXPECT_STREQ(key.ReadString("InstallPath", "fallback").Text(), "fallback");

    fs::create_directories(root / "Quillon/QuillonSonavelEnhancement");
    std::ofstream(root / "Quillon/QuillonSonavelEnhancement/DirectX.conf")
        << "Other=1\nInstallPath=/opt/sonavel data\n";
    EXPECT_STREQ(key.ReadString("InstallPath", "fallback").Text(), "/opt/sonavel data");
    EXPECT_STREQ(key.ReadString("Missing", "fallback").Text(), "fallback");
}
