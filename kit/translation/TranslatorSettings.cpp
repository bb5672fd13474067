#include <TranslatorSettings.h>

#include <Message.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace BPrivate {

// Settings files are tiny; anything larger is not ours and is ignored.
static const off_t kMaxSettingsFileSize = 1 << 20;

struct TranslatorSettingsData
{
    std::mutex lock;
    std::string fileName;
    BMessage values;
    // What was last read or written, to notice changes made by others.
    std::string loadedPath;
    bool loaded = false;
    struct stat loadedStat = {};
};

} // namespace BPrivate

using BPrivate::TranslatorSettingsData;

namespace {

std::string settings_folder()
{
    const char* config = getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/tavrin/translators";
    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.config/tavrin/translators";
    return std::string();
}

bool same_file_state(const struct stat& a, const struct stat& b)
{
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

status_t make_folders(const std::string& folder)
{
    for (size_t slash = 1; slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return status_from_errno(errno);
    }
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        return status_from_errno(errno);
    return B_OK;
}

// Reads the file into values when it changed since it was last seen. A file
// that is missing keeps what this process already holds; one that cannot be
// parsed counts as empty, so the defaults apply.
void refresh(TranslatorSettingsData* data)
{
    std::string folder = settings_folder();
    std::string path = folder.empty() ? std::string() : folder + "/" + data->fileName;
    if (path != data->loadedPath) {
        data->values.MakeEmpty();
        data->loadedPath = path;
        data->loaded = false;
    }
    if (path.empty())
        return;

    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    if (data->loaded && same_file_state(st, data->loadedStat))
        return;

    data->loaded = true;
    data->loadedStat = st;
    data->values.MakeEmpty();
    if (st.st_size <= 0 || st.st_size > BPrivate::kMaxSettingsFileSize)
        return;

    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    std::vector<char> buffer(st.st_size);
    ssize_t total = 0;
    while (total < (ssize_t)buffer.size()) {
        ssize_t got = read(fd, buffer.data() + total, buffer.size() - total);
        if (got <= 0)
            break;
        total += got;
    }
    close(fd);
    BMessage parsed;
    if (parsed.Unflatten(buffer.data(), total) == B_OK)
        data->values = parsed;
}

status_t save(TranslatorSettingsData* data)
{
    std::string folder = settings_folder();
    if (folder.empty())
        return B_NAME_NOT_FOUND;
    status_t status = make_folders(folder);
    if (status != B_OK)
        return status;

    ssize_t size = data->values.FlattenedSize();
    if (size < 0)
        return (status_t)size;
    std::vector<char> buffer(size);
    status = data->values.Flatten(buffer.data(), size);
    if (status != B_OK)
        return status;

    std::string path = folder + "/" + data->fileName;
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0)
        return status_from_errno(errno);
    fchmod(fd, 0644);
    ssize_t total = 0;
    while (total < size) {
        ssize_t put = write(fd, buffer.data() + total, size - total);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            status = status_from_errno(put < 0 ? errno : EIO);
            break;
        }
        total += put;
    }
    if (status == B_OK && fsync(fd) != 0)
        status = status_from_errno(errno);
    if (close(fd) != 0 && status == B_OK)
        status = status_from_errno(errno);
    if (status == B_OK && rename(temp.c_str(), path.c_str()) != 0)
        status = status_from_errno(errno);
    if (status != B_OK) {
        unlink(temp.c_str());
        return status;
    }

    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        data->loadedPath = path;
        data->loaded = true;
        data->loadedStat = st;
    }
    return B_OK;
}

} // namespace

TranslatorSettings::TranslatorSettings(const char* fileName) : fData(new TranslatorSettingsData)
{
    // A name that climbs out of the settings folder is flattened into one leaf.
    std::string name = fileName != nullptr ? fileName : "";
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        name.assign(1, '_');
    fData->fileName.swap(name);
}

TranslatorSettings::~TranslatorSettings()
{
    delete fData;
}

bool TranslatorSettings::GetBool(const char* name, bool defaultValue, const BMessage* ioExtension)
{
    bool value;
    if (ioExtension != nullptr && ioExtension->FindBool(name, &value) == B_OK)
        return value;
    std::lock_guard<std::mutex> guard(fData->lock);
    refresh(fData);
    if (fData->values.FindBool(name, &value) == B_OK)
        return value;
    return defaultValue;
}

int32 TranslatorSettings::GetInt32(const char* name, int32 defaultValue,
                                   const BMessage* ioExtension)
{
    int32 value;
    if (ioExtension != nullptr && ioExtension->FindInt32(name, &value) == B_OK)
        return value;
    std::lock_guard<std::mutex> guard(fData->lock);
    refresh(fData);
    if (fData->values.FindInt32(name, &value) == B_OK)
        return value;
    return defaultValue;
}

float TranslatorSettings::GetFloat(const char* name, float defaultValue,
                                   const BMessage* ioExtension)
{
    float value;
    if (ioExtension != nullptr && ioExtension->FindFloat(name, &value) == B_OK)
        return value;
    std::lock_guard<std::mutex> guard(fData->lock);
    refresh(fData);
    if (fData->values.FindFloat(name, &value) == B_OK)
        return value;
    return defaultValue;
}

status_t TranslatorSettings::SetBool(const char* name, bool value)
{
    std::lock_guard<std::mutex> guard(fData->lock);
    refresh(fData);
    fData->values.RemoveName(name);
    status_t status = fData->values.AddBool(name, value);
    return status == B_OK ? save(fData) : status;
}

status_t TranslatorSettings::SetInt32(const char* name, int32 value)
{
    std::lock_guard<std::mutex> guard(fData->lock);
    refresh(fData);
    fData->values.RemoveName(name);
    status_t status = fData->values.AddInt32(name, value);
    return status == B_OK ? save(fData) : status;
}

status_t TranslatorSettings::SetFloat(const char* name, float value)
{
    std::lock_guard<std::mutex> guard(fData->lock);
    refresh(fData);
    fData->values.RemoveName(name);
    status_t status = fData->values.AddFloat(name, value);
    return status == B_OK ? save(fData) : status;
}

status_t TranslatorSettings::GetConfigurationMessage(BMessage* message)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::lock_guard<std::mutex> guard(fData->lock);
    refresh(fData);
    char* name;
    type_code type;
    int32 count;
    for (int32 i = 0; fData->values.GetInfo(B_ANY_TYPE, i, &name, &type, &count) == B_OK; i++) {
        const void* item;
        ssize_t size;
        if (fData->values.FindData(name, type, &item, &size) != B_OK)
            continue;
        message->RemoveName(name);
        status_t status = message->AddData(name, type, item, size);
        if (status != B_OK)
            return status;
    }
    return B_OK;
}

status_t TranslatorSettings::GetPath(char* buffer, size_t size)
{
    std::string folder = settings_folder();
    if (folder.empty())
        return B_NAME_NOT_FOUND;
    std::string path = folder + "/" + fData->fileName;
    if (buffer == nullptr || path.size() + 1 > size)
        return B_BUFFER_OVERFLOW;
    memcpy(buffer, path.c_str(), path.size() + 1);
    return B_OK;
}
