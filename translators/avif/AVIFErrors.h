#ifndef TAVRIN_AVIF_ERRORS_H
#define TAVRIN_AVIF_ERRORS_H

#include <avif/avif.h>

#include <SupportDefs.h>

// libavif's results stay in the decoder and the encoder; callers see the
// status_t this gives, with libavif's text for the result (and its
// diagnostics, when given) as the reason. streamError is what the stream
// answered when libavif read through it, which an I/O failure stands for.
status_t status_for(avifResult result, status_t streamError,
                    const avifDiagnostics* diagnostics = nullptr);

#endif
