// What stands at a name that is written over: links, hard links, FIFOs,
// devices, owners, attributes, permissions, and what a signal leaves.

#include "TempDir.h"

#include <ReplacementFile.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace {

const char kNew[] = "new bytes";

class ReplacingTest : public TempDirTest
{
protected:
    void TearDown() override
    {
        BPrivate::ReplacementFile::SetUnnamedAllowed(true);
        TempDirTest::TearDown();
    }

    std::vector<std::string> Names(const std::string& folder = "") const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(PathOf(folder)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    struct stat Lstat(const std::string& name) const
    {
        struct stat st = {};
        lstat(PathOf(name).c_str(), &st);
        return st;
    }

    std::string Attribute(const std::string& name, const char* key) const
    {
        char value[256];
        ssize_t n = getxattr(PathOf(name).c_str(), key, value, sizeof(value));
        return n >= 0 ? std::string(value, n) : "(none)";
    }

    // Writes the new bytes over picture.png and commits them.
    status_t Replace(const char* name = "picture.png")
    {
        BPrivate::ReplacementFile file;
        status_t status = file.Open(fDir, name);
        if (status != B_OK)
            return status;
        status = file.Stream()->WriteExactly(kNew, strlen(kNew));
        if (status != B_OK)
            return status;
        return file.Commit();
    }

    // Runs body in a child process and answers how it ended: its exit
    // status, or 1000 + the signal that ended it.
    static int InChild(const std::function<int()>& body)
    {
        pid_t pid = fork();
        if (pid == 0)
            _exit(body());
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFSIGNALED(status) ? 1000 + WTERMSIG(status) : WEXITSTATUS(status);
    }
};

// One row per kind of thing at the name: how it is made, and what must hold
// after the new bytes were committed through it.
struct StandingCase
{
    const char* name;
    std::function<void()> make;
    std::function<void()> check; // nullptr: the write is refused
};

TEST_F(ReplacingTest, WhatStandsAtTheNameIsRespected)
{
    StandingCase cases[] = {
        {"a link to a file in another folder: the file it points to is replaced",
         [&] {
             std::filesystem::create_directory(PathOf("sub"));
             WriteFile("sub/real.png", "old");
             symlink("sub/real.png", PathOf("picture.png").c_str());
         },
         [&] {
             EXPECT_TRUE(S_ISLNK(Lstat("picture.png").st_mode));
             EXPECT_EQ(ReadFile("sub/real.png"), kNew);
             EXPECT_EQ(Names("sub"), std::vector<std::string>{"real.png"});
             EXPECT_EQ(Names(), (std::vector<std::string>{"picture.png", "sub"}));
         }},
        {"a link to a file that does not exist is refused, as cp refuses it",
         [&] { symlink("nothing.png", PathOf("picture.png").c_str()); }, nullptr},
        {"a hard-linked file: every name sees the new bytes",
         [&] {
             WriteFile("picture.png", "old, and longer than the new bytes");
             link(PathOf("picture.png").c_str(), PathOf("other.png").c_str());
         },
         [&] {
             EXPECT_EQ(ReadFile("picture.png"), kNew);
             EXPECT_EQ(ReadFile("other.png"), kNew);
             EXPECT_EQ(Lstat("picture.png").st_ino, Lstat("other.png").st_ino);
             EXPECT_EQ(Names(), (std::vector<std::string>{"other.png", "picture.png"}));
         }},
        {"a link to a character device: written into, never replaced",
         [&] { symlink("/dev/null", PathOf("picture.png").c_str()); },
         [&] {
             struct stat st;
             ASSERT_EQ(stat("/dev/null", &st), 0);
             EXPECT_TRUE(S_ISCHR(st.st_mode));
             EXPECT_TRUE(S_ISLNK(Lstat("picture.png").st_mode));
             EXPECT_EQ(Names(), std::vector<std::string>{"picture.png"});
         }},
    };
    for (const StandingCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(fDir);
        std::filesystem::create_directory(fDir);
        c.make();
        status_t status = Replace();
        if (!c.check) {
            EXPECT_NE(status, B_OK);
            EXPECT_EQ(Names(), std::vector<std::string>{"picture.png"});
            continue;
        }
        ASSERT_EQ(status, B_OK);
        c.check();
    }
}

TEST_F(ReplacingTest, AFifoIsWrittenIntoAndOneNobodyReadsIsRefusedAtOnce)
{
    ASSERT_EQ(mkfifo(PathOf("picture.png").c_str(), 0600), 0);
    EXPECT_EQ(Replace(), B_BUSTED_PIPE);

    std::string got;
    std::thread reader([&] {
        std::ifstream in(PathOf("picture.png"), std::ios::binary);
        got.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    });
    // The reader's open waits for a writer, so the writer's open may come
    // first and find nobody; it is tried until the reader is there.
    status_t status = B_BUSTED_PIPE;
    for (int attempt = 0; attempt < 5000 && status == B_BUSTED_PIPE; attempt++) {
        status = Replace();
        if (status == B_BUSTED_PIPE)
            usleep(1000);
    }
    EXPECT_EQ(status, B_OK);
    reader.join();
    EXPECT_EQ(got, kNew);
    EXPECT_TRUE(S_ISFIFO(Lstat("picture.png").st_mode));
    EXPECT_EQ(Names(), std::vector<std::string>{"picture.png"});
}

// A reader that goes away makes a failed write, not the end of the process,
// also once the handlers that remove named files are in place.
TEST_F(ReplacingTest, AReaderThatLeavesIsAFailedWrite)
{
    WriteFile("picture.png", "old");
    ASSERT_EQ(mkfifo(PathOf("pipe.png").c_str(), 0600), 0);
    int ended = InChild([&] {
        BPrivate::ReplacementFile::SetUnnamedAllowed(false);
        if (Replace() != B_OK)
            return 2;
        int reader = open(PathOf("pipe.png").c_str(), O_RDONLY | O_NONBLOCK);
        BPrivate::ReplacementFile file;
        if (file.Open(fDir, "pipe.png") != B_OK)
            return 3;
        close(reader);
        file.Stream()->WriteExactly(kNew, strlen(kNew));
        return file.WriteError() == B_BUSTED_PIPE ? 0 : 4;
    });
    EXPECT_EQ(ended, 0);
}

TEST_F(ReplacingTest, OwnerGroupAndOtherAttributesAreKept)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a file to another owner needs root";
    WriteFile("picture.png", "old");
    ASSERT_EQ(chown(PathOf("picture.png").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(PathOf("picture.png").c_str(), 0640), 0);
    ASSERT_EQ(setxattr(PathOf("picture.png").c_str(), "user.comment", "kept", 4, 0), 0);
    ASSERT_EQ(setxattr(PathOf("picture.png").c_str(), "user.mime_type", "image/old", 9, 0), 0);

    BPrivate::ReplacementFile file;
    ASSERT_EQ(file.Open(fDir, "picture.png"), B_OK);
    ASSERT_EQ(file.Stream()->WriteExactly(kNew, strlen(kNew)), B_OK);
    ASSERT_EQ(file.File()->WriteAttr("mime_type", B_STRING_TYPE, 0, "image/png", 9), 9);
    ASSERT_EQ(file.Commit(), B_OK);

    struct stat st = Lstat("picture.png");
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Attribute("picture.png", "user.comment"), "kept");
    EXPECT_EQ(Attribute("picture.png", "user.mime_type"), "image/png");
    EXPECT_EQ(ReadFile("picture.png"), kNew);
}

