#include "JPEGErrors.h"

#include <jerror.h>

#include <Translator.h>

namespace {

// libjpeg's own text for the message it holds becomes the reason.
void error_exit(j_common_ptr cinfo)
{
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    char message[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, message);
    set_translation_reason("libjpeg: %s", message);
    longjmp(manager->jump, 1);
}

void quiet_message(j_common_ptr) {}

// Warnings pass, except the one that says the compressed data ended while
// rows still needed it: the rest of the picture would be made up (grey), so
// that is broken data, not a picture.
void emit_message(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER)
        error_exit(cinfo);
}

} // namespace

void set_up_errors(ErrorManager* manager)
{
    jpeg_std_error(&manager->pub);
    manager->pub.error_exit = error_exit;
    manager->pub.output_message = quiet_message;
    manager->pub.emit_message = emit_message;
    manager->error = B_OK;
}

void set_reason(j_common_ptr cinfo, int code)
{
    char message[JMSG_LENGTH_MAX];
    cinfo->err->msg_code = code;
    cinfo->err->format_message(cinfo, message);
    set_translation_reason("libjpeg: %s", message);
}

void fail_with_message(j_common_ptr cinfo, int code)
{
    cinfo->err->msg_code = code;
    error_exit(cinfo);
}

void fail(j_common_ptr cinfo, status_t error)
{
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    manager->error = error;
    longjmp(manager->jump, 1);
}
