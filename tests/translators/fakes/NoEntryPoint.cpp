// An add-on that forgot its entry point; the roster must skip it.
extern "C" int fake_translator_without_entry_point()
{
    return 0;
}
