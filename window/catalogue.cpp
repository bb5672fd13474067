#include "window/catalogue.h"

#include <Bitmap.h>
#include <BitmapStream.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "window/tavrinwindow.h"

#include <cstring>

BList xlt(20);
int32 trc = 0;

s_fmt* format_at(int32 index)
{
    if (index < 0 || index >= trc)
        return nullptr;
    return static_cast<s_fmt*>(xlt.ItemAt(index));
}

void clear_catalogue()
{
    for (int32 i = 0; s_fmt* record = static_cast<s_fmt*>(xlt.ItemAt(i)); i++)
        delete record;
    xlt.MakeEmpty();
    trc = 0;
}

void fill_catalogue()
{
    // A small probe picture: whoever reads it can write bitmaps out.
    BBitmap* probe = new BBitmap(BRect(0, 0, 7, 7), B_RGB32, false, false);
    BBitmapStream stream(probe);

    translator_info* info = nullptr;
    int32 count = 0;
    if (tr && tr->GetTranslators(&stream, nullptr, &info, &count, 0, nullptr, 0) == B_OK) {
        for (int32 i = 0; i < count; i++) {
            const translation_format* formats = nullptr;
            int32 n = 0;
            if (tr->GetOutputFormats(info[i].translator, &formats, &n) != B_OK)
                continue;
            for (int32 j = 0; j < n; j++) {
                if (formats[j].type == B_TRANSLATOR_BITMAP || formats[j].type == B_TRANSLATOR_MEDIA)
                    continue;
                s_fmt* record = new s_fmt;
                record->translator = info[i].translator;
                record->type = formats[j].type;
                strncpy(record->name, formats[j].name, sizeof(record->name) - 1);
                record->name[sizeof(record->name) - 1] = '\0';
                strncpy(record->MIME, formats[j].MIME, sizeof(record->MIME) - 1);
                record->MIME[sizeof(record->MIME) - 1] = '\0';
                if (record->type == B_TGA_FORMAT)
                    xlt.AddItem(record, 0);
                else
                    xlt.AddItem(record);
                trc++;
            }
        }
    }
    delete[] info;
    // The stream owns the probe and releases it with itself.
}

void tavrinwindow::get_translator_for_output()
{
    fill_catalogue();
}
