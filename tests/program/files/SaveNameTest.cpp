// The names of Save as: what the panel proposes, the extension a bare name
// gets, and the question when a name's extension belongs to another format.

#include "io/savename.h"
#include "FileFixture.h"
#include "window/codes.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

#include <sys/xattr.h>

namespace {

// The file name the shown save panel proposes; it is hidden after.
std::string take_proposed()
{
    std::string name;
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        if (!dialog || !dialog->isVisible())
            continue;
        if (!dialog->selectedFiles().isEmpty())
            name = QFileInfo(dialog->selectedFiles().first()).fileName().toStdString();
        dialog->window()->hide();
    }
    return name;
}

TEST_F(FileTest, SaveAsNamesFollowTheFormat)
{
    ASSERT_TRUE(Pattern(16, 12).save(QString::fromStdString(Path("photo.jpg")), "JPEG"));
    entry_ref photo = Ref("photo.jpg");
    ASSERT_EQ(view->load(photo), B_OK);
    struct
    {
        const char* mime;
        const char* typed;
        const char* question; // the alert's, if one must ask
        const char* button;   // pressed in it
        const char* written;
    } cases[] = {
        {"image/png", "photo.png", nullptr, nullptr, "photo.png"},
        {"image/png", "noext", nullptr, nullptr, "noext.png"},
        {"image/png", "noext", "noext.png already exists. Replace it?", "Replace", "noext.png"},
        {"image/png", "shout.PNG", nullptr, nullptr, "shout.PNG"},
        {"image/png", "notes.v2", nullptr, nullptr, "notes.v2.png"},
        {"image/jpeg", "wrong.png", "Save as JPG under wrong.png?", "Save", "wrong.png"},
        {"image/jpeg", "changed.png", "Save as JPG under changed.png?", "Change to .jpg",
         "changed.jpg"},
        {"image/jpeg", "kept.png", "Save as JPG under kept.png?", "Cancel", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        BMessage saveAs(kSaveAs);
        saveAs.AddInt16("format_no", (int16)FormatNumber(c.mime));
        BMessenger(view).SendMessage(&saveAs);
        Settle();
        EXPECT_EQ(take_proposed(), strcmp(c.mime, "image/png") == 0 ? "photo.png" : "photo.jpg");
        BMessage answer(B_SAVE_REQUESTED);
        entry_ref folderRef = FolderRef();
        answer.AddRef("directory", &folderRef);
        answer.AddString("name", c.typed);
        BMessenger(view).SendMessage(&answer);
        Settle();
        QWidget* alert = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            alert = widget->isVisible() && widget->windowTitle() == "Save as" ? widget : alert;
        ASSERT_EQ(alert != nullptr, c.question != nullptr);
        if (alert) {
            EXPECT_EQ(alert->findChild<QLabel*>("text")->text().toStdString(), c.question);
            // The alert goes as its button is pressed.
            for (QPushButton* button : alert->findChildren<QPushButton*>()) {
                if (button->text() == c.button) {
                    button->click();
                    break;
                }
            }
            Settle();
        }
        char type[32] = "";
        if (c.written)
            getxattr(Path(c.written).c_str(), "user.mime_type", type, sizeof(type) - 1);
        EXPECT_STREQ(type, c.written ? c.mime : "");
        if (!c.written || strcmp(c.written, c.typed) != 0) {
            EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path(c.typed))));
        }
    }
}

TEST_F(FileTest, ACaptureIsProposedUnderItsTime)
{
    struct tm when = {};
    when.tm_year = 126;
    when.tm_mon = 2;
    when.tm_mday = 4;
    when.tm_hour = 5;
    when.tm_min = 6;
    when.tm_sec = 7;
    when.tm_isdst = -1;
    EXPECT_EQ(capture_name(mktime(&when)), "capture-2026-03-04-050607.png");
}

} // namespace
