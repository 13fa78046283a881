#include "host/serving/journal_records.h"

#include <cstdio>
#include <utility>

#include "host/documents/record_schema.h"
#include "host/serving/record_text.h"

namespace Kolm::Host {
namespace {

// The length of a well-formed UTF-8 sequence at text[i], or 0.
std::size_t SequenceAt(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = byte < 0x80                   ? 1
                               : byte >= 0xF0 && byte < 0xF5 ? 4
                               : byte >= 0xE0                ? 3
                               : byte >= 0xC2 && byte < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// `text` with every byte that is not part of a UTF-8 sequence replaced by U+FFFD; most texts
// are UTF-8 already and are kept as they are.
std::string Utf8Text(std::string text) {
    std::size_t i = 0;
    while (i < text.size() && SequenceAt(text, i) != 0) {
        i += SequenceAt(text, i);
    }
    if (i == text.size()) {
        return text;
    }
    std::string fixed = text.substr(0, i);
    while (i < text.size()) {
        const std::size_t length = SequenceAt(text, i);
        if (length == 0) {
            fixed += "\xEF\xBF\xBD";
            ++i;
        } else {
            fixed.append(text, i, length);
            i += length;
        }
    }
    return fixed;
}

}  // namespace

JournalEntryText ToText(const JournalEntry& entry, bool withBodies) {
    JournalEntryText text;
    text.id = entry.id;
    text.service = entry.service;
    text.method = entry.method;
    text.path = Utf8Text(entry.path);
    text.query = Utf8Text(entry.query);
    text.status = entry.status;
    text.requestBodyBytes = entry.requestBodyBytes;
    text.answerBodyBytes = entry.answerBodyBytes;
    if (withBodies) {
        if (entry.requestBody.size() < entry.requestBodyBytes ||
            entry.answerBody.size() < entry.answerBodyBytes) {
            text.bodiesCut = true;
        }
        text.requestBody = Utf8Text(entry.requestBody);
        text.answerBody = Utf8Text(entry.answerBody);
    }
    if (!entry.error.empty()) {
        text.error = Utf8Text(entry.error);
    }
    text.durationMs.ms = entry.durationMs;
    if (!entry.faultRuleId.empty()) {
        text.faultRule.value = entry.faultRuleId;
    }
    text.cause = {entry.cause.kind, entry.cause.id, Utf8Text(entry.cause.label)};
    return text;
}

JournalReadText ToText(JournalRead read, std::string error) {
    JournalReadText text;
    if (!error.empty()) {
        text.error = std::move(error);
    }
    text.dropped = read.dropped;
    text.lastId = read.lastId;
    text.entries.reserve(read.entries.size());
    for (JournalEntry& entry : read.entries) {
        text.entries.push_back(ToText(entry, true));
        entry = {};  // so that a long read is held about once, not twice
    }
    return text;
}

std::string JournalEntryJson(const JournalEntry& entry, bool withBodies) {
    return RecordText(ToText(entry, withBodies));
}

std::string JournalReadJson(JournalRead read, std::string error) {
    return RecordText(ToText(std::move(read), std::move(error)));
}

std::string ValueMap<JournalDuration>::Text(const JournalDuration& duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", duration.ms);
    return text;
}

void ValueMap<JournalDuration>::Describe(SchemaWriter& schema) {
    SchemaWriter::JsonWriter& w = schema.Json();
    w.StartObject();
    w.Key("type");
    w.String("number");
    w.Key("description");
    w.String("how long the call took, in milliseconds to the microsecond");
    w.EndObject();
}

}  // namespace Kolm::Host
