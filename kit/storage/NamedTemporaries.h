#ifndef _TAVRIN_NAMED_TEMPORARIES_H
#define _TAVRIN_NAMED_TEMPORARIES_H

#include <string>

namespace BPrivate {

// Temporary files that have a name while they are written, removed if a
// signal ends the process first. Registering installs, once, a handler on
// every signal that ends a process by default and that nobody else handles
// or ignores; the handler removes the files and lets the signal take its
// course. Answers a slot for unregister_named, or -1 when none is free.
int register_named(const std::string& path);
void unregister_named(int slot);

// Makes a write into a pipe whose reader has gone a failed write (EPIPE)
// rather than the end of the process, unless the process handles SIGPIPE
// itself.
void ignore_broken_pipes();

} // namespace BPrivate

#endif
