#include <TranslatorRoster.h>

#include <Entry.h>
#include <Translator.h>

#include "TranslationReason.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <thread>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace BPrivate {

struct RosterEntry
{
    translator_id id;
    BTranslator* translator;
    // The add-on file it came from; empty for a translator added in process.
    std::string path;
};

struct RosterData
{
    std::mutex lock;
    std::vector<RosterEntry> entries;
    translator_id nextID = 1;
    // The default roster loads its add-ons on a thread of its own while the
    // program starts; whoever asks the roster anything waits for that.
    bool loading = false;
    std::condition_variable loaded;
    std::thread loader;

    void WaitUntilLoaded()
    {
        std::unique_lock<std::mutex> guard(lock);
        loaded.wait(guard, [this] { return !loading; });
    }
};

} // namespace BPrivate

using BPrivate::RosterEntry;

namespace {

// Holds references to a snapshot of the roster's translators, so that they
// can be asked without the roster's lock held.
class Snapshot
{
public:
    explicit Snapshot(BPrivate::RosterData* data)
    {
        data->WaitUntilLoaded();
        std::lock_guard<std::mutex> guard(data->lock);
        fEntries = data->entries;
        for (RosterEntry& entry : fEntries)
            entry.translator->Acquire();
    }
    ~Snapshot()
    {
        for (RosterEntry& entry : fEntries)
            entry.translator->Release();
    }
    const std::vector<RosterEntry>& Entries() const { return fEntries; }

private:
    std::vector<RosterEntry> fEntries;
};

bool can_write(BTranslator* translator, uint32 type)
{
    if (type == 0)
        return true;
    int32 count = 0;
    const translation_format* formats = translator->OutputFormats(&count);
    for (int32 i = 0; formats != nullptr && i < count; i++) {
        if (formats[i].type == type)
            return true;
    }
    return false;
}

// Where an installed program's translators are, relative to its folder; the
// build gives the way for the install layout it was configured with.
#ifndef TAVRIN_INSTALLED_TRANSLATORS
#define TAVRIN_INSTALLED_TRANSLATORS "../lib/tavrin/translators"
#endif

// The user's translators first, so that a translator the user installed
// wins over the program's copy of the same name; then the program's own,
// found from the program's real location (so a link to it or a moved install
// still finds them): translators/ beside it, as in the build tree, and the
// folder they are installed in.
std::vector<std::string> default_folders()
{
    std::vector<std::string> candidates;
    const char* data = getenv("XDG_DATA_HOME");
    const char* home = getenv("HOME");
    if (data != nullptr && data[0] == '/')
        candidates.push_back(std::string(data) + "/tavrin/translators");
    else if (home != nullptr && home[0] == '/')
        candidates.push_back(std::string(home) + "/.local/share/tavrin/translators");
    char exe[4096];
    ssize_t length = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (length > 0) {
        exe[length] = '\0';
        char* slash = strrchr(exe, '/');
        if (slash != nullptr) {
            *slash = '\0';
            candidates.push_back(std::string(exe) + "/translators");
            candidates.push_back(std::string(exe) + "/" TAVRIN_INSTALLED_TRANSLATORS);
        }
    }

    // A folder reached twice (a link, or a user folder that is the program's
    // own) would load every add-on in it twice.
    std::vector<std::string> folders;
    std::vector<std::string> seen;
    for (const std::string& folder : candidates) {
        char* real = realpath(folder.c_str(), nullptr);
        if (real == nullptr)
            continue;
        std::string key(real);
        free(real);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            continue;
        seen.push_back(key);
        folders.push_back(folder);
    }
    return folders;
}

std::vector<std::string> split_path_list(const char* list)
{
    std::vector<std::string> parts;
    std::string current;
    for (const char* c = list;; c++) {
        if (*c == ':' || *c == '\0') {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
            if (*c == '\0')
                break;
        } else {
            current += *c;
        }
    }
    return parts;
}

// The add-on files named by one element of the list: the element itself when
// it is a file, or the files in it, in name order, when it is a folder.
std::vector<std::string> add_on_files(const std::string& element)
{
    std::vector<std::string> files;
    struct stat st;
    if (stat(element.c_str(), &st) != 0)
        return files;
    if (!S_ISDIR(st.st_mode)) {
        files.push_back(element);
        return files;
    }
    DIR* dir = opendir(element.c_str());
    if (dir == nullptr)
        return files;
    std::vector<std::string> names;
    while (struct dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::string path = element + "/" + entry->d_name;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.push_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        files.push_back(element + "/" + name);
    return files;
}

// The add-on files a path list names, or $TRANSLATORS, or the default
// folders, in the order they load.
std::vector<std::string> add_ons_to_load(const char* path)
{
    std::vector<std::string> elements;
    const char* env = getenv("TRANSLATORS");
    if (path != nullptr)
        elements = split_path_list(path);
    else if (env != nullptr && env[0] != '\0')
        elements = split_path_list(env);
    else
        elements = default_folders();
    std::vector<std::string> files;
    for (const std::string& element : elements) {
        for (std::string& file : add_on_files(element))
            files.push_back(std::move(file));
    }
    return files;
}

// Why a file cannot be a shared library of this program's kind, or null.
// The loader maps what the program headers name without checking that the
// file holds it: a cut-off library (a copy that stopped halfway) kills the
// program with a bus error on the first page past its end. So the headers,
// every segment they name and the section table, which ends the file, must
// lie inside it.
const char* elf_problem(const std::string& file)
{
    using Header = std::conditional_t<sizeof(void*) == 8, Elf64_Ehdr, Elf32_Ehdr>;
    using Segment = std::conditional_t<sizeof(void*) == 8, Elf64_Phdr, Elf32_Phdr>;
    const unsigned char kClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return strerror(errno);
    struct stat st;
    Header header;
    const char* problem = nullptr;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        problem = "not a regular file";
    else if (pread(fd, &header, sizeof(header), 0) != (ssize_t)sizeof(header) ||
             memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
        problem = "not a shared library";
    else if (header.e_ident[EI_CLASS] != kClass || header.e_type != ET_DYN ||
             header.e_phentsize != sizeof(Segment))
        problem = "a shared library of another kind";
    else if (header.e_phoff + (uint64_t)header.e_phnum * sizeof(Segment) > (uint64_t)st.st_size ||
             header.e_shoff + (uint64_t)header.e_shnum * header.e_shentsize > (uint64_t)st.st_size)
        problem = "the file is cut short";
    for (int i = 0; problem == nullptr && i < header.e_phnum; i++) {
        Segment segment;
        if (pread(fd, &segment, sizeof(segment), header.e_phoff + i * sizeof(Segment)) !=
                (ssize_t)sizeof(segment) ||
            (segment.p_type != PT_NULL &&
             segment.p_offset + (uint64_t)segment.p_filesz > (uint64_t)st.st_size))
            problem = "the file is cut short";
    }
    close(fd);
    return problem;
}

bool has_add_on_named(BPrivate::RosterData* data, const char* name)
{
    std::lock_guard<std::mutex> guard(data->lock);
    for (const RosterEntry& entry : data->entries) {
        if (!entry.path.empty() && strcmp(entry.translator->TranslatorName(), name) == 0)
            return true;
    }
    return false;
}

// The files load in the order given; a translator whose name an earlier
// add-on already brought is a copy the earlier folder overrides, and is
// dropped, so that each format shows once in the program's menus.
void load_add_ons(BPrivate::RosterData* data, const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        if (const char* problem = elf_problem(file)) {
            fprintf(stderr, "tavrin: skipping translator add-on %s: %s\n", file.c_str(), problem);
            continue;
        }
        void* image = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (image == nullptr) {
            fprintf(stderr, "tavrin: skipping translator add-on %s: %s\n", file.c_str(), dlerror());
            continue;
        }
        auto make = (make_nth_translator_func)dlsym(image, "make_nth_translator");
        if (make == nullptr) {
            fprintf(stderr, "tavrin: skipping translator add-on %s: no make_nth_translator\n",
                    file.c_str());
            dlclose(image);
            continue;
        }
        int32 made = 0;
        // An add-on holds a handful of translators; the bound guards a broken one.
        for (int32 n = 0; n < 256; n++) {
            BTranslator* translator = make(n, image, 0);
            if (translator == nullptr)
                break;
            if (has_add_on_named(data, translator->TranslatorName())) {
                translator->Release();
                continue;
            }
            std::lock_guard<std::mutex> guard(data->lock);
            data->entries.push_back({data->nextID++, translator, file});
            made++;
        }
        if (made == 0)
            dlclose(image);
    }
}

// Asks translator to translate with a clean reason: what it says on failure
// is what the caller gets, and a success leaves none.
status_t translate_with_reason(BTranslator* translator, BPositionIO* source,
                               const translator_info* info, BMessage* ioExtension,
                               uint32 wantOutType, BPositionIO* destination)
{
    std::string& reason = BPrivate::translation_reason();
    reason.clear();
    status_t status = translator->Translate(source, info, ioExtension, wantOutType, destination);
    if (status == B_OK)
        reason.clear();
    return status;
}

} // namespace

BTranslatorRoster::BTranslatorRoster() : fData(new BPrivate::RosterData) {}

// The add-on images stay loaded: a translator may outlive the roster
// through a reference someone else holds.
BTranslatorRoster::~BTranslatorRoster()
{
    fData->WaitUntilLoaded();
    if (fData->loader.joinable())
        fData->loader.join();
    for (RosterEntry& entry : fData->entries)
        entry.translator->Release();
    delete fData;
}

BTranslatorRoster* BTranslatorRoster::Default()
{
    static std::once_flag once;
    static BTranslatorRoster* roster = nullptr;
    std::call_once(once, [] {
        roster = new BTranslatorRoster;
        // Loading the add-ons (and the codec libraries they bring in) takes
        // a while; it overlaps the rest of the program's start. The folders
        // are read here, so the thread needs nothing from the environment.
        BPrivate::RosterData* data = roster->fData;
        std::vector<std::string> files = add_ons_to_load(nullptr);
        data->loading = true;
        data->loader = std::thread([data, files = std::move(files)] {
            load_add_ons(data, files);
            std::lock_guard<std::mutex> guard(data->lock);
            data->loading = false;
            data->loaded.notify_all();
        });
        // An add-on must not be half loaded while the program ends.
        atexit([] {
            if (roster->fData->loader.joinable())
                roster->fData->loader.join();
        });
    });
    return roster;
}

status_t BTranslatorRoster::AddTranslators(const char* path)
{
    fData->WaitUntilLoaded();
    load_add_ons(fData, add_ons_to_load(path));
    return B_OK;
}

// The roster takes a reference of its own; the caller keeps its reference.
status_t BTranslatorRoster::AddTranslator(BTranslator* translator)
{
    if (translator == nullptr)
        return B_BAD_VALUE;
    fData->WaitUntilLoaded();
    std::lock_guard<std::mutex> guard(fData->lock);
    translator->Acquire();
    fData->entries.push_back({fData->nextID++, translator, std::string()});
    return B_OK;
}

status_t BTranslatorRoster::GetTranslators(BPositionIO* source, BMessage* ioExtension,
                                           translator_info** _info, int32* _numInfo,
                                           uint32 hintType, const char* hintMIME, uint32 wantType)
{
    if (source == nullptr || _info == nullptr || _numInfo == nullptr)
        return B_BAD_VALUE;
    *_info = nullptr;
    *_numInfo = 0;

    Snapshot snapshot(fData);
    std::vector<translator_info> found;
    // A translator that knows the format but refuses this source (a picture
    // past the size limit, a damaged one) says why; that beats "no
    // translator" when no other takes it.
    status_t refusal = B_NO_TRANSLATOR;
    std::string refusalReason;
    std::string& reason = BPrivate::translation_reason();
    reason.clear();
    for (const RosterEntry& entry : snapshot.Entries()) {
        if (!can_write(entry.translator, wantType))
            continue;
        if (source->Seek(0, SEEK_SET) != 0)
            return B_BAD_VALUE;
        translator_info info;
        memset(&info, 0, sizeof(info));
        reason.clear();
        status_t identified =
            entry.translator->Identify(source, nullptr, ioExtension, &info, wantType);
        if (identified != B_OK) {
            if (refusal == B_NO_TRANSLATOR) {
                refusal = identified;
                refusalReason = identified != B_NO_TRANSLATOR ? reason : std::string();
            }
            continue;
        }
        info.translator = entry.id;
        found.push_back(info);
    }
    source->Seek(0, SEEK_SET);
    reason.clear();
    if (found.empty()) {
        reason = refusalReason;
        return refusal;
    }

    // Best quality x capability first. The hints only break ties: an answer
    // of the hinted type or MIME type goes before an equal one that is not;
    // after that the roster's order stands.
    auto hinted = [hintType, hintMIME](const translator_info& info) {
        return (hintType != 0 && info.type == hintType) ||
               (hintMIME != nullptr && strcasecmp(info.MIME, hintMIME) == 0);
    };
    std::stable_sort(found.begin(), found.end(),
                     [&hinted](const translator_info& a, const translator_info& b) {
                         float scoreA = a.quality * a.capability;
                         float scoreB = b.quality * b.capability;
                         if (scoreA != scoreB)
                             return scoreA > scoreB;
                         return hinted(a) && !hinted(b);
                     });
    translator_info* list = new translator_info[found.size()];
    std::copy(found.begin(), found.end(), list);
    *_info = list;
    *_numInfo = (int32)found.size();
    return B_OK;
}

status_t BTranslatorRoster::Identify(BPositionIO* source, BMessage* ioExtension,
                                     translator_info* _info, uint32 hintType, const char* hintMIME,
                                     uint32 wantType)
{
    if (source == nullptr || _info == nullptr)
        return B_BAD_VALUE;
    translator_info* list;
    int32 count;
    status_t status =
        GetTranslators(source, ioExtension, &list, &count, hintType, hintMIME, wantType);
    if (status != B_OK)
        return status;
    *_info = list[0];
    delete[] list;
    return B_OK;
}

status_t BTranslatorRoster::GetAllTranslators(translator_id** _list, int32* _count)
{
    if (_list == nullptr || _count == nullptr)
        return B_BAD_VALUE;
    fData->WaitUntilLoaded();
    std::lock_guard<std::mutex> guard(fData->lock);
    *_count = (int32)fData->entries.size();
    *_list = new translator_id[fData->entries.size() + 1];
    for (size_t i = 0; i < fData->entries.size(); i++)
        (*_list)[i] = fData->entries[i].id;
    return B_OK;
}

BTranslator* BTranslatorRoster::TranslatorFor(translator_id id)
{
    fData->WaitUntilLoaded();
    std::lock_guard<std::mutex> guard(fData->lock);
    for (RosterEntry& entry : fData->entries) {
        if (entry.id == id)
            return entry.translator;
    }
    return nullptr;
}

status_t BTranslatorRoster::GetTranslatorInfo(translator_id id, const char** _name,
                                              const char** _info, int32* _version)
{
    BTranslator* translator = TranslatorFor(id);
    if (translator == nullptr)
        return B_NO_TRANSLATOR;
    if (_name != nullptr)
        *_name = translator->TranslatorName();
    if (_info != nullptr)
        *_info = translator->TranslatorInfo();
    if (_version != nullptr)
        *_version = translator->TranslatorVersion();
    return B_OK;
}

status_t BTranslatorRoster::GetInputFormats(translator_id id, const translation_format** _formats,
                                            int32* _numFormats)
{
    if (_formats == nullptr || _numFormats == nullptr)
        return B_BAD_VALUE;
    BTranslator* translator = TranslatorFor(id);
    if (translator == nullptr)
        return B_NO_TRANSLATOR;
    *_formats = translator->InputFormats(_numFormats);
    return B_OK;
}

status_t BTranslatorRoster::GetOutputFormats(translator_id id, const translation_format** _formats,
                                             int32* _numFormats)
{
    if (_formats == nullptr || _numFormats == nullptr)
        return B_BAD_VALUE;
    BTranslator* translator = TranslatorFor(id);
    if (translator == nullptr)
        return B_NO_TRANSLATOR;
    *_formats = translator->OutputFormats(_numFormats);
    return B_OK;
}

status_t BTranslatorRoster::Translate(BPositionIO* source, const translator_info* info,
                                      BMessage* ioExtension, BPositionIO* destination,
                                      uint32 wantOutType, uint32 hintType, const char* hintMIME)
{
    if (source == nullptr || destination == nullptr)
        return B_BAD_VALUE;
    BPrivate::translation_reason().clear();
    translator_info chosen;
    if (info != nullptr) {
        chosen = *info;
    } else {
        status_t status = Identify(source, ioExtension, &chosen, hintType, hintMIME, wantOutType);
        if (status != B_OK)
            return status;
    }

    Snapshot snapshot(fData);
    for (const RosterEntry& entry : snapshot.Entries()) {
        if (entry.id != chosen.translator)
            continue;
        if (source->Seek(0, SEEK_SET) != 0)
            return B_BAD_VALUE;
        return translate_with_reason(entry.translator, source, &chosen, ioExtension, wantOutType,
                                     destination);
    }
    return B_NO_TRANSLATOR;
}

status_t BTranslatorRoster::Translate(translator_id id, BPositionIO* source, BMessage* ioExtension,
                                      BPositionIO* destination, uint32 wantOutType)
{
    if (source == nullptr || destination == nullptr)
        return B_BAD_VALUE;
    BPrivate::translation_reason().clear();
    Snapshot snapshot(fData);
    for (const RosterEntry& entry : snapshot.Entries()) {
        if (entry.id != id)
            continue;
        if (!can_write(entry.translator, wantOutType))
            return B_NO_TRANSLATOR;
        if (source->Seek(0, SEEK_SET) != 0)
            return B_BAD_VALUE;
        translator_info info;
        memset(&info, 0, sizeof(info));
        status_t status =
            entry.translator->Identify(source, nullptr, ioExtension, &info, wantOutType);
        if (status != B_OK) {
            if (status == B_NO_TRANSLATOR)
                BPrivate::translation_reason().clear();
            return status;
        }
        info.translator = id;
        if (source->Seek(0, SEEK_SET) != 0)
            return B_BAD_VALUE;
        return translate_with_reason(entry.translator, source, &info, ioExtension, wantOutType,
                                     destination);
    }
    return B_NO_TRANSLATOR;
}

status_t BTranslatorRoster::MakeConfigurationView(translator_id id, BMessage* ioExtension,
                                                  BView** _view, BRect* _extent)
{
    if (_view == nullptr || _extent == nullptr)
        return B_BAD_VALUE;
    Snapshot snapshot(fData);
    for (const RosterEntry& entry : snapshot.Entries()) {
        if (entry.id == id)
            return entry.translator->MakeConfigurationView(ioExtension, _view, _extent);
    }
    return B_NO_TRANSLATOR;
}

status_t BTranslatorRoster::GetConfigurationMessage(translator_id id, BMessage* ioExtension)
{
    if (ioExtension == nullptr)
        return B_BAD_VALUE;
    Snapshot snapshot(fData);
    for (const RosterEntry& entry : snapshot.Entries()) {
        if (entry.id == id)
            return entry.translator->GetConfigurationMessage(ioExtension);
    }
    return B_NO_TRANSLATOR;
}

status_t BTranslatorRoster::GetRefFor(translator_id id, entry_ref* ref)
{
    if (ref == nullptr)
        return B_BAD_VALUE;
    std::string path;
    fData->WaitUntilLoaded();
    {
        std::lock_guard<std::mutex> guard(fData->lock);
        auto it = std::find_if(fData->entries.begin(), fData->entries.end(),
                               [id](const RosterEntry& entry) { return entry.id == id; });
        if (it == fData->entries.end())
            return B_NO_TRANSLATOR;
        path = it->path;
    }
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return B_ENTRY_NOT_FOUND;
    std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    status_t status = ref->set_directory(folder.c_str());
    if (status == B_OK)
        status = ref->set_name(path.c_str() + slash + 1);
    return status;
}
