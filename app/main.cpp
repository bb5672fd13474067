#include "app/tavrin.h"

int main(int argc, char** argv)
{
    tr = BTranslatorRoster::Default();
    if (!tr)
        return 1;
    tavrin app(argc, argv);
    app.Run();
    return 0;
}
