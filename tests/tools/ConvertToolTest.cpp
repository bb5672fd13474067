#include "TranslatorTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace test;

namespace {

struct RunResult
{
    int exitCode;
    std::string error;
};

std::string quote(const std::string& text)
{
    return "'" + text + "'";
}

// Runs a shell command in folder, its output and errors taken together.
RunResult run_in(const std::string& folder, const std::string& command)
{
    std::string errorFile = folder + "/../convert-stderr.txt";
    std::string line =
        "cd " + quote(folder) + " && (" + command + ") >" + quote(errorFile) + " 2>&1";
    int status = system(line.c_str());
    RunResult run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::vector<uint8> error = read_file(errorFile);
    run.error.assign(error.begin(), error.end());
    unlink(errorFile.c_str());
    return run;
}

// Runs the converter in folder; prefix comes before it on the command line.
RunResult run_converter(const std::string& arguments, const std::string& folder,
                        const std::string& prefix = "")
{
    return run_in(folder, prefix + TAVRIN_CONVERT + " " + arguments);
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Files in the folder other than the ones the test made.
std::vector<std::string> leftovers(const std::string& folder, const std::vector<std::string>& known)
{
    std::vector<std::string> found;
    DIR* dir = opendir(folder.c_str());
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (std::find(known.begin(), known.end(), name) == known.end())
            found.push_back(name);
    }
    closedir(dir);
    return found;
}

std::vector<uint8> ppm_of(const Image& image)
{
    std::string header =
        "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<uint8> bytes(header.begin(), header.end());
    for (uint32 p : image.pixels)
        bytes.insert(bytes.end(), {(uint8)(p >> 16), (uint8)(p >> 8), (uint8)p});
    return bytes;
}

} // namespace

