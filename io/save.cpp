#include "io/save.h"

#include <Alert.h>
#include <AppFileInfo.h>
#include <BitmapStream.h>
#include <Directory.h>
#include <Invoker.h>
#include <LongWork.h>
#include <Message.h>
#include <PathUtils.h>
#include <ReplacementFile.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "io/load.h"
#include "io/savename.h"
#include "view/tavrinview.h"
#include "window/catalogue.h"
#include "window/codes.h"
#include "window/tavrinwindow.h"

#include <cstdio>
#include <cstring>
#include <string>

bool is_plain_name(const char* name)
{
    return BPrivate::is_single_name(name);
}

status_t write_translated(const entry_ref& dir, const char* name, BPositionIO* source,
                          translator_id translator, uint32 type, const char* mime,
                          std::string* reason, const BPrivate::PictureMetadata* metadata)
{
    BMessage extension;
    if (metadata != nullptr)
        metadata->AddTo(&extension);
    if (!is_plain_name(name))
        return B_BAD_VALUE;
    char path[B_PATH_NAME_LENGTH];
    if (!dir.get_path(path, sizeof(path)) && !(dir.directory && *dir.directory))
        return B_ENTRY_NOT_FOUND;
    std::string folder =
        std::string(dir.directory ? dir.directory : "") + "/" + (dir.name ? dir.name : "");
    // Encoding and writing a large picture takes seconds: it runs off the
    // GUI thread while this window waits, and the window shows how far the
    // translator has read.
    source->Seek(0, SEEK_SET);
    BPrivate::WatchedIO watched(source);
    return BPrivate::run_long_work(
        [&]() -> status_t {
            BPrivate::ReplacementFile file;
            status_t status = file.Open(folder, name);
            if (status != B_OK)
                return status;
            if (translator != 0)
                status = tr ? tr->Translate(translator, &watched, &extension, file.Stream(), type)
                            : B_NO_INIT;
            else
                status = tr ? tr->Translate(&watched, nullptr, &extension, file.Stream(), type, 0,
                                            nullptr)
                            : B_NO_INIT;
            // A translator may tell a failed write only as a generic error;
            // the file's own failure (a full disk, a pipe closed) is the real
            // cause.
            if (file.WriteError() != B_OK)
                return file.WriteError();
            if (status != B_OK) {
                if (reason)
                    *reason = translation_failure_reason();
                return status;
            }
            BAppFileInfo info(file.File());
            info.SetType(mime);
            return file.Commit();
        },
        [&]() { return watched.Fraction(); });
}

const char* save_failure_text(status_t status)
{
    // What the writer reports names its own cause; a translator that fails
    // for a reason of its own gets one plain phrase.
    switch (status) {
    case B_NO_TRANSLATOR:
        return "no translator writes this format";
    case B_BAD_VALUE:
        return "not a usable name";
    case B_ENTRY_NOT_FOUND:
        return "the folder does not exist";
    case B_ERROR:
    case B_ILLEGAL_DATA:
    case B_NOT_SUPPORTED:
        return "the translator could not write the picture";
    default:
        return status_text(status);
    }
}

