#ifndef TAVRIN_JPEG_ERRORS_H
#define TAVRIN_JPEG_ERRORS_H

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include <SupportDefs.h>

// libjpeg reports fatal errors through error_exit, which must not return: it
// longjmps back into the function that set up the object. The decoder and
// the encoder both set their objects up this way; nothing outside them sees
// libjpeg.

struct ErrorManager
{
    jpeg_error_mgr pub;
    jmp_buf jump;
    status_t error; // an I/O error of our own, else B_OK
};

// Fills in manager: messages stay quiet, and errors jump to manager->jump,
// as does the warning that the data ended while rows still needed it.
void set_up_errors(ErrorManager* manager);

// Makes libjpeg's text for a message code the reason of a failure that the
// caller returns itself.
void set_reason(j_common_ptr cinfo, int code);

// Abandons the work as libjpeg's message code would, with its text as the
// reason (JWRN_JPEG_EOF: "Premature end of JPEG file").
void fail_with_message(j_common_ptr cinfo, int code);

// Abandons the work of the object behind cinfo with error, by the same jump;
// the error (a stream's) is its own reason.
void fail(j_common_ptr cinfo, status_t error);

#endif
