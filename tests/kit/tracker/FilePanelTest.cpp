// The file panels answer as the platform's do: the choice, then B_CANCEL
// whenever the panel closes, to the target or else to the application.

#include <AppDefs.h>
#include <Entry.h>
#include <FilePanel.h>
#include <Looper.h>
#include <Message.h>
#include <Window.h>

#include "TestApp.h"
#include "interface/WindowPrivate.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Listener : public BLooper
{
public:
    Listener() : BLooper("listener") { Run(); }
    void MessageReceived(BMessage* message) override { heard.push_back(*message); }
    std::vector<BMessage> heard;
};

QFileDialog* dialog_of(BFilePanel* panel)
{
    return BPrivate::WindowBridge::Data(panel->Window())->widget->findChild<QFileDialog*>();
}

class FilePanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test_app();
        listener = new Listener;
        target = BMessenger(listener);
        ASSERT_TRUE(folder.isValid());
    }
    void TearDown() override
    {
        listener->Lock();
        listener->Quit();
    }
    Listener* listener = nullptr;
    BMessenger target;
    QTemporaryDir folder;
};

TEST_F(FilePanelTest, SavePanelSendsTheFolderAndTheNameThenCancel)
{
    BFilePanel panel(B_SAVE_PANEL, &target, nullptr, B_FILE_NODE, false, nullptr, nullptr, false,
                     true);
    panel.Window()->SetTitle("PNG image");
    panel.Show();
    run_until([&] { return panel.IsShowing(); });
    EXPECT_TRUE(panel.IsShowing());
    EXPECT_EQ(BPrivate::WindowBridge::Data(panel.Window())->widget->windowTitle(),
              QString("PNG image"));

    QFileDialog* dialog = dialog_of(&panel);
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(folder.path());
    // What a user types into the name field.
    QLineEdit* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(folder.filePath("picture.png"));
    QMetaObject::invokeMethod(dialog, "accept");
    run_until([&] { return listener->heard.size() >= 2; });
    settle(listener);

    ASSERT_EQ(listener->heard.size(), 2u);
    EXPECT_EQ(listener->heard[0].what, (uint32)B_SAVE_REQUESTED);
    entry_ref directory;
    ASSERT_EQ(listener->heard[0].FindRef("directory", &directory), B_OK);
    char path[1024];
    ASSERT_TRUE(directory.get_path(path, sizeof(path)));
    EXPECT_EQ(QDir(path).canonicalPath(), QDir(folder.path()).canonicalPath());
    EXPECT_STREQ(listener->heard[0].GetString("name", ""), "picture.png");
    EXPECT_EQ(listener->heard[1].what, (uint32)B_CANCEL);
    EXPECT_FALSE(panel.IsShowing());
}

TEST_F(FilePanelTest, OpenPanelSendsRefsThenCancel)
{
    QFile file(folder.filePath("a.png"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    BFilePanel panel(B_OPEN_PANEL, &target, nullptr, B_FILE_NODE, false, nullptr, nullptr, false,
                     true);
    panel.Show();
    QFileDialog* dialog = dialog_of(&panel);
    dialog->setDirectory(folder.path());
    dialog->selectFile(folder.filePath("a.png"));
    QMetaObject::invokeMethod(dialog, "accept");
    run_until([&] { return listener->heard.size() >= 2; });
    settle(listener);
    ASSERT_EQ(listener->heard.size(), 2u);
    EXPECT_EQ(listener->heard[0].what, (uint32)B_REFS_RECEIVED);
    entry_ref ref;
    ASSERT_EQ(listener->heard[0].FindRef("refs", &ref), B_OK);
    EXPECT_STREQ(ref.name, "a.png");
    EXPECT_EQ(listener->heard[1].what, (uint32)B_CANCEL);
}

TEST_F(FilePanelTest, CancellingSendsOnlyCancelAndWithoutATargetTheApplicationHearsIt)
{
    BFilePanel panel(B_OPEN_PANEL, &target);
    panel.Show();
    dialog_of(&panel)->reject();
    run_until([&] { return !listener->heard.empty(); });
    settle(listener);
    ASSERT_EQ(listener->heard.size(), 1u);
    EXPECT_EQ(listener->heard[0].what, (uint32)B_CANCEL);

    size_t before = test_app()->received.size();
    BFilePanel untargeted(B_SAVE_PANEL);
    untargeted.Show();
    // The close box hides the panel and says so.
    BPrivate::WindowBridge::Data(untargeted.Window())->widget->close();
    run_until([&] { return test_app()->received.size() > before; });
    settle(test_app());
    ASSERT_EQ(test_app()->received.size(), before + 1);
    EXPECT_EQ(test_app()->received.back().what, (uint32)B_CANCEL);
    EXPECT_FALSE(untargeted.IsShowing());
}

} // namespace
