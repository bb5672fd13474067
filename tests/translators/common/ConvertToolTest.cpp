#include "TranslatorTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
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

RunResult run_converter(const std::string& arguments, const std::string& folder)
{
    std::string errorFile = folder + "/../convert-stderr.txt";
    std::string command = "cd " + quote(folder) + " && " + TAVRIN_CONVERT + " " + arguments +
                          " 2>" + quote(errorFile);
    int status = system(command.c_str());
    RunResult run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::vector<uint8> error = read_file(errorFile);
    run.error.assign(error.begin(), error.end());
    unlink(errorFile.c_str());
    return run;
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
