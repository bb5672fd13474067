#ifndef TAVRIN_FILE_FIXTURE_H
#define TAVRIN_FILE_FIXTURE_H

#include <Entry.h>
#include <Messenger.h>
#include <TranslatorRoster.h>

#include "MainWindow.h"
#include "TestApp.h"
#include "app/tavrin.h"
#include "view/tavrinview.h"
#include "window/catalogue.h"
#include "window/tavrinwindow.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>

// A main window with the real translators, and a folder of its own for files.
class FileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = open_main_window();
        view = window->view;
        Settle();
        ASSERT_TRUE(folder.isValid());
    }

    void TearDown() override
    {
        // A failed save or open leaves its alert open; it goes with the test.
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            QString title = widget->windowTitle();
            if (widget->isVisible() && (title == "Save failed" || title == "Open failed"))
                widget->close();
        }
        BMessenger messenger(window);
        window->QuitRequested();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }

    void Settle() { settle_window(window); }

    // The text of the alert with this title on screen, closing it; "" for none.
    std::string TakeAlert(const char* title)
    {
        std::string text;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible() || widget->windowTitle() != title)
                continue;
            if (QLabel* label = widget->findChild<QLabel*>("text"))
                text = label->text().toStdString();
            widget->close();
        }
        run_until([&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->isVisible() && widget->windowTitle() == title)
                    return false;
            }
            return true;
        });
        return text;
    }

    std::string Path(const char* name) { return folder.filePath(name).toStdString(); }

    entry_ref Ref(const char* name)
    {
        entry_ref ref;
        get_ref_for_path(Path(name).c_str(), &ref);
        return ref;
    }

    entry_ref FolderRef()
    {
        entry_ref ref;
        get_ref_for_path(folder.path().toUtf8().constData(), &ref);
        return ref;
    }

    // A picture whose pixels say where they are.
    static QImage Pattern(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++)
                image.setPixel(x, y, qRgb((x * 7) & 0xff, (y * 5) & 0xff, (x + y) & 0xff));
        }
        return image;
    }

    int32 FormatNumber(const char* mime)
    {
        for (int32 i = 0; i < trc; i++) {
            if (strcmp(format_at(i)->MIME, mime) == 0)
                return i;
        }
        return -1;
    }

    QTemporaryDir folder;
    tavrinwindow* window = nullptr;
    tavrinview* view = nullptr;
};

#endif
