#ifndef TAVRIN_CONFIG_WINDOW_H
#define TAVRIN_CONFIG_WINDOW_H

#include <TranslationDefs.h>
#include <Window.h>

#include <atomic>

// Nonzero while a translator's configuration window is open (or opening).
// Set on the main window's strand, cleared by the configuration window.
extern std::atomic<bool> cwin;

// A window holding one translator's own settings panel, sized to it.
class configwindow : public BWindow
{
public:
    configwindow(const ulong& id, const char* name);
    ~configwindow() override;

    bool QuitRequested() override;
};

#endif
