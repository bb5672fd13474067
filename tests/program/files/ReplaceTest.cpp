// Save as over what already stands at the name (links, hard links, FIFOs,
// devices, other owners), and what the user is shown when a save fails.

#include <BitmapStream.h>

#include "FileFixture.h"
#include "io/save.h"
#include <ReplacementFile.h>

#include <QApplication>
#include <QWidget>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace {

const char kPNGSignature[] = "\x89PNG\r\n\x1a\n";

class ReplaceTest : public FileTest
{
protected:
    void SetUp() override
    {
        FileTest::SetUp();
        ASSERT_TRUE(Pattern(30, 20).save(QString::fromStdString(Path("sky.png"))));
        entry_ref ref = Ref("sky.png");
        view->load(ref);
        ASSERT_NE(view->image, nullptr);
        view->format_no = (int16)FormatNumber("image/png");
        ASSERT_GE(view->format_no, 0);
    }

    void TearDown() override
    {
        TakeAlert();
        FileTest::TearDown();
    }

    void Save(const char* name, const std::string& folder = "")
    {
        entry_ref dir;
        get_ref_for_path(folder.empty() ? this->folder.path().toUtf8().constData() : folder.c_str(),
                         &dir);
        testing::internal::CaptureStderr();
        view->save(dir, const_cast<char*>(name));
        fSaid = testing::internal::GetCapturedStderr();
    }

    std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    bool IsPNG(const std::string& path) { return Read(path).rfind(kPNGSignature, 0) == 0; }

    std::string Attribute(const std::string& path, const char* key)
    {
        char value[256];
        ssize_t n = getxattr(path.c_str(), key, value, sizeof(value));
        return n >= 0 ? std::string(value, n) : "(none)";
    }

    std::vector<std::string> Names(const std::string& sub = "")
    {
        QDir dir(folder.path() + (sub.empty() ? "" : "/" + QString::fromStdString(sub)));
        std::vector<std::string> names;
        for (const QString& name :
             dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System))
            names.push_back(name.toStdString());
        return names;
    }

    // The text of the failed-save alert on screen, closing it; "" for none.
    std::string TakeAlert()
    {
        // A failed save shows its alert before the window goes on.
        Settle();
        return FileTest::TakeAlert("Save failed");
    }

    std::string fSaid;
};

TEST_F(ReplaceTest, SavingThroughWhatStandsAtTheName)
{
    // A link to a file in another folder: the file it points to is replaced.
    QDir(folder.path()).mkdir("sub");
    std::ofstream(Path("sub/real.png")) << "old";
    symlink("sub/real.png", Path("link.png").c_str());
    Save("link.png");
    struct stat st;
    ASSERT_EQ(lstat(Path("link.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(IsPNG(Path("sub/real.png")));
    EXPECT_EQ(Attribute(Path("sub/real.png"), "user.mime_type"), "image/png");
    EXPECT_EQ(Names("sub"), std::vector<std::string>{"real.png"});

    // A hard-linked file: both names hold the picture.
    std::ofstream(Path("one.png")) << "old";
    link(Path("one.png").c_str(), Path("two.png").c_str());
    Save("one.png");
    EXPECT_TRUE(IsPNG(Path("two.png")));
    EXPECT_EQ(Attribute(Path("two.png"), "user.mime_type"), "image/png");

    // A link to a character device is written into, never replaced.
    symlink("/dev/null", Path("null.png").c_str());
    Save("null.png");
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    EXPECT_EQ(fSaid, "");
    EXPECT_EQ(TakeAlert(), "");
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.png", "null.png", "one.png", "sky.png",
                                                 "sub", "two.png"}));
}

