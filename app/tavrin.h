#ifndef TAVRIN_APP_H
#define TAVRIN_APP_H

#include <Application.h>
#include <Messenger.h>
#include <TranslatorRoster.h>

class tavrinwindow;

// The system's default translator roster, set once by main().
extern BTranslatorRoster* tr;

extern const char* const kSignature;
extern const char* const kAboutText;

// Ends the program with this exit status, as File > Quit does.
void quit_with_status(int status);
// The status the program ends with: 0 unless quit_with_status said otherwise.
int exit_status();

// The application object: creates the main window and relays file
// references and the file panels' answers to its view.
class tavrin : public BApplication
{
public:
    tavrin(int argc, char** argv);
    ~tavrin() override;

    void MessageReceived(BMessage* message) override;
    void RefsReceived(BMessage* message) override;
    void AboutRequested() override;

    tavrinwindow* win;

private:
    // The view, reached by messenger so that a message arriving after the
    // window has gone finds nothing instead of a freed window.
    BMessenger fView;
};

#endif
