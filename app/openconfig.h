#ifndef TAVRIN_OPEN_CONFIG_H
#define TAVRIN_OPEN_CONFIG_H

#include <TranslationDefs.h>

// What the view asks of the application side for a Config command, and
// nothing more: to open the settings window of translator id, titled name.
// Nothing happens while another one is open.
void openconfig(translator_id id, const char* name);

#endif