TEST(ConvertTool, TableOfRuns)
{
    TempDir scratch;
    std::string folder = scratch.Path() + "/convert";
    mkdir(folder.c_str(), 0755);
    Image picture = make_test_image(40, 30, false);
    write_file(folder + "/in.ppm", ppm_of(picture));
    write_file(folder + "/notes.txt", std::vector<uint8>(100, 'x'));
    std::vector<uint8> cut = ppm_of(picture);
    cut.resize(cut.size() / 2);
    write_file(folder + "/cut.ppm", cut);
    write_file(folder + "/keep.tga", {'o', 'l', 'd'});
    std::vector<std::string> known = {"in.ppm", "notes.txt", "cut.ppm", "keep.tga"};

    struct Case
    {
        const char* name;
        std::string arguments;
        int exitCode;
        std::string output;
    } cases[] = {
        {"ppm to tga", "in.ppm out.tga", 0, "out.tga"},
        {"tga back to ppm", "out.tga back.ppm", 0, "back.ppm"},
        {"to bmp, upper-case extension", "in.ppm out.BMP", 0, "out.BMP"},
        {"type named by MIME", "in.ppm typed.img --type image/x-targa", 0, "typed.img"},
        {"unknown extension", "in.ppm out.xyz", 2, "out.xyz"},
        {"unknown MIME type", "in.ppm out.tga --type image/x-nothing", 2, ""},
        {"missing output", "in.ppm", 2, ""},
        {"too many arguments", "in.ppm a.tga b.tga", 2, "a.tga"},
        {"missing input", "absent.ppm out2.tga", 1, "out2.tga"},
        {"input is no image", "notes.txt out3.tga", 1, "out3.tga"},
        {"truncated input", "cut.ppm out4.tga", 1, "out4.tga"},
        {"input is a folder", ". out5.tga", 1, "out5.tga"},
        {"output folder missing", "in.ppm nowhere/out.tga", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunResult run = run_converter(c.arguments, folder);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.error;
        if (c.exitCode == 0) {
            EXPECT_EQ(run.error, "");
            EXPECT_TRUE(exists(folder + "/" + c.output));
            known.push_back(c.output);
        } else {
            EXPECT_EQ(std::count(run.error.begin(), run.error.end(), '\n'), 1) << run.error;
            EXPECT_EQ(run.error.rfind("tavrin-convert: ", 0), 0u) << run.error;
            if (!c.output.empty()) {
                EXPECT_FALSE(exists(folder + "/" + c.output));
            }
        }
        // No temporary file is left behind, whatever happened.
        EXPECT_EQ(leftovers(folder, known), std::vector<std::string>());
    }

    // The pixels survive the trip through Targa unchanged.
    EXPECT_EQ(read_file(folder + "/back.ppm"), ppm_of(picture));
    std::vector<uint8> typed = read_file(folder + "/typed.img");
    ASSERT_GT(typed.size(), 18u);
    EXPECT_EQ(typed[2], 2);
    std::vector<uint8> bmp = read_file(folder + "/out.BMP");
    ASSERT_GT(bmp.size(), 2u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');

    // A failed run leaves an existing output file as it was.
    RunResult failed = run_converter("notes.txt keep.tga", folder);
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(read_file(folder + "/keep.tga"), std::vector<uint8>({'o', 'l', 'd'}));
}

namespace {

std::string text_of(const std::string& path)
{
    std::vector<uint8> bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

void write_text(const std::string& path, const std::string& text)
{
    write_file(path, std::vector<uint8>(text.begin(), text.end()));
}

struct stat lstat_of(const std::string& path)
{
    struct stat st = {};
    lstat(path.c_str(), &st);
    return st;
}

uint32 crc32_of(const uint8* data, size_t length)
{
    uint32 crc = 0xffffffffu;
    for (size_t i = 0; i < length; i++) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; bit++)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// A small PNG file (header, empty picture data, end) that claims a size.
std::vector<uint8> png_claiming(uint32 width, uint32 height)
{
    std::vector<uint8> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    auto chunk = [&](const char* type, std::vector<uint8> data) {
        std::vector<uint8> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        uint32 length = (uint32)data.size();
        uint32 crc = crc32_of(body.data(), body.size());
        for (int i = 3; i >= 0; i--)
            file.push_back((uint8)(length >> (8 * i)));
        file.insert(file.end(), body.begin(), body.end());
        for (int i = 3; i >= 0; i--)
            file.push_back((uint8)(crc >> (8 * i)));
    };
    std::vector<uint8> header;
    for (uint32 value : {width, height}) {
        for (int i = 3; i >= 0; i--)
            header.push_back((uint8)(value >> (8 * i)));
    }
    header.insert(header.end(), {8, 2, 0, 0, 0});
    chunk("IHDR", header);
    chunk("IDAT", {0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    chunk("IEND", {});
    return file;
}

bool is_targa(const std::string& path)
{
    std::vector<uint8> bytes = read_file(path);
    return bytes.size() > 18 && bytes[2] == 2;
}

// A folder with a small picture to convert and a place for outputs.
class ConvertOutputs : public testing::Test
{
protected:
    void SetUp() override
    {
        fFolder = fScratch.Path() + "/convert";
        mkdir(fFolder.c_str(), 0755);
        write_file(Path("in.ppm"), ppm_of(make_test_image(40, 30, false)));
    }

    std::string Path(const std::string& name) const { return fFolder + "/" + name; }

    RunResult Run(const std::string& arguments, const std::string& prefix = "")
    {
        return run_converter(arguments, fFolder, prefix);
    }

    TempDir fScratch;
    std::string fFolder;
};

} // namespace

// What stands at the output name is respected, as cp respects it.
TEST_F(ConvertOutputs, WhatStandsAtTheOutputNameIsRespected)
{
    // A link to a file in another folder: the file it points to is replaced.
    mkdir(Path("sub").c_str(), 0755);
    write_text(Path("sub/real.tga"), "old");
    symlink("sub/real.tga", Path("link.tga").c_str());
    RunResult run = Run("in.ppm link.tga");
    EXPECT_EQ(run.exitCode, 0) << run.error;
    EXPECT_TRUE(S_ISLNK(lstat_of(Path("link.tga")).st_mode));
    EXPECT_TRUE(is_targa(Path("sub/real.tga")));
    EXPECT_EQ(leftovers(Path("sub"), {"real.tga"}), std::vector<std::string>());

    // A hard-linked file: every name sees the new picture.
    write_text(Path("one.tga"), "old");
    link(Path("one.tga").c_str(), Path("two.tga").c_str());
    run = Run("in.ppm one.tga");
    EXPECT_EQ(run.exitCode, 0) << run.error;
    EXPECT_TRUE(is_targa(Path("two.tga")));
    EXPECT_EQ(lstat_of(Path("one.tga")).st_ino, lstat_of(Path("two.tga")).st_ino);

    // A character device (here through a link) is written into, not replaced.
    symlink("/dev/null", Path("null.tga").c_str());
    run = Run("in.ppm null.tga");
    EXPECT_EQ(run.exitCode, 0) << run.error;
    EXPECT_TRUE(S_ISCHR(lstat_of("/dev/null").st_mode));
    EXPECT_TRUE(S_ISLNK(lstat_of(Path("null.tga")).st_mode));

    // A FIFO nobody reads is refused at once; one that is read gets the
    // picture, and stays a FIFO.
    mkfifo(Path("pipe.tga").c_str(), 0600);
    run = Run("in.ppm pipe.tga");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.error.find("nothing reads from the pipe"), std::string::npos) << run.error;
    std::vector<uint8> got;
    std::thread reader([&] { got = read_file(Path("pipe.tga")); });
    for (int attempt = 0; attempt < 500; attempt++) {
        run = Run("in.ppm pipe.tga");
        if (run.exitCode == 0)
            break;
        usleep(10000);
    }
    reader.join();
    EXPECT_EQ(run.exitCode, 0) << run.error;
    EXPECT_TRUE(got.size() > 18 && got[2] == 2);
    EXPECT_TRUE(S_ISFIFO(lstat_of(Path("pipe.tga")).st_mode));

    // Owner, group, mode and other attributes of a replaced file are kept.
    if (geteuid() == 0) {
        write_text(Path("theirs.tga"), "old");
        chown(Path("theirs.tga").c_str(), 65534, 65534);
        chmod(Path("theirs.tga").c_str(), 0604);
        setxattr(Path("theirs.tga").c_str(), "user.comment", "kept", 4, 0);
        run = Run("in.ppm theirs.tga");
        EXPECT_EQ(run.exitCode, 0) << run.error;
        struct stat st = lstat_of(Path("theirs.tga"));
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
        EXPECT_EQ(st.st_mode & 07777, 0604u);
        char value[16];
        ssize_t n = getxattr(Path("theirs.tga").c_str(), "user.comment", value, sizeof(value));
        EXPECT_EQ(std::string(value, n > 0 ? n : 0), "kept");
        EXPECT_TRUE(is_targa(Path("theirs.tga")));
    }

    EXPECT_EQ(leftovers(fFolder, {"in.ppm", "sub", "link.tga", "one.tga", "two.tga", "null.tga",
                                  "pipe.tga", "theirs.tga"}),
              std::vector<std::string>());
}

// cp refuses a file its user may not write; root may write any, so the
// refusal is tried as another user.
TEST_F(ConvertOutputs, AFileTheUserMayNotWriteIsRefused)
{
    write_text(Path("locked.tga"), "old");
    chmod(Path("locked.tga").c_str(), 0444);
    std::string prefix;
    if (geteuid() == 0) {
        if (system("setpriv --version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "setpriv is needed to run as another user";
        chmod(fScratch.Path().c_str(), 0755);
        chmod(fFolder.c_str(), 0777);
        chown(Path("locked.tga").c_str(), 65534, 65534);
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    RunResult run = Run("in.ppm locked.tga", prefix);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.error.find("permission denied"), std::string::npos) << run.error;
    EXPECT_EQ(text_of(Path("locked.tga")), "old");
    EXPECT_EQ(leftovers(fFolder, {"in.ppm", "locked.tga"}), std::vector<std::string>());
}

// Whatever signal stops a conversion, no temporary file stays behind and
// the old output is whole.
TEST_F(ConvertOutputs, NoSignalLeavesATemporaryFileBehind)
{
    // Big enough that the conversion is still writing when the signal comes.
    Image big = make_test_image(2400, 2400, false);
    write_file(Path("big.ppm"), ppm_of(big));
    // SIGXFSZ is not among them: the converter takes a file past the size
    // limit as a failed write (see MessagesNameTheRealCause).
    for (int signal : {SIGUSR1, SIGPIPE, SIGALRM, SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        write_text(Path("out.tga"), "old");
        pid_t pid = fork();
        if (pid == 0) {
            // An ignored signal would stay ignored across exec.
            ::signal(signal, SIG_DFL);
            if (chdir(fFolder.c_str()) != 0)
                _exit(126);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            execl(TAVRIN_CONVERT, TAVRIN_CONVERT, "big.ppm", "out.tga", (char*)nullptr);
            _exit(127);
        }
        // Waits until the output is being written: an open file in the
        // folder other than the input, named or not.
        std::string fdFolder = "/proc/" + std::to_string(pid) + "/fd";
        bool writing = false;
        for (int attempt = 0; attempt < 3000 && !writing; attempt++) {
            if (DIR* dir = opendir(fdFolder.c_str())) {
                while (struct dirent* entry = readdir(dir)) {
                    char target[4096];
                    std::string link = fdFolder + "/" + entry->d_name;
                    ssize_t n = readlink(link.c_str(), target, sizeof(target) - 1);
                    if (n <= 0)
                        continue;
                    std::string path(target, n);
                    if (path.rfind(fFolder + "/", 0) == 0 && path != Path("big.ppm"))
                        writing = true;
                }
                closedir(dir);
            }
            if (!writing)
                usleep(1000);
        }
        EXPECT_TRUE(writing);
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(leftovers(fFolder, {"in.ppm", "big.ppm", "out.tga"}), std::vector<std::string>());
        EXPECT_TRUE(text_of(Path("out.tga")) == "old");
    }
}

// Every failure names its real cause, in one line.
TEST_F(ConvertOutputs, MessagesNameTheRealCause)
{
    // A PNG file whose header claims 40000 x 40000 pixels.
    write_file(Path("huge.png"), png_claiming(40000, 40000));
    write_text(Path("kept.tga"), "old");

    // A FIFO that holds data.
    mkfifo(Path("fifo.ppm").c_str(), 0600);
    int fifo = open(Path("fifo.ppm").c_str(), O_RDWR | O_NONBLOCK);
    std::vector<uint8> bytes = ppm_of(make_test_image(2, 2, false));
    ASSERT_EQ(write(fifo, bytes.data(), bytes.size()), (ssize_t)bytes.size());

    // The device is reached through a link in the test's folder, so that a
    // writer that replaces what it finds replaces only the link.
    symlink("/dev/full", Path("full.tif").c_str());

    bool canMount =
        system("unshare -m true 2>/dev/null") == 0 &&
        system(("unshare -m sh -c 'mount -t tmpfs -o size=64k none " + fFolder + " 2>/dev/null'")
                   .c_str()) == 0;
    Image big = make_test_image(600, 600, false);
    write_file(Path("big.ppm"), ppm_of(big));

    struct
    {
        const char* name;
        std::string prefix;
        std::string arguments;
        const char* expected;
    } cases[] = {
        {"picture over the size limit", "", "huge.png out.tga",
         "the picture is larger than the limit"},
        {"name over 255 bytes", "", "in.ppm " + std::string(300, 'n') + ".tga",
         "the name is too long"},
        {"FIFO with data as input", "", "fifo.ppm out.tga", "not a regular file"},
        {"full device under TIFF", "", "in.ppm full.tif", "the disk is full"},
        {"file size limit", "ulimit -f 8; ", "big.ppm kept.tga", "file too large"},
        {"full disk under TIFF", "", "", "the disk is full"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunResult run;
        if (c.arguments.empty()) {
            if (!canMount) {
                std::cout << "skipped: " << c.name << ": no tmpfs can be mounted here\n";
                continue;
            }
            // A 64 KiB disk of its own, in a mount namespace of its own; the
            // old file on it must stay whole, with nothing beside it.
            std::string script = "mkdir -p small && mount -t tmpfs -o size=64k none small && "
                                 "echo old > small/out.tif && " +
                                 std::string(TAVRIN_CONVERT) +
                                 " big.ppm small/out.tif; s=$?; cat small/out.tif; ls -A small; "
                                 "exit $s";
            run = run_in(fFolder, "unshare -m sh -c " + quote(script));
            EXPECT_NE(run.error.find("\nold\nout.tif\n"), std::string::npos) << run.error;
            run.error = run.error.substr(0, run.error.find('\n') + 1);
        } else {
            run = run_converter(c.arguments, fFolder, c.prefix);
        }
        EXPECT_EQ(run.exitCode, 1) << run.error;
        EXPECT_NE(run.error.find(c.expected), std::string::npos) << run.error;
        EXPECT_EQ(run.error.rfind("tavrin-convert: ", 0), 0u) << run.error;
    }
    close(fifo);
    EXPECT_EQ(text_of(Path("kept.tga")), "old");
    EXPECT_TRUE(S_ISLNK(lstat_of(Path("full.tif")).st_mode));
    EXPECT_EQ(leftovers(fFolder, {"in.ppm", "huge.png", "kept.tga", "fifo.ppm", "big.ppm", "small",
                                  "full.tif"}),
              std::vector<std::string>());
}

namespace {

// Runs the converter in folder with standard output and standard error apart.
struct SplitRun
{
    int exitCode;
    std::string out, error;
};

SplitRun run_split(const std::string& folder, const std::string& arguments)
{
    RunResult run =
        run_in(folder, std::string(TAVRIN_CONVERT) + " " + arguments + " 2>../convert-errors.txt");
    SplitRun split = {run.exitCode, run.error, text_of(folder + "/../convert-errors.txt")};
    unlink((folder + "/../convert-errors.txt").c_str());
    return split;
}

// The converter's own lines (libjxl prints a line of its own on a failure).
size_t lines_in(const std::string& text)
{
    size_t count = 0;
    for (size_t at = 0; (at = text.find("tavrin-convert: ", at)) != std::string::npos; at++)
        count += at == 0 || text[at - 1] == '\n';
    return count;
}

} // namespace

// One batch over good, damaged and unknown files with options, then the
// options alone: every failure names its codec's own reason, whichever
// worker ran it.
TEST_F(ConvertOutputs, BatchesSettingsAndTheCodecsReasons)
{
    mkdir(Path("out").c_str(), 0755);
    // Pictures of each format, written by the converter and then cut.
    const char* formats[] = {"jpg", "png", "gif", "tif", "webp", "heic", "avif", "jxl"};
    for (const char* format : formats) {
        std::string name = std::string("whole.") + format;
        ASSERT_EQ(Run("in.ppm " + name).exitCode, 0) << name;
        std::vector<uint8> bytes = read_file(Path(name));
        bytes.resize(bytes.size() * 2 / 3);
        write_file(Path(std::string("cut-") + format + "." + format), bytes);
    }
    std::vector<uint8> crc = png_claiming(40, 30);
    crc[20] ^= 1;
    write_file(Path("crc.png"), crc);
    write_text(Path("notes.txt"), "no picture");

    struct
    {
        const char* input;
        const char* reason;
    } failures[] = {
        {"crc.png", "libpng: IHDR: CRC error"},
        {"cut-png.png", "PNG: the file ends too soon"},
        {"cut-jpg.jpg", "libjpeg: Premature end of JPEG file"},
        {"cut-gif.gif", "giflib: "},
        {"cut-tif.tif", "libtiff: "},
        {"cut-webp.webp", "WebP: the file is shorter than its header says"},
        {"cut-heic.heic", "libheif: "},
        {"cut-avif.avif", "libavif: "},
        {"cut-jxl.jxl", "libjxl: "},
        {"notes.txt", "no translator recognises the data"},
    };
    std::string inputs = "in.ppm";
    for (const auto& failure : failures)
        inputs += std::string(" ") + failure.input;
    SplitRun batch =
        run_split(fFolder, "-j 3 -o out --type png --set compression=0 --strip " + inputs);
    EXPECT_EQ(batch.exitCode, 1);
    EXPECT_EQ(batch.out, "in.ppm -> out/in.png\n1 converted, 10 failed\n");
    EXPECT_EQ(lines_in(batch.error), std::size(failures)) << batch.error;
    for (const auto& failure : failures) {
        std::string line =
            std::string("tavrin-convert: cannot read ") + failure.input + ": " + failure.reason;
        EXPECT_NE(batch.error.find(line), std::string::npos) << line << "\n" << batch.error;
        std::string output = failure.input;
        EXPECT_FALSE(exists(Path("out/" + output.substr(0, output.rfind('.')) + ".png")));
    }
    // The setting reached the encoder: zlib's header says "stored".
    std::vector<uint8> png = read_file(Path("out/in.png"));
    auto idat = std::search(png.begin(), png.end(), std::begin("IDAT"), std::end("IDAT") - 1);
    ASSERT_LT(idat + 6, png.end());
    EXPECT_EQ(idat[4], 0x78);
    EXPECT_EQ(idat[5] >> 6, 0) << std::hex << int(idat[5]);

    struct
    {
        const char* arguments;
        int exitCode;
        const char* says;
    } cases[] = {
        {"--help", 0, "usage: tavrin-convert"},
        {"--version", 0, "tavrin-convert "},
        {"--list-settings png", 0, "compression=0..9"},
        {"--list-settings .JPG", 0, "subsampling=0|1|2"},
        {"--list-settings image/x-nothing", 2, "no translator reads or writes"},
        {"--set quality=0 in.ppm q.jpg", 2,
         "bad value for quality (JPEG images): 0; it takes 1..100"},
        {"--set quality=0 in.ppm q.webp", 0, ""},
        {"--set compression=deflate --set upright=no in.ppm d.tif", 0, ""},
        {"--set nothing=1 in.ppm n.png", 2, "no translator has a setting nothing"},
        {"-o out in.ppm", 2, "-o needs --type"},
        {"-o missing --type png in.ppm", 1, "cannot write into missing"},
        {"-j 0 -o out --type png in.ppm", 2, "-j needs a number"},
        {"-o out --type bmp in.ppm ./in.ppm", 1, "in.ppm of this run is written there"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        SplitRun run = run_split(fFolder, c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.error;
        EXPECT_NE((run.out + run.error).find(c.says), std::string::npos) << run.out << run.error;
    }
    EXPECT_EQ(text_of(Path("out/in.bmp")).substr(0, 2), "BM");
    EXPECT_NE(run_in(fFolder, "tiffinfo d.tif").error.find("Deflate"), std::string::npos);
}