TEST_F(ReplaceTest, AFifoIsWrittenIntoAndOneNobodyReadsFailsAtOnce)
{
    ASSERT_EQ(mkfifo(Path("pipe.png").c_str(), 0600), 0);
    Save("pipe.png");
    EXPECT_NE(TakeAlert().find("nothing reads from the pipe"), std::string::npos) << fSaid;

    std::string got;
    std::thread reader([&] { got = Read(Path("pipe.png")); });
    // The reader's open waits for a writer; the save is repeated until it
    // finds the reader there.
    for (int attempt = 0; attempt < 5000; attempt++) {
        Save("pipe.png");
        if (TakeAlert().empty())
            break;
        usleep(1000);
    }
    reader.join();
    EXPECT_EQ(got.rfind(kPNGSignature, 0), 0u);
    struct stat st;
    ASSERT_EQ(lstat(Path("pipe.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ReplaceTest, OwnerGroupAndOtherAttributesAreKept)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a file to another owner needs root";
    std::ofstream(Path("theirs.png")) << "old";
    ASSERT_EQ(chown(Path("theirs.png").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(Path("theirs.png").c_str(), 0604), 0);
    ASSERT_EQ(setxattr(Path("theirs.png").c_str(), "user.comment", "kept", 4, 0), 0);
    Save("theirs.png");
    struct stat st;
    ASSERT_EQ(stat(Path("theirs.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(Attribute(Path("theirs.png"), "user.comment"), "kept");
    EXPECT_EQ(Attribute(Path("theirs.png"), "user.mime_type"), "image/png");
    EXPECT_TRUE(IsPNG(Path("theirs.png")));
}

// Runs body in a child process (which touches no window) and answers its
// exit status.
int in_child(const std::function<int()>& body)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(ReplaceTest, AFileTheUserMayNotWriteIsRefusedAndAFailedWriteKeepsTheOld)
{
    std::ofstream(Path("locked.png")) << "old";
    chmod(Path("locked.png").c_str(), 0444);
    std::ofstream(Path("kept.png")) << "old";
    entry_ref dir = FolderRef();
    BBitmap* image = view->image;
    int32 type = format_at(view->format_no)->type;

    // As cp: root may write the read-only file, another user may not.
    int refused = in_child([&] {
        if (geteuid() == 0) {
            chmod(folder.path().toUtf8().constData(), 0777);
            chown(Path("locked.png").c_str(), 65534, 65534);
            if (setgid(65534) != 0 || setuid(65534) != 0)
                return 9;
        }
        BBitmapStream stream(image);
        status_t status = write_translated(dir, "locked.png", &stream, 0, type, "image/png");
        BBitmap* back;
        stream.DetachBitmap(&back);
        return status == B_PERMISSION_DENIED ? 0 : 1;
    });
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(Read(Path("locked.png")), "old");
    EXPECT_STREQ(save_failure_text(B_PERMISSION_DENIED), "permission denied");

    // A write that fails half-way (the file size limit) leaves the old file.
    int failed = in_child([&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {16, 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        BBitmapStream stream(image);
        status_t status = write_translated(dir, "kept.png", &stream, 0, type, "image/png");
        BBitmap* back;
        stream.DetachBitmap(&back);
        return status == B_POSIX_ERROR_BASE + EFBIG ? 0 : 1;
    });
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(Read(Path("kept.png")), "old");
    EXPECT_EQ(Names(), (std::vector<std::string>{"kept.png", "locked.png", "sky.png"}));
}

// A picture's stream that runs a hook once, part-way through being read,
// that is while the translator is writing the file.
class HookedSource : public BPositionIO
{
public:
    HookedSource(BPositionIO* inner, std::function<void()> hook)
        : fInner(inner), fHook(std::move(hook))
    {}

    ssize_t Read(void* buffer, size_t size) override
    {
        _Fire(fInner->Position());
        return fInner->Read(buffer, size);
    }
    ssize_t ReadAt(off_t position, void* buffer, size_t size) override
    {
        _Fire(position);
        return fInner->ReadAt(position, buffer, size);
    }
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override
    {
        return fInner->WriteAt(position, buffer, size);
    }
    off_t Seek(off_t position, uint32 mode) override { return fInner->Seek(position, mode); }
    off_t Position() const override { return fInner->Position(); }

private:
    // Fires at the first read of the pixel rows, past the 32-byte header: an
    // encoder may read them all at once.
    void _Fire(off_t position)
    {
        if (position >= 32 && fHook) {
            auto hook = std::move(fHook);
            fHook = nullptr;
            hook();
        }
    }

    BPositionIO* fInner;
    std::function<void()> fHook;
};

// The modes of the files this process has open in folder.
std::vector<mode_t> open_modes_in(const std::string& folder)
{
    std::vector<mode_t> modes;
    DIR* dir = opendir("/proc/self/fd");
    while (struct dirent* entry = readdir(dir)) {
        char target[4096];
        std::string link = std::string("/proc/self/fd/") + entry->d_name;
        ssize_t n = readlink(link.c_str(), target, sizeof(target) - 1);
        struct stat st;
        if (n > 0 && std::string(target, n).rfind(folder + "/", 0) == 0 &&
            stat(link.c_str(), &st) == 0)
            modes.push_back(st.st_mode & 0777);
    }
    closedir(dir);
    return modes;
}

TEST_F(ReplaceTest, TheFileBeingWrittenIsPrivateAndNoSignalLeavesItBehind)
{
    std::ofstream(Path("kept.png")) << "old";
    chmod(Path("kept.png").c_str(), 0644);
    entry_ref dir = FolderRef();
    BBitmap* image = view->image;
    int32 type = format_at(view->format_no)->type;
    std::string where = folder.path().toStdString();

    // While the picture is written, the only file open in the folder is the
    // new one, readable by its owner alone.
    std::vector<mode_t> modes;
    {
        BBitmapStream stream(image);
        HookedSource source(&stream, [&] { modes = open_modes_in(where); });
        EXPECT_EQ(write_translated(dir, "kept.png", &source, 0, type, "image/png"), B_OK);
        BBitmap* back;
        stream.DetachBitmap(&back);
    }
    EXPECT_EQ(modes, std::vector<mode_t>{0600});
    struct stat st;
    ASSERT_EQ(stat(Path("kept.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_TRUE(IsPNG(Path("kept.png")));

    std::ofstream(Path("kept.png"), std::ios::trunc) << "old";
    for (bool named : {false, true}) {
        for (int signal : {SIGUSR1, SIGPIPE, SIGALRM, SIGTERM, SIGKILL}) {
            if (named && signal == SIGKILL)
                continue;
            // Once a FIFO was written, a broken pipe no longer ends the process.
            if (signal == SIGPIPE && in_child([] {
                                         raise(SIGPIPE);
                                         return 0;
                                     }) == 0)
                continue;
            SCOPED_TRACE(std::string(named ? "named, " : "unnamed, ") + strsignal(signal));
            int ended = in_child([&] {
                BPrivate::ReplacementFile::SetUnnamedAllowed(!named);
                BBitmapStream stream(image);
                HookedSource source(&stream, [&] { raise(signal); });
                write_translated(dir, "kept.png", &source, 0, type, "image/png");
                return 0;
            });
            EXPECT_EQ(ended, 100 + signal);
            EXPECT_EQ(Read(Path("kept.png")), "old");
            EXPECT_EQ(Names(), (std::vector<std::string>{"kept.png", "sky.png"}));
        }
    }
}

TEST_F(ReplaceTest, AFailedSaveShowsTheReason)
{
    struct
    {
        const char* name;
        std::string folder;
        const char* file;
        const char* reason;
    } cases[] = {
        {"missing folder", Path("nowhere"), "a.png", "the folder does not exist"},
        {"name too long", "", nullptr, "the name is too long"},
        {"a folder at the name", "", "sub", "it is a folder"},
    };
    QDir(folder.path()).mkdir("sub");
    std::string longName(300, 'n');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Save(c.file ? c.file : longName.c_str(), c.folder);
        std::string alert = TakeAlert();
        EXPECT_NE(alert.find(c.reason), std::string::npos) << alert;
        EXPECT_EQ(alert.rfind("Could not save", 0), 0u) << alert;
        EXPECT_NE(fSaid.find(c.reason), std::string::npos) << fSaid;
        EXPECT_EQ(view->image != nullptr, true);
    }

    // A save that works shows nothing.
    Save("fine.png");
    EXPECT_EQ(TakeAlert(), "");
    EXPECT_TRUE(IsPNG(Path("fine.png")));
}

} // namespace
