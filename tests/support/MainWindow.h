#ifndef TAVRIN_TEST_MAIN_WINDOW_H
#define TAVRIN_TEST_MAIN_WINDOW_H

#include <Rect.h>
#include <TranslatorRoster.h>

#include "TestApp.h"
#include "app/tavrin.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

// The program's main window as it opens at start-up, with the real
// translators: no picture yet, nothing dropped. The tests of the program
// build on it; the caller quits the window.
inline tavrinwindow* open_main_window()
{
    test_app();
    if (!tr)
        tr = BTranslatorRoster::Default();
    pic.Set(0, 0, -1, -1);
    droppos.Set(0, 0);
    return new tavrinwindow(BRect(100, 100, 300, 250));
}

#endif
