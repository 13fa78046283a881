#include <windows.h>

#include <atomic>

#include "platform/atomic_file.h"
#include "platform/utf8_path.h"

namespace Kolm::Platform {
namespace {

// A name no other writer of the same target uses: this process's id and a counter.
std::wstring TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return Utf8Path(path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(counter++))
        .wstring();
}

bool Fail(std::string* error, const std::string& what) {
    if (error != nullptr) {
        *error = what + " (system error " + std::to_string(GetLastError()) + ")";
    }
    return false;
}

bool WriteAll(HANDLE file, std::string_view chunk) {
    while (!chunk.empty()) {
        const DWORD size =
            chunk.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(chunk.size());
        DWORD written = 0;
        if (WriteFile(file, chunk.data(), size, &written, nullptr) == 0 || written == 0) {
            return false;
        }
        chunk.remove_prefix(written);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path,
                         const std::function<bool(const AtomicFileAppend& append)>& produce,
                         std::string* error) {
    const std::wstring temporary = TemporaryName(path);
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Fail(error, "cannot create a temporary file beside " + path);
    }
    bool written = true;
    const bool produced = produce([&](std::string_view chunk) {
        written = written && WriteAll(file, chunk);
        return written;
    });
    if (!written || FlushFileBuffers(file) == 0) {
        Fail(error, "cannot write a temporary file beside " + path);
        written = false;
    } else if (!produced && error != nullptr) {
        *error = "the text for " + path + " could not be made whole";
    }
    CloseHandle(file);
    if (!written || !produced) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    if (MoveFileExW(temporary.c_str(), Utf8Path(path).wstring().c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        Fail(error, "cannot replace " + path);
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace Kolm::Platform
