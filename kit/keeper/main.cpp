#include <Clipboard.h>

int main(int argc, char** argv)
{
    return BPrivate::clipboard_keeper_main(argc, argv);
}
