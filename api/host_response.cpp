#include "api/host_response.h"

#include <cstring>
#include <new>

#include "api/content_type.h"
#include "api/host_value_bridge.h"
#include "platform/framework_allocator.h"

namespace Kolm {

namespace {

const char kSharedEmptyText[] = "";

// Texts handed to the host live on the framework heap; the empty text is shared.
const char* CopyText(std::string_view text) {
    if (text.empty()) {
        return kSharedEmptyText;
    }
    char* copy = static_cast<char*>(FrameworkAlloc(text.size() + 1));
    if (copy == nullptr) {
        return kSharedEmptyText;
    }
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

void FreeText(const char* text) {
    if (text != nullptr && text != kSharedEmptyText) {
        FrameworkFree(const_cast<char*>(text));
    }
}

// The record's stream context: keeps the response's stream alive until the host releases it.
struct StreamHolder {
    std::shared_ptr<ApiResponseStream> stream;
};

uint8_t ZC_HOST_CALL ReadStream(void* context, uint8_t* buffer, uint32_t* count, uint8_t* more) {
    auto* holder = static_cast<StreamHolder*>(context);
    if (holder == nullptr || !holder->stream || buffer == nullptr || count == nullptr ||
        more == nullptr) {
        return 0;
    }
    bool moreData = *more != 0;
    bool ok = false;
    try {
        ok = holder->stream->Read(buffer, *count, moreData);
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        *count = 0;
    }
    *more = moreData ? 1 : 0;
    return ok ? 1 : 0;
}

void ZC_HOST_CALL ReleaseStream(void* context) {
    delete static_cast<StreamHolder*>(context);
}

void WriteHeaders(HostResponse& record, const ApiHeaders& headers) {
    if (headers.empty()) {
        return;
    }
    auto* array = static_cast<HostHeader*>(FrameworkAlloc(sizeof(HostHeader) * headers.size()));
    if (array == nullptr) {
        return;
    }
    uint32_t count = 0;
    for (const auto& [name, value] : headers) {
        array[count].name = CopyText(name);
        array[count].value = CopyText(value);
        ++count;
    }
    record.headers = array;
    record.headerCount = count;
}

void WriteStream(HostResponse& record, const std::shared_ptr<ApiResponseStream>& stream) {
    if (!stream) {
        return;
    }
    auto* holder = new (std::nothrow) StreamHolder{stream};
    if (holder == nullptr) {
        return;
    }
    record.streamRead = &ReadStream;
    record.streamRelease = &ReleaseStream;
    record.streamSize = stream->Size();
    record.streamContext = holder;
}

}  // namespace

const char* SharedEmptyText() {
    return kSharedEmptyText;
}

void ClearHostResponse(HostResponse& record) {
    std::memset(&record, 0, sizeof(record));
    record.release = &ReleaseHostResponse;
}

void ZC_HOST_CALL ReleaseHostResponse(HostResponse* record) {
    if (record == nullptr) {
        return;
    }
    ReleaseHostValue(record->value);
    FreeText(record->errorText);
    FreeText(record->statusText);
    for (uint32_t i = 0; record->headers != nullptr && i < record->headerCount; ++i) {
        FreeText(record->headers[i].name);
        FreeText(record->headers[i].value);
    }
    FrameworkFree(record->headers);
    if (record->streamRelease != nullptr && record->streamContext != nullptr) {
        record->streamRelease(record->streamContext);
    }
    std::memset(record, 0, sizeof(*record));
}

void WriteFailureResponse(HostResponse& record, std::string_view text, uint32_t status) {
    ReleaseHostValue(record.value);
    FreeText(record.errorText);
    record.errorText = CopyText(text);
    record.hasError = 1;
    record.status = status;
    if (record.statusText == nullptr) {
        record.statusText = kSharedEmptyText;
    }
}

void WriteApiResponse(HostResponse& record,
                      const ApiResponseBase& response,
                      const BindingResult& value,
                      const BindingTypeRegistry* registry) {
    record.formatFlag = response.formatFlag;
    record.formatCode = ResponseFormatCode(response.formatCode);
    record.statusText = CopyText(response.statusText);
    WriteHeaders(record, response.headers);
    WriteStream(record, response.stream);
    if (!response.success) {
        WriteFailureResponse(record, response.errorText, response.status);
        return;
    }
    // An answer the host cannot read is a failure, not an empty success.
    if (!value.success) {
        WriteFailureResponse(record, value.ErrorText(), 400);
        return;
    }
    std::string error;
    if (!ValueToHostValue(value.value, record.value, registry, error)) {
        WriteFailureResponse(record, error, 400);
        return;
    }
    record.status = response.status;
}

}  // namespace Kolm
