#include "formats/yaml_library.h"

#include <utility>

#include "platform/mutex.h"
#include "platform/platform.h"

namespace Kolm {

namespace {

template <class Function>
bool Bind(void* handle, const char* symbol, Function& function) {
    function = reinterpret_cast<Function>(Platform::FindDynamicSymbol(handle, symbol));
    return function != nullptr;
}

// The folder a program named with PreferFolder; a function-local static, so that it exists
// before any caller's static initialisation uses it.
struct PreferredFolder {
    Platform::Mutex mutex;
    std::string folder ZC_GUARDED_BY(mutex);
};

PreferredFolder& Preferred() {
    static PreferredFolder preferred;
    return preferred;
}

}  // namespace

const char* YamlLibrary::DefaultFileName() {
#if defined(_WIN32)
    return "yaml.dll";
#else
    return "libyaml-0.so.2";
#endif
}

void YamlLibrary::PreferFolder(std::string folder) {
    PreferredFolder& preferred = Preferred();
    Platform::MutexLock lock(preferred.mutex);
    preferred.folder = std::move(folder);
}

std::vector<std::string> YamlLibrary::SearchFolders() {
    std::vector<std::string> folders;
    {
        PreferredFolder& preferred = Preferred();
        Platform::MutexLock lock(preferred.mutex);
        if (!preferred.folder.empty()) {
            folders.push_back(preferred.folder);
        }
    }
    std::string own = Platform::ThisModuleFolder();
    if (!own.empty() && (folders.empty() || folders.front() != own)) {
        folders.push_back(std::move(own));
    }
    return folders;
}

const YamlLibrary& YamlLibrary::Instance() {
    // A function-local static: the first caller loads, concurrent first callers wait for it.
    static const YamlLibrary instance(DefaultFileName(), SearchFolders());
    return instance;
}

YamlLibrary::YamlLibrary(const char* fileName, const std::string& preferredFolder)
    : YamlLibrary(fileName,
                  preferredFolder.empty() ? std::vector<std::string>()
                                          : std::vector<std::string>{preferredFolder}) {}

YamlLibrary::YamlLibrary(const char* fileName, std::vector<std::string> folders) {
    loaded = Open(fileName, folders);
    if (!loaded) {
        parserInitialize = nullptr;
        parserSetEncoding = nullptr;
        parserSetInputString = nullptr;
        parserParse = nullptr;
        eventDelete = nullptr;
        parserDelete = nullptr;
    }
}

YamlLibrary::~YamlLibrary() {
    if (handle != nullptr) {
        Platform::FreeDynamicLibrary(handle);
    }
}

bool YamlLibrary::Open(const char* fileName, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        const std::string inFolder = folder + fileName;
        handle = Platform::LoadDynamicLibrary(inFolder.c_str());
        if (handle != nullptr) {
            return BindAll(inFolder);
        }
    }
    handle = Platform::LoadDynamicLibrary(fileName);
    if (handle != nullptr) {
        return BindAll(fileName);
    }
    loadError =
        std::string("YAML is not available: the library \"") + fileName + "\" could not be loaded.";
    if (!folders.empty()) {
        loadError += " It was looked for in";
        for (const std::string& folder : folders) {
            loadError += " \"" + folder + "\",";
        }
        loadError.back() = ' ';
        loadError += "and on the system's library search path.";
    }
    return false;
}

bool YamlLibrary::BindAll(const std::string& loadedName) {
    struct Missing {
        const char* symbol;
        bool bound;
    };
    const Missing functions[] = {
        {"yaml_parser_initialize", Bind(handle, "yaml_parser_initialize", parserInitialize)},
        {"yaml_parser_set_encoding", Bind(handle, "yaml_parser_set_encoding", parserSetEncoding)},
        {"yaml_parser_set_input_string",
         Bind(handle, "yaml_parser_set_input_string", parserSetInputString)},
        {"yaml_parser_parse", Bind(handle, "yaml_parser_parse", parserParse)},
        {"yaml_event_delete", Bind(handle, "yaml_event_delete", eventDelete)},
        {"yaml_parser_delete", Bind(handle, "yaml_parser_delete", parserDelete)},
    };
    for (const Missing& function : functions) {
        if (!function.bound) {
            loadError = "YAML is not available: the library \"" + loadedName +
                        "\" has no function \"" + function.symbol + "\".";
            return false;
        }
    }
    return true;
}

}  // namespace Kolm