TEST_F(ReplacingTest, TheTemporaryFileIsPrivateWhileItIsWritten)
{
    struct
    {
        const char* name;
        mode_t existing; // 0: no file yet
        bool named;
        mode_t expected;
    } cases[] = {
        {"new file", 0, false, 0600},
        {"over a 0644 file", 0644, false, 0600},
        {"over a 0400 file", 0400, false, 0400},
        {"named, new file", 0, true, 0600},
        {"named, over a 0644 file", 0644, true, 0600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        unlink(PathOf("picture.png").c_str());
        if (c.existing) {
            WriteFile("picture.png", "old");
            chmod(PathOf("picture.png").c_str(), c.existing);
        }
        BPrivate::ReplacementFile::SetUnnamedAllowed(!c.named);
        BPrivate::ReplacementFile file;
        ASSERT_EQ(file.Open(fDir, "picture.png"), B_OK);
        ASSERT_EQ(file.Stream()->WriteExactly(kNew, strlen(kNew)), B_OK);
        struct stat st;
        ASSERT_EQ(file.File()->GetStat(&st), B_OK);
        EXPECT_EQ(st.st_mode & 0777, c.expected);
        EXPECT_EQ(file.TemporaryPath().empty(), !c.named);
        ASSERT_EQ(file.Commit(), B_OK);
        mode_t mask = umask(0);
        umask(mask);
        EXPECT_EQ(Lstat("picture.png").st_mode & 0777, c.existing ? c.existing : 0666 & ~mask);
    }
}

TEST_F(ReplacingTest, NoSignalLeavesTheTemporaryFileBehind)
{
    WriteFile("picture.png", "old");
    for (bool named : {false, true}) {
        for (int signal :
             {SIGUSR1, SIGPIPE, SIGALRM, SIGXFSZ, SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGKILL}) {
            // Nothing can run on SIGKILL: only an unnamed file survives it.
            if (named && signal == SIGKILL)
                continue;
            // Once a FIFO was written, a broken pipe no longer ends the
            // process (see AReaderThatLeavesIsAFailedWrite).
            if (signal == SIGPIPE && InChild([] {
                                         raise(SIGPIPE);
                                         return 0;
                                     }) == 0)
                continue;
            SCOPED_TRACE(std::string(named ? "named, " : "unnamed, ") + strsignal(signal));
            int ended = InChild([&] {
                BPrivate::ReplacementFile::SetUnnamedAllowed(!named);
                BPrivate::ReplacementFile file;
                if (file.Open(fDir, "picture.png") != B_OK ||
                    file.Stream()->WriteExactly(kNew, strlen(kNew)) != B_OK ||
                    file.TemporaryPath().empty() != !named)
                    return 2;
                raise(signal);
                return 3;
            });
            EXPECT_EQ(ended, 1000 + signal);
            EXPECT_EQ(Names(), std::vector<std::string>{"picture.png"});
            EXPECT_EQ(ReadFile("picture.png"), "old");
        }
    }
}

// cp refuses a file its user may not write; root may write any, so the
// refusal is tried as another user.
TEST_F(ReplacingTest, AFileTheUserMayNotWriteIsRefused)
{
    WriteFile("locked.png", "old");
    WriteFile("open.png", "old");
    chmod(PathOf("locked.png").c_str(), 0444);
    chmod(PathOf("open.png").c_str(), 0644);
    auto attempt = [this] {
        if (Replace("locked.png") != B_PERMISSION_DENIED)
            return 1;
        if (Replace("open.png") != B_OK)
            return 2;
        return 0;
    };
    if (geteuid() != 0) {
        EXPECT_EQ(attempt(), 0);
    } else {
        chmod(fDir.c_str(), 0777);
        chown(PathOf("locked.png").c_str(), 65534, 65534);
        chown(PathOf("open.png").c_str(), 65534, 65534);
        EXPECT_EQ(InChild([&] {
                      if (setgid(65534) != 0 || setuid(65534) != 0)
                          return 9;
                      return attempt();
                  }),
                  0);
    }
    EXPECT_EQ(ReadFile("locked.png"), "old");
    EXPECT_EQ(ReadFile("open.png"), kNew);
    EXPECT_EQ(Names(), (std::vector<std::string>{"locked.png", "open.png"}));
}

// As cp, a file the user may write in a folder he may not is written in
// place.
TEST_F(ReplacingTest, AWritableFileInALockedFolderIsWrittenInPlace)
{
    WriteFile("picture.png", "old");
    ino_t inode = Lstat("picture.png").st_ino;
    auto attempt = [this] { return Replace() == B_OK ? 0 : 1; };
    if (geteuid() != 0) {
        chmod(fDir.c_str(), 0555);
        EXPECT_EQ(attempt(), 0);
        chmod(fDir.c_str(), 0755);
    } else {
        chmod(fDir.c_str(), 0755);
        chown(PathOf("picture.png").c_str(), 65534, 65534);
        EXPECT_EQ(InChild([&] {
                      if (setgid(65534) != 0 || setuid(65534) != 0)
                          return 9;
                      return attempt();
                  }),
                  0);
    }
    EXPECT_EQ(ReadFile("picture.png"), kNew);
    EXPECT_EQ(Lstat("picture.png").st_ino, inode);
    EXPECT_EQ(Names(), std::vector<std::string>{"picture.png"});
}

// A write that fails (here the file size limit) leaves the old content, for
// a plain file and for one with other hard links, and nothing beside it.
TEST_F(ReplacingTest, AFailedWriteLeavesTheOldContent)
{
    WriteFile("plain.png", "old");
    WriteFile("linked.png", "old");
    link(PathOf("linked.png").c_str(), PathOf("other.png").c_str());
    for (const char* name : {"plain.png", "linked.png"}) {
        SCOPED_TRACE(name);
        int ended = InChild([&] {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {4, 4};
            setrlimit(RLIMIT_FSIZE, &limit);
            BPrivate::ReplacementFile file;
            if (file.Open(fDir, name) != B_OK)
                return 2;
            file.Stream()->WriteExactly(kNew, strlen(kNew));
            status_t error = file.WriteError();
            if (error != B_POSIX_ERROR_BASE + EFBIG)
                return 3;
            return file.Commit() == error ? 0 : 4;
        });
        EXPECT_EQ(ended, 0);
        EXPECT_EQ(ReadFile(name), "old");
    }
    EXPECT_EQ(ReadFile("other.png"), "old");
    EXPECT_EQ(Names(), (std::vector<std::string>{"linked.png", "other.png", "plain.png"}));
}

} // namespace
