#ifndef TAVRIN_VERSION_H
#define TAVRIN_VERSION_H

// The version the window title, the empty view and the About box show.
#define TAVRIN_VERSION "ver.0.00"

#endif
