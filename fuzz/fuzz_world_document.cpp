// A world document read, written back and read again: whatever the reader accepts, the writer
// turns into JSON that the reader accepts too and that gives the same text when written again
// (so an exported world can always be loaded and exported again unchanged). The first byte
// picks the format: odd is YAML ('Y'), even is JSON ('J'); the rest is the document.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "host/worlds/world_document.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    using Kolm::Host::WorldFormat;
    const WorldFormat format = data[0] & 1 ? WorldFormat::Yaml : WorldFormat::Json;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const Kolm::Host::WorldParse first = Kolm::Host::ParseWorld(text, format);
    if (!first.world) {
        if (first.error.empty()) {
            Fail("a refused world without a message", std::string(text));
        }
        return 0;
    }
    const std::string written = Kolm::Host::WriteWorld(*first.world);
    const Kolm::Host::WorldParse second = Kolm::Host::ParseWorld(written, WorldFormat::Json);
    if (!second.world) {
        Fail("the written world does not read back:", second.error + "\n" + written);
    }
    const std::string rewritten = Kolm::Host::WriteWorld(*second.world);
    if (rewritten != written) {
        Fail("the world read back writes differently:", written + "\n---\n" + rewritten);
    }
    return 0;
}
