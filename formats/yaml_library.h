// libyaml's parser functions, bound at run time from libyaml's own shared library.
//
// The plugin does not link libyaml: the library is opened on the first YAML parse and its six
// parser functions are looked up by name. The library shipped beside the plugin is preferred: a
// host loads the plugin from its own plugins folder and does not put that folder on the system's
// library search path. A missing library or function leaves the binding unloaded with a message
// naming what is missing, and YAML parsing then fails with that message; the other formats do
// not depend on it.
#pragma once

#include <yaml.h>

#include <cstddef>
#include <string>
#include <vector>

namespace Kolm {

class YamlLibrary {
  public:
    // File name of libyaml's shared library on this platform.
    static const char* DefaultFileName();

    // The process-wide binding of DefaultFileName(), looked for in SearchFolders() first,
    // made on the first call (thread-safe) and kept until the plugin is unloaded.
    static const YamlLibrary& Instance();

    // Makes Instance() look in `folder` (ending in a separator; empty: nowhere) before this
    // module's own folder. For a program that links this code statically and loads the plugin
    // from a folder of its own: its YAML then uses the library shipped beside the plugin, as
    // the plugin does. Takes effect only before the first Instance().
    static void PreferFolder(std::string folder);
    // Where Instance() looks before the system's library search, in order: the folder given
    // to PreferFolder, then the folder of the module that holds this code.
    static std::vector<std::string> SearchFolders();

    // Opens `fileName` from the first of `folders` (paths ending in a separator) that has it,
    // else through the system's library search, and binds its functions; check IsLoaded()
    // afterwards.
    explicit YamlLibrary(const char* fileName, std::vector<std::string> folders);
    explicit YamlLibrary(const char* fileName, const std::string& preferredFolder = {});
    ~YamlLibrary();
    YamlLibrary(const YamlLibrary&) = delete;
    YamlLibrary& operator=(const YamlLibrary&) = delete;

    bool IsLoaded() const { return loaded; }
    // Why the library is not usable; empty when IsLoaded().
    const std::string& LoadError() const { return loadError; }

    int (*parserInitialize)(yaml_parser_t* parser) = nullptr;
    void (*parserSetEncoding)(yaml_parser_t* parser, yaml_encoding_t encoding) = nullptr;
    void (*parserSetInputString)(yaml_parser_t* parser,
                                 const unsigned char* input,
                                 std::size_t size) = nullptr;
    int (*parserParse)(yaml_parser_t* parser, yaml_event_t* event) = nullptr;
    void (*eventDelete)(yaml_event_t* event) = nullptr;
    void (*parserDelete)(yaml_parser_t* parser) = nullptr;

  private:
    bool Open(const char* fileName, const std::vector<std::string>& folders);
    bool BindAll(const std::string& loadedName);

    void* handle = nullptr;
    bool loaded = false;
    std::string loadError;
};

}  // namespace Kolm
