#include "ConvertTool.h"
#include "BitsPipe.h"

#include <BitmapStream.h>
#include <File.h>
#include <FileExtensions.h>
#include <Message.h>
#include <PictureMetadata.h>
#include <ReplacementFile.h>
#include <StorageDefs.h>
#include <TranslationDefs.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace convert {

namespace {

// What a decoder's failure means for the file read.
std::string describe_read(status_t status)
{
    switch (status) {
    case B_BAD_VALUE:
        return "the data holds invalid values";
    case B_NOT_SUPPORTED:
        return "this variant of the format is not supported";
    case B_ERROR:
        return "translation failed";
    default:
        return status_text(status);
    }
}

// What an encoder's failure means for the file written; a failed write
// itself is reported by the file before this is asked.
std::string describe_write(status_t status)
{
    switch (status) {
    case B_NO_TRANSLATOR:
        return "no translator writes that format";
    case B_BAD_VALUE:
        return "the picture exceeds what that format can hold";
    case B_NOT_SUPPORTED:
        return "that format cannot hold this picture";
    case B_ERROR:
        return "translation failed";
    default:
        return status_text(status);
    }
}

std::string folder_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string leaf_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

const char* mime_for_name(const std::string& path)
{
    std::string leaf = leaf_of(path);
    size_t dot = leaf.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return nullptr;
    return mime_for_extension(leaf.substr(dot + 1).c_str());
}

uint32 type_for_mime(BTranslatorRoster* roster, const std::string& mime)
{
    return output_type_for_mime(roster, mime.c_str());
}

namespace {

// A failure and the translator's reason for it, taken on the thread that
// ran the translation.
struct Outcome
{
    status_t status = B_OK;
    std::string reason;
};

// The translators read the settings the run gives (--set, --strip) from a
// message of their own: each translation gets a copy, so no two threads
// share one.
BMessage settings_copy(const BMessage* settings)
{
    return settings != nullptr ? BMessage(*settings) : BMessage();
}

// A translator that runs out of memory in a library that throws must not
// take the whole process down; it has failed like any other. extension
// holds the run's settings; a reader adds the picture's profile and
// metadata to it.
Outcome translate(BTranslatorRoster* roster, BPositionIO* input, BPositionIO* output, uint32 type,
                  BMessage* extension)
{
    Outcome outcome;
    try {
        outcome.status = roster->Translate(input, nullptr, extension, output, type);
    } catch (const std::bad_alloc&) {
        outcome.status = B_NO_MEMORY;
    } catch (...) {
        outcome.status = B_ERROR;
    }
    if (outcome.status != B_OK)
        outcome.reason = translation_failure_reason();
    return outcome;
}

Outcome translate_with(BTranslatorRoster* roster, translator_id id, BPositionIO* input,
                       BPositionIO* output, const BMessage* settings)
{
    Outcome outcome;
    BMessage extension = settings_copy(settings);
    try {
        outcome.status = roster->Translate(id, input, &extension, output, B_TRANSLATOR_BITMAP);
    } catch (const std::bad_alloc&) {
        outcome.status = B_NO_MEMORY;
    } catch (...) {
        outcome.status = B_ERROR;
    }
    if (outcome.status != B_OK)
        outcome.reason = translation_failure_reason();
    return outcome;
}

// The most a 'bits' stream can hold: its header and the largest picture.
const off_t kMaxBitsStream = B_TRANSLATOR_BITMAP_HEADER_SIZE + off_t(B_TRANSLATION_MAX_PIXEL_BYTES);

// Decodes on a second thread into a pipe that the encoder reads from this
// one, so decoding and encoding overlap and the picture is never held whole
// when both sides work in order. Answers false, with nothing to report, when
// the translators needed a whole picture after all (see BitsPipe) or no
// thread could be started; the output must then be made anew.
bool convert_in_parallel(BTranslatorRoster* roster, BPositionIO* input, BPositionIO* output,
                         uint32 type, const BMessage* settings, Outcome* decoded, Outcome* encoded)
{
    BitsPipe pipe(kMaxBitsStream);
    std::thread decoder;
    // The decoder puts the picture's profile and metadata into its message
    // before the bitmap's header; the encoder takes them from there.
    BMessage read = settings_copy(settings), write = settings_copy(settings);
    try {
        decoder = std::thread([&] {
            *decoded = translate(roster, input, pipe.WriteEnd(), B_TRANSLATOR_BITMAP, &read);
            pipe.CloseWrite();
        });
    } catch (const std::system_error&) {
        return false;
    }
    pipe.WaitForBytes(B_TRANSLATOR_BITMAP_HEADER_SIZE);
    BPrivate::PictureMetadata metadata;
    metadata.SetFrom(&read);
    metadata.AddTo(&write);
    *encoded = translate(roster, pipe.ReadEnd(), output, type, &write);
    pipe.CloseRead(encoded->status);
    decoder.join();
    // A decoder stopped by an encoder that failed first has read nothing
    // wrong: the failure to report is the encoder's.
    if (pipe.ReaderFailedFirst())
        *decoded = Outcome();
    return !pipe.Broken();
}

// Decodes the whole picture, then encodes it.
void convert_in_turn(BTranslatorRoster* roster, BPositionIO* input, BPositionIO* output,
                     uint32 type, const BMessage* settings, Outcome* decoded, Outcome* encoded)
{
    BBitmapStream bits;
    BMessage read = settings_copy(settings), write = settings_copy(settings);
    *encoded = Outcome();
    *decoded = translate(roster, input, &bits, B_TRANSLATOR_BITMAP, &read);
    BPrivate::PictureMetadata metadata;
    metadata.SetFrom(&read);
    metadata.AddTo(&write);
    if (decoded->status == B_OK)
        *encoded = translate(roster, &bits, output, type, &write);
}

} // namespace

namespace {

// Takes nothing: a decoder that writes into it fails at once.
class RefusingIO : public BPositionIO
{
public:
    ssize_t ReadAt(off_t, void*, size_t) override { return B_NOT_ALLOWED; }
    ssize_t WriteAt(off_t, const void*, size_t) override { return B_NOT_ALLOWED; }
    off_t Seek(off_t, uint32) override { return 0; }
    off_t Position() const override { return 0; }
};

// The roster answers "no translator" when none accepted the data, also when
// one knew the format but refused this file (a picture past the size limit,
// an impossible header). Each translator is asked alone for its reason.
std::string why_unrecognised(BTranslatorRoster* roster, BPositionIO* input,
                             const BMessage* settings)
{
    translator_id* ids = nullptr;
    int32 count = 0;
    if (roster->GetAllTranslators(&ids, &count) != B_OK)
        return status_text(B_NO_TRANSLATOR);
    std::string reason = status_text(B_NO_TRANSLATOR);
    for (int32 i = 0; i < count; i++) {
        RefusingIO nowhere;
        input->Seek(0, SEEK_SET);
        Outcome outcome = translate_with(roster, ids[i], input, &nowhere, settings);
        status_t status = outcome.status;
        if (status == B_NO_TRANSLATOR || status == B_NOT_ALLOWED || status == B_OK)
            continue;
        const char* name = nullptr;
        const char* info = nullptr;
        int32 version = 0;
        roster->GetTranslatorInfo(ids[i], &name, &info, &version);
        // The codec's own words name it; otherwise identifying reads only a
        // header, and runs out of nothing but the limit on a picture's size.
        if (!outcome.reason.empty()) {
            reason = outcome.reason;
            break;
        }
        if (status == B_NO_MEMORY)
            reason = "the picture is larger than the limit of 1 GiB of pixel data";
        else if (status == B_BAD_VALUE)
            reason = "its header holds an impossible size or other invalid values";
        else
            reason = describe_read(status);
        if (name != nullptr)
            reason += std::string(" (") + name + ")";
        break;
    }
    delete[] ids;
    input->Seek(0, SEEK_SET);
    return reason;
}

} // namespace

int convert_file(BTranslatorRoster* roster, const std::string& input, const std::string& output,
                 uint32 type, std::string* error, const BMessage* settings)
{
    // Translators read their input more than once, from the start: only a
    // regular file serves (a FIFO's bytes would be gone after the first look).
    struct stat st;
    if (stat(input.c_str(), &st) != 0) {
        *error = "cannot open " + input + ": " + status_text(status_from_errno(errno));
        return kFailed;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = "cannot read " + input + ": " +
                 status_text(S_ISDIR(st.st_mode) ? B_IS_A_DIRECTORY : B_NOT_A_FILE);
        return kFailed;
    }
    BFile in(input.c_str(), B_READ_ONLY);
    if (in.InitCheck() == B_OK && !in.IsFile())
        in.Unset();
    if (in.InitCheck() != B_OK) {
        status_t status = in.InitCheck() == B_NO_INIT ? B_NOT_A_FILE : in.InitCheck();
        *error = "cannot open " + input + ": " + status_text(status);
        return kFailed;
    }

    BPrivate::ReplacementFile out;
    status_t opened = out.Open(folder_of(output), leaf_of(output));
    if (opened != B_OK) {
        *error = "cannot write " + output + ": " +
                 (opened == B_BAD_VALUE ? "that is not a file name" : status_text(opened));
        return kFailed;
    }

    Outcome decodedOutcome, encodedOutcome;
    status_t& decoded = decodedOutcome.status;
    status_t& encoded = encodedOutcome.status;
    if (!convert_in_parallel(roster, &in, out.Stream(), type, settings, &decodedOutcome,
                             &encodedOutcome)) {
        // Start again from the beginning of both files; bytes already gone
        // into a pipe or device cannot be taken back.
        encodedOutcome = Outcome();
        if (out.WritesDirectly())
            encoded = out.BytesWritten() == 0 ? B_OK : B_NOT_ALLOWED;
        else
            encoded = out.Stream()->SetSize(0);
        if (encoded == B_OK && (in.Seek(0, SEEK_SET) != 0 ||
                                (!out.WritesDirectly() && out.Stream()->Seek(0, SEEK_SET) != 0)))
            encoded = B_IO_ERROR;
        if (encoded == B_OK)
            convert_in_turn(roster, &in, out.Stream(), type, settings, &decodedOutcome,
                            &encodedOutcome);
        else if (encoded == B_NOT_ALLOWED) {
            out.Abort();
            *error = "cannot write " + output +
                     ": that format cannot be written straight into a pipe or device";
            return kFailed;
        }
    }
    // A translator may tell a failed write only as a generic error, and the
    // decoder then fails only because the encoder stopped taking rows: the
    // file's own failure (a full disk, a reader gone) is the real cause.
    status_t written = out.WriteError();
    if (written != B_OK) {
        encoded = written;
        decoded = B_OK;
    }
    if (decoded == B_OK && encoded == B_OK)
        encoded = out.Commit();
    else
        out.Abort();
    if (decoded != B_OK) {
        // The roster hands on why a translator that knew the format refused
        // it (too large, an impossible header): when none takes the file, each
        // is asked again, so that the line names the one that refused. A
        // failure while a translator that took it was reading stays its own.
        bool refused = decoded == B_NO_TRANSLATOR;
        if (!refused && (decoded == B_NO_MEMORY || decoded == B_BAD_VALUE) &&
            in.Seek(0, SEEK_SET) == 0) {
            translator_info info;
            refused =
                roster->Identify(&in, nullptr, &info, 0, nullptr, B_TRANSLATOR_BITMAP) != B_OK;
        }
        std::string why;
        if (refused)
            why = why_unrecognised(roster, &in, settings);
        else if (!decodedOutcome.reason.empty())
            why = decodedOutcome.reason;
        else
            why = describe_read(decoded);
        *error = "cannot read " + input + ": " + why;
        return kFailed;
    }
    if (encoded != B_OK) {
        std::string why;
        if (encoded == written)
            why = status_text(written);
        else if (!encodedOutcome.reason.empty())
            why = encodedOutcome.reason;
        else
            why = describe_write(encoded);
        *error = "cannot write " + output + ": " + why;
        return kFailed;
    }
    return kSuccess;
}

} // namespace convert
