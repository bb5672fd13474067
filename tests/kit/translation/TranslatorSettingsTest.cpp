#include <Message.h>
#include <TranslatorSettings.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class TranslatorSettingsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tavrin-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        fFolder = pattern;
        setenv("XDG_CONFIG_HOME", fFolder.c_str(), 1);
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + fFolder + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }

    std::string FilePath(const char* name) const { return fFolder + "/tavrin/translators/" + name; }

    std::string fFolder;
};

} // namespace

TEST_F(TranslatorSettingsTest, DefaultsWithoutAFile)
{
    TranslatorSettings settings("Test_settings");
    EXPECT_TRUE(settings.GetBool("flag", true));
    EXPECT_EQ(settings.GetInt32("count", 7), 7);
    EXPECT_FLOAT_EQ(settings.GetFloat("level", 0.5f), 0.5f);
    struct stat st;
    EXPECT_NE(stat(FilePath("Test_settings").c_str(), &st), 0);
}

TEST_F(TranslatorSettingsTest, ValuesPersistAcrossInstances)
{
    {
        TranslatorSettings settings("Test_settings");
        EXPECT_EQ(settings.SetBool("flag", false), B_OK);
        EXPECT_EQ(settings.SetInt32("count", -3), B_OK);
        EXPECT_EQ(settings.SetFloat("level", 0.25f), B_OK);
    }
    std::ifstream file(FilePath("Test_settings"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    BMessage stored;
    ASSERT_EQ(stored.Unflatten(bytes.data(), bytes.size()), B_OK);
    EXPECT_FALSE(stored.GetBool("flag", true));
    EXPECT_EQ(stored.GetInt32("count", 0), -3);

    TranslatorSettings again("Test_settings");
    EXPECT_FALSE(again.GetBool("flag", true));
    EXPECT_EQ(again.GetInt32("count", 7), -3);
    EXPECT_FLOAT_EQ(again.GetFloat("level", 0.5f), 0.25f);
}

TEST_F(TranslatorSettingsTest, ChangeByAnotherWriterIsSeen)
{
    TranslatorSettings reader("Shared_settings");
    EXPECT_EQ(reader.GetInt32("count", 1), 1);
    TranslatorSettings writer("Shared_settings");
    ASSERT_EQ(writer.SetInt32("count", 2), B_OK);
    EXPECT_EQ(reader.GetInt32("count", 1), 2);
    ASSERT_EQ(writer.SetInt32("count", 3), B_OK);
    EXPECT_EQ(reader.GetInt32("count", 1), 3);
}

TEST_F(TranslatorSettingsTest, ExtensionMessageOverridesForOneCall)
{
    TranslatorSettings settings("Test_settings");
    ASSERT_EQ(settings.SetBool("flag", false), B_OK);
    BMessage extension;
    extension.AddBool("flag", true);
    extension.AddInt32("other", 1);
    EXPECT_TRUE(settings.GetBool("flag", false, &extension));
    EXPECT_FALSE(settings.GetBool("flag", true));
    // A field of another type does not count.
    BMessage wrongType;
    wrongType.AddInt32("flag", 1);
    EXPECT_FALSE(settings.GetBool("flag", true, &wrongType));
}

TEST_F(TranslatorSettingsTest, CorruptFileGivesDefaults)
{
    TranslatorSettings settings("Test_settings");
    ASSERT_EQ(settings.SetInt32("count", 5), B_OK);
    {
        std::ofstream file(FilePath("Test_settings"), std::ios::binary | std::ios::trunc);
        file << "garbage that is no flattened message, and longer than before";
    }
    EXPECT_EQ(settings.GetInt32("count", 9), 9);
    ASSERT_EQ(settings.SetInt32("count", 6), B_OK);
    TranslatorSettings again("Test_settings");
    EXPECT_EQ(again.GetInt32("count", 9), 6);
}

TEST_F(TranslatorSettingsTest, ConfigurationMessageHoldsEveryValue)
{
    TranslatorSettings settings("Test_settings");
    ASSERT_EQ(settings.SetBool("flag", true), B_OK);
    ASSERT_EQ(settings.SetInt32("count", 4), B_OK);
    BMessage message;
    message.AddInt32("count", 100);
    ASSERT_EQ(settings.GetConfigurationMessage(&message), B_OK);
    EXPECT_TRUE(message.GetBool("flag", false));
    EXPECT_EQ(message.GetInt32("count", 0), 4);
    type_code type;
    int32 count = 0;
    ASSERT_EQ(message.GetInfo("count", &type, &count), B_OK);
    EXPECT_EQ(count, 1);
}

TEST_F(TranslatorSettingsTest, NameCannotLeaveTheFolder)
{
    TranslatorSettings settings("../escape");
    ASSERT_EQ(settings.SetBool("flag", true), B_OK);
    struct stat st;
    EXPECT_EQ(stat(FilePath(".._escape").c_str(), &st), 0);
    EXPECT_NE(stat((fFolder + "/tavrin/escape").c_str(), &st), 0);
}

TEST_F(TranslatorSettingsTest, ConcurrentWritersLeaveAReadableFile)
{
    TranslatorSettings settings("Test_settings");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([&settings, t] {
            for (int i = 0; i < 25; i++) {
                settings.SetInt32("count", t * 100 + i);
                settings.GetInt32("count", -1);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    TranslatorSettings again("Test_settings");
    int32 value = again.GetInt32("count", -1);
    EXPECT_EQ(value % 100, 24);
}
