#include "formats/yaml_library.h"

#include "platform/platform.h"

namespace Kolm {

namespace {

template <class Function>
bool Bind(void* handle, const char* symbol, Function& function) {
    function = reinterpret_cast<Function>(Platform::FindDynamicSymbol(handle, symbol));
    return function != nullptr;
}

}  // namespace

const char* YamlLibrary::DefaultFileName() {
#if defined(_WIN32)
    return "yaml.dll";
#else
    return "libyaml-0.so.2";
#endif
}

const YamlLibrary& YamlLibrary::Instance() {
    // A function-local static: the first caller loads, concurrent first callers wait for it.
    static const YamlLibrary instance(DefaultFileName(), Platform::ThisModuleFolder());
    return instance;
}

YamlLibrary::YamlLibrary(const char* fileName, const std::string& preferredFolder) {
    loaded = Open(fileName, preferredFolder);
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

bool YamlLibrary::Open(const char* fileName, const std::string& preferredFolder) {
    if (!preferredFolder.empty()) {
        const std::string besidePlugin = preferredFolder + fileName;
        handle = Platform::LoadDynamicLibrary(besidePlugin.c_str());
        if (handle != nullptr) {
            return BindAll(besidePlugin);
        }
    }
    handle = Platform::LoadDynamicLibrary(fileName);
    if (handle != nullptr) {
        return BindAll(fileName);
    }
    loadError =
        std::string("YAML is not available: the library \"") + fileName + "\" could not be loaded.";
    if (!preferredFolder.empty()) {
        loadError += " It was looked for in \"" + preferredFolder +
                     "\" and on the system's library search path.";
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
