#ifndef TAVRIN_VERSION_H
#define TAVRIN_VERSION_H

// The version the window title, the empty view and the About box show. The
// number is the project's (CMakeLists.txt), which the package carries too.
#define TAVRIN_VERSION "ver." TAVRIN_PROJECT_VERSION

#endif
