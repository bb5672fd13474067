#ifndef TAVRIN_HEIF_ERRORS_H
#define TAVRIN_HEIF_ERRORS_H

#include <libheif/heif.h>

#include <SupportDefs.h>

// libheif's errors stay in the decoder and the encoder; callers see the
// status_t this gives, with libheif's message as the reason. streamError is what the stream
// answered when libheif read or wrote through it, which stands before libheif's own error.
status_t status_for(const heif_error& error, status_t streamError);

#endif
