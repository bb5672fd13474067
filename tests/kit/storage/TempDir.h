#ifndef TAVRIN_TESTS_STORAGE_TEMP_DIR_H
#define TAVRIN_TESTS_STORAGE_TEMP_DIR_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// A fresh directory for one test, removed with everything in it afterwards.
// Its path is resolved, so it compares equal to the paths the kit answers.
class TempDirTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavrin-storage-XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        fDir = std::filesystem::canonical(pattern).string();
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(fDir, ignored);
    }

    std::string PathOf(const std::string& name) const { return fDir + "/" + name; }

    void WriteFile(const std::string& name, const std::string& contents) const
    {
        std::ofstream(PathOf(name), std::ios::binary) << contents;
    }

    std::string ReadFile(const std::string& name) const
    {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string fDir;
};

#endif
