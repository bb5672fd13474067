// The names of Save as: what the panel proposes, the extension a bare name
// gets, and the question when a name's extension belongs to another format.

#include <AppDefs.h>
#include <Message.h>

#include "FileFixture.h"
#include "io/savename.h"
#include "window/codes.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

#include <sys/xattr.h>

namespace {

class SaveNameTest : public FileTest
{
protected:
    // The name the visible save panel proposes.
    std::string Proposed()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = widget->findChild<QFileDialog*>();
            if (!dialog)
                dialog = qobject_cast<QFileDialog*>(widget);
            if (dialog && dialog->isVisible() && !dialog->selectedFiles().isEmpty())
                return QFileInfo(dialog->selectedFiles().first()).fileName().toStdString();
        }
        return "";
    }

    // Presses the button of the "Save as" alert, keeping its question;
    // false when none shows.
    bool Answer(const char* button)
    {
        Settle();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible() || widget->windowTitle() != "Save as")
                continue;
            if (QLabel* label = widget->findChild<QLabel*>("text"))
                question = label->text().toStdString();
            for (QPushButton* each : widget->findChildren<QPushButton*>()) {
                if (each->text() == button) {
                    each->click();
                    Settle();
                    return true;
                }
            }
        }
        return false;
    }

    void HidePanels()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->findChild<QFileDialog*>() || qobject_cast<QFileDialog*>(widget))
                widget->hide();
        }
    }

    std::string question;

    std::string TypeOf(const char* name)
    {
        char value[64];
        ssize_t n = getxattr(Path(name).c_str(), "user.mime_type", value, sizeof(value));
        return n > 0 ? std::string(value, n) : "";
    }
};

TEST_F(SaveNameTest, NamesFollowTheFormat)
{
    ASSERT_TRUE(Pattern(16, 12).save(QString::fromStdString(Path("photo.jpg")), "JPEG"));
    entry_ref photo = Ref("photo.jpg");
    ASSERT_EQ(view->load(photo), B_OK);

    struct
    {
        const char* mime;
        const char* typed;
        const char* answer; // the button pressed in the alert, or none
        const char* written;
        const char* type;
    } cases[] = {
        {"image/png", "photo.png", nullptr, "photo.png", "image/png"},
        {"image/png", "noext", nullptr, "noext.png", "image/png"},
        {"image/png", "shout.PNG", nullptr, "shout.PNG", "image/png"},
        {"image/png", "notes.v2", nullptr, "notes.v2.png", "image/png"},
        {"image/jpeg", "wrong.png", "Save", "wrong.png", "image/jpeg"},
        {"image/jpeg", "changed.png", "Change to .jpg", "changed.jpg", "image/jpeg"},
        {"image/jpeg", "kept.png", "Cancel", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        int32 format = FormatNumber(c.mime);
        ASSERT_GE(format, 0);
        BMessage saveAs(kSaveAs);
        saveAs.AddInt16("format_no", (int16)format);
        BMessenger(view).SendMessage(&saveAs);
        Settle();
        EXPECT_EQ(Proposed(), format == FormatNumber("image/png") ? "photo.png" : "photo.jpg");
        BMessage answer(B_SAVE_REQUESTED);
        entry_ref folderRef = FolderRef();
        answer.AddRef("directory", &folderRef);
        answer.AddString("name", c.typed);
        BMessenger(view).SendMessage(&answer);
        Settle();
        EXPECT_EQ(Answer(c.answer ? c.answer : "Save"), c.answer != nullptr);
        if (c.answer) {
            EXPECT_EQ(question, std::string("Save as JPG under ") + c.typed + "?");
        }
        if (c.written) {
            EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(Path(c.written))));
            EXPECT_EQ(TypeOf(c.written), c.type);
        }
        if (!c.written || strcmp(c.written, c.typed) != 0) {
            EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path(c.typed))));
        }
        HidePanels();
    }
}

TEST_F(SaveNameTest, ProposedNames)
{
    struct
    {
        const char* document;
        const char* mime;
        const char* proposed;
    } cases[] = {
        {"photo.jpg", "image/png", "photo.png"},   {"photo.JPEG", "image/png", "photo.png"},
        {"notes.v2", "image/png", "notes.v2.png"}, {".hidden", "image/jpeg", ".hidden.jpg"},
        {"", "image/png", "untitled.png"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(proposed_name(c.document, c.mime), c.proposed) << c.document;
    // 2026-03-04 05:06:07 local time.
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