void tavrinview::save(entry_ref& dir, char* name)
{
    s_fmt* record = format_at(format_no);
    if (!image || !record)
        return;
    BPrivate::PictureMetadata metadata = image->Metadata();
    BBitmapStream stream(image);
    std::string codecReason;
    status_t status = write_translated(dir, name, &stream, 0, record->type, record->MIME,
                                       &codecReason, &metadata);
    stream.DetachBitmap(&image);
    if (status == B_OK) {
        if (lastformat != format_no) {
            lastformat = format_no;
            if (auto* window = dynamic_cast<tavrinwindow*>(Window()))
                window->updatemenus();
        }
        return;
    }
    // The one failure that is shown: the user believes the picture is safe
    // and may quit next.
    std::string why = with_reason(save_failure_text(status), codecReason);
    const char* reason = why.c_str();
    fprintf(stderr, "tavrin: could not save \"%s\" as %s: %s\n", name ? name : "", record->name,
            reason);
    char text[B_FILE_NAME_LENGTH + 512];
    snprintf(text, sizeof(text), "Could not save \"%s\" as %s: %s.", name ? name : "", record->name,
             reason);
    BAlert* alert =
        new BAlert("Save failed", text, "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_STOP_ALERT);
    alert->Go(nullptr);
}

void tavrinview::select_trans(const char* mime, ulong* id, ulong* type)
{
    select_format(mime, id, type);
}

void select_format(const char* mime, ulong* id, ulong* type)
{
    for (int32 i = 0; i < trc; i++) {
        s_fmt* record = format_at(i);
        if (mime && strcmp(record->MIME, mime) == 0) {
            *id = record->translator;
            *type = record->type;
            return;
        }
    }
    *id = 0;
    *type = 0;
}

int16 tavrinview::savingformat() const
{
    if (format_at(lastformat))
        return lastformat;
    for (int32 i = 0; i < trc; i++) {
        if (strcmp(format_at(i)->MIME, "image/png") == 0)
            return (int16)i;
    }
    return 0;
}

namespace {

// Asks a question about saving with buttons; the answer comes back to the
// view as kSaveChoice with the choice's fields and "which".
void ask(BHandler* view, const std::string& question, const char* first, const char* second,
         const char* third, BMessage* choice)
{
    BAlert* alert = new BAlert("Save as", question.c_str(), first, second, third, B_WIDTH_AS_USUAL,
                               B_WARNING_ALERT);
    alert->Go(new BInvoker(choice, view));
}

} // namespace

void tavrinview::_SaveNamed(entry_ref& dir, const char* name)
{
    s_fmt* record = format_at(format_no);
    if (!record || !name)
        return;
    std::string fixed;
    switch (fit_name(name, record->MIME, &fixed)) {
    case kNameFits:
        save(dir, const_cast<char*>(name));
        break;
    case kNameGetsOne:
        _SaveMadeName(dir, fixed);
        break;
    case kNameOtherFormat: {
        BMessage* choice = new BMessage(kSaveChoice);
        choice->AddRef("directory", &dir);
        choice->AddString("name", name);
        choice->AddString("fixed", fixed.c_str());
        choice->AddInt16("format_no", format_no);
        std::string change = "Change to ." + fixed.substr(fixed.rfind('.') + 1);
        ask(this, "Save as " + format_word(record->MIME) + " under " + name + "?", "Save",
            change.c_str(), "Cancel", choice);
        break;
    }
    }
}

void tavrinview::_SaveMadeName(entry_ref& dir, const std::string& made)
{
    // The panel asked before replacing the name typed, not this one.
    BDirectory folder(&dir);
    BEntry existing(&folder, made.c_str());
    if (!existing.Exists()) {
        save(dir, const_cast<char*>(made.c_str()));
        return;
    }
    BMessage* choice = new BMessage(kSaveChoice);
    choice->AddRef("directory", &dir);
    choice->AddString("name", made.c_str());
    choice->AddInt16("format_no", format_no);
    ask(this, made + " already exists. Replace it?", "Replace", "Cancel", nullptr, choice);
}

void tavrinview::_SaveChoice(BMessage* message)
{
    // Button 0 saves under the name asked about; button 1 of the question
    // about another format's extension saves under the format's own.
    entry_ref directory;
    const char* name;
    const char* fixed = nullptr;
    int32 which = -1;
    int16 number;
    if (message->FindRef("directory", &directory) != B_OK ||
        message->FindString("name", &name) != B_OK ||
        message->FindInt16("format_no", &number) != B_OK ||
        message->FindInt32("which", &which) != B_OK || !format_at(number))
        return;
    message->FindString("fixed", &fixed);
    format_no = number;
    if (which == 0)
        save(directory, const_cast<char*>(name));
    else if (which == 1 && fixed)
        _SaveMadeName(directory, fixed);
}
