// The state directory and file refuse what someone else could have planted:
// another user's or a shared directory, links, FIFOs, devices, huge files;
// and a lock held elsewhere is not waited for once a stop is requested.
#include "platform/base/statefile.h"
#include "platform/base/afxstop.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

class StateDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[] = "/tmp/orvane-state-XXXXXX";
        ASSERT_NE(mkdtemp(base), nullptr);
        m_base = base;
        setenv("XDG_STATE_HOME", base, 1);
        std::string error;
        m_dir = afx::UserStateDirectory("orvane", error);
        ASSERT_EQ(m_dir, m_base + "/orvane") << error;
        m_file = afx::UserStatePath("orvane", "hosts");
    }
    void TearDown() override { std::system(("rm -rf '" + m_base + "'").c_str()); }

    bool Read(std::string& error)
    {
        std::string text;
        return afx::ReadWholeFile(m_file, text, error);
    }

    std::string m_base, m_dir, m_file;
};

TEST_F(StateDir, ASharedOrForeignDirectoryIsNotUsed)
{
    std::string error;
    ASSERT_TRUE(afx::ReplaceFileContents(m_file, "planted\n", error)) << error;
    ASSERT_TRUE(Read(error)) << error;

    chmod(m_dir.c_str(), 0777);
    EXPECT_FALSE(Read(error));
    EXPECT_NE(error.find("not used"), std::string::npos) << error;
    EXPECT_FALSE(afx::ReplaceFileContents(m_file, "x\n", error));
    EXPECT_FALSE(afx::FileLock(m_dir + "/hosts.lock").Locked());
    EXPECT_TRUE(afx::UserStateDirectory("orvane", error).empty());

    chmod(m_dir.c_str(), 0700);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(m_dir.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(Read(error));
        ASSERT_EQ(chown(m_dir.c_str(), 0, 0), 0);
    }
    // A link in the directory's place is not followed.
    ASSERT_EQ(rename(m_dir.c_str(), (m_base + "/real").c_str()), 0);
    ASSERT_EQ(symlink("real", m_dir.c_str()), 0);
    EXPECT_FALSE(Read(error));
}

TEST_F(StateDir, OnlyARegularFileOfModestSizeIsRead)
{
    std::string error;
    ASSERT_EQ(mkfifo(m_file.c_str(), 0600), 0);
    EXPECT_FALSE(Read(error));  // at once: a FIFO without a writer would block
    unlink(m_file.c_str());

    ASSERT_EQ(symlink("/dev/zero", m_file.c_str()), 0);
    EXPECT_FALSE(Read(error));
    unlink(m_file.c_str());

    const int fd = open(m_file.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(afx::kMaxStateFileBytes) + 1), 0);
    close(fd);
    EXPECT_FALSE(Read(error));
    EXPECT_NE(error.find("not read"), std::string::npos) << error;

    unlink(m_file.c_str());
    EXPECT_TRUE(Read(error));  // missing: empty, and fine
}

TEST_F(StateDir, TheLockFollowsNoLinkAndGivesUpOnAStop)
{
    const std::string lockPath = m_dir + "/hosts.lock";
    const std::string target = m_base + "/elsewhere";
    ASSERT_EQ(symlink(target.c_str(), lockPath.c_str()), 0);
    EXPECT_FALSE(afx::FileLock(lockPath).Locked());
    EXPECT_NE(access(target.c_str(), F_OK), 0) << "the lock created its link's target";
    unlink(lockPath.c_str());

    // Another holder (flock is per open file, so another descriptor counts).
    const int other = open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    afx::StopToken stop;
    afx::StopToken::Install(&stop);
    stop.Request();
    afx::FileLock lock(lockPath);
    EXPECT_FALSE(lock.Locked());
    EXPECT_NE(lock.Error().find("interrupted"), std::string::npos) << lock.Error();
    afx::StopToken::Install(nullptr);
    close(other);
    EXPECT_TRUE(afx::FileLock(lockPath).Locked());
}

}  // namespace
