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

// Abandons the work of the object behind cinfo with error, by the same jump.
void fail(j_common_ptr cinfo, status_t error);

#endif
