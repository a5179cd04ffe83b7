// The Windows state file through the wide-character APIs: a folder name
// outside any ANSI code page is written, read back and locked.
#include "platform/base/statefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

TEST(WindowsStateFile, WorksOutsideTheAnsiCodePage)
{
    const std::string app = "orvane-\xE6\xB5\x8B\xE8\xAF\x95-\xC3\xA9";  // "orvane-测试-é"
    std::string error;
    const std::string dir = afx::UserStateDirectory(app, error);
    ASSERT_FALSE(dir.empty()) << error;
    const std::string path = afx::UserStatePath(app, "hosts");
    ASSERT_EQ(path.rfind(dir, 0), 0u) << path;
    {
        afx::FileLock lock(afx::UserStatePath(app, "hosts.lock"));
        ASSERT_TRUE(lock.Locked()) << lock.Error();
        ASSERT_TRUE(afx::ReplaceFileContents(path, "192.168.1.9\n", error)) << error;
    }
    std::string text;
    ASSERT_TRUE(afx::ReadWholeFile(path, text, error)) << error;
    EXPECT_EQ(text, "192.168.1.9\n");
    // The prefix is shared with the installer's test, which checks that
    // nothing is left in it.
    std::filesystem::remove_all(std::filesystem::path(std::u8string(dir.begin(), dir.end())));
}
