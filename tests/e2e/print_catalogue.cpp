// Prints the output-format catalogue the program builds, one name a line, so
// that a test driving the menus by keyboard knows where an item stands.

#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "window/catalogue.h"

#include <cstdio>

int main()
{
    tr = BTranslatorRoster::Default();
    if (!tr)
        return 1;
    fill_catalogue();
    for (int32 i = 0; i < trc; i++)
        printf("%s\n", format_at(i)->name);
    for (int32 i = 0; s_fmt* record = static_cast<s_fmt*>(xlt.ItemAt(i)); i++)
        delete record;
    return 0;
}
