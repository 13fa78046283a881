// The three readers and the JSON writer against established libraries, on the same inputs in
// one run: a membership-like JSON document of a few MB with many repeated keys, a document of
// numbers and a document of strings, all built here. MessagePack and YAML forms of each are
// made from the same value, so every reader builds the same tree.
//
// Goals (ratios of medians): ParseJson within 1.3x of rapidjson::Document::Parse and 1.5x of
// rapidjson::Reader with a no-op handler, at least 3x faster than nlohmann::json::parse;
// WriteJson within 1.2x of rapidjson::Writer over a Document, at least 2x faster than
// nlohmann dump; ParseMessagePack within 1.3x of msgpack::unpack and faster than ParseJson;
// ParseYaml within 1.3x of a bare libyaml event loop and at least 5x faster than YAML::Load.
#include <benchmark/benchmark.h>

#define MSGPACK_NO_BOOST
#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <yaml-cpp/yaml.h>
#include <msgpack.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "formats/json.h"
#include "formats/message_pack.h"
#include "formats/yaml.h"
#include "formats/yaml_library.h"

namespace {

using nlohmann::json;

// --- Inputs ---

json MembershipDocument() {
    std::mt19937_64 random(7);
    const char* roles[] = {"OWNER", "OFFICER", "MEMBER", "NOMINEE"};
    json clubs = json::array();
    for (int club = 0; club < 120; ++club) {
        json members = json::array();
        for (int member = 0; member < 100; ++member) {
            members.push_back({
                {"summonerId", random() % 100000000000ull},
                {"puuid", "c1a5" + std::to_string(random() % 1000000000ull) + "-e2b4-4f7a"},
                {"name", "Player " + std::to_string(club * 100 + member)},
                {"role", roles[random() % 4]},
                {"joinedAt", 1700000000000ll + static_cast<long long>(random() % 100000000ull)},
                {"profileIconId", static_cast<int>(random() % 5000)},
                {"isOnline", random() % 2 == 0},
                {"lastSeenDelta", -static_cast<long long>(random() % 100000)},
                {"score", static_cast<double>(random() % 100000) / 7.0},
                {"note", nullptr},
            });
        }
        clubs.push_back({
            {"clubKey", "club-" + std::to_string(club)},
            {"name", "Club number " + std::to_string(club)},
            {"tag", "T" + std::to_string(club % 100)},
            {"motd", "Welcome!\nPractice on \"Tuesdays\" \u00e9 \xE2\x9C\x93"},
            {"isPublic", club % 3 == 0},
            {"memberCount", 100},
            {"members", std::move(members)},
            {"invitations", json::array()},
        });
    }
    return {{"membership",
             {{"clubs", std::move(clubs)},
              {"preferences", {{"primaryClubKey", "club-0"}, {"shareClubAffiliation", true}}}}}};
}

json NumbersDocument() {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    json numbers = json::array();
    for (int i = 0; i < 150000; ++i) {
        switch (i % 4) {
            case 0:
                numbers.push_back(random() % 1000);
                break;
            case 1:
                numbers.push_back(-static_cast<long long>(random() >> 2));
                break;
            case 2:
                numbers.push_back(real(random));
                break;
            default:
                numbers.push_back(static_cast<std::uint64_t>(random()));
                break;
        }
    }
    return numbers;
}

json StringsDocument() {
    std::mt19937_64 random(13);
    const char* words[] = {"club",
                           "member",
                           "tab\there",
                           "quote\"d",
                           "back\\slash",
                           "\u00fcber",
                           "\xE6\x97\xA5\xE6\x9C\xAC",
                           "line\nbreak",
                           "plain",
                           "x"};
    json strings = json::array();
    for (int i = 0; i < 40000; ++i) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 8);
        for (int w = 0; w < count; ++w) {
            text += words[random() % 10];
            text += ' ';
        }
        strings.push_back(std::move(text));
    }
    return strings;
}

// Block-style YAML of a JSON value: mappings as "key: value" lines, sequences as "- " items,
// strings double-quoted (JSON escapes are YAML escapes).
void EmitYaml(const json& value, int indent, std::string& out) {
    auto scalar = [](const json& v) { return v.is_null() ? std::string("null") : v.dump(); };
    auto nested = [](const json& v) { return v.is_structured() && !v.empty(); };
    const std::string pad(static_cast<std::size_t>(indent), ' ');
    if (value.is_object()) {
        for (const auto& [key, child] : value.items()) {
            out += pad + key + ":";
            if (nested(child)) {
                out += "\n";
                EmitYaml(child, indent + 2, out);
            } else {
                out += " " + scalar(child) + "\n";
            }
        }
    } else {
        for (const json& child : value) {
            out += pad + "-";
            if (nested(child)) {
                out += "\n";
                EmitYaml(child, indent + 2, out);
            } else {
                out += " " + scalar(child) + "\n";
            }
        }
    }
}

struct Document {
    std::string name;
    std::string jsonText;
    std::vector<std::uint8_t> messagePack;
    std::string yamlText;
    Kolm::BindingProperty value;
    rapidjson::Document rapid;
    json nlohmann;
};

std::vector<Document>& Documents() {
    static std::vector<Document> documents = [] {
        std::vector<Document> made(3);
        const json sources[] = {MembershipDocument(), NumbersDocument(), StringsDocument()};
        const char* names[] = {"membership", "numbers", "strings"};
        for (int i = 0; i < 3; ++i) {
            Document& d = made[i];
            d.name = names[i];
            d.jsonText = sources[i].dump();
            d.messagePack = json::to_msgpack(sources[i]);
            EmitYaml(sources[i], 0, d.yamlText);
            d.value = Kolm::ParseJson(d.jsonText.c_str()).value;
            d.rapid.Parse(d.jsonText.c_str());
            d.nlohmann = sources[i];
            Kolm::BindingResult fromYaml = Kolm::ParseYaml(d.yamlText);
            if (!fromYaml.Succeeded()) {
                std::fprintf(stderr, "%s YAML: %s\n", names[i],
                             std::string(fromYaml.ErrorText()).c_str());
                std::abort();
            }
        }
        return made;
    }();
    return documents;
}

// --- JSON reading ---

void ParseJson(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        Kolm::BindingResult result = Kolm::ParseJson(d->jsonText.c_str());
        benchmark::DoNotOptimize(result.value.Size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->jsonText.size()));
}

void RapidJsonDocumentParse(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(d->jsonText.c_str());
        benchmark::DoNotOptimize(document.IsObject());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->jsonText.size()));
}

void RapidJsonReaderNoOp(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        rapidjson::BaseReaderHandler<> handler;
        rapidjson::Reader reader;
        rapidjson::StringStream stream(d->jsonText.c_str());
        benchmark::DoNotOptimize(reader.Parse(stream, handler).IsError());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->jsonText.size()));
}

void NlohmannParse(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        json parsed = json::parse(d->jsonText);
        benchmark::DoNotOptimize(parsed.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->jsonText.size()));
}

// The cost of building the tree alone, for reference: a deep copy interns every text and key
// again and allocates every container, as each reader does.
void CopyValue(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        Kolm::BindingProperty copy(d->value);
        benchmark::DoNotOptimize(copy.Size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->jsonText.size()));
}

// What every reader must spend at least on texts: the FNV-1a hash by which each String value is
// interned, over every String value of the document (keys repeat, and the readers hash them only
// when they differ from the structure before). The hashes are independent, so this is the best
// case, with the processor overlapping one text's hash with the next.
void CollectTexts(const Kolm::BindingProperty& value, std::vector<std::string_view>& texts) {
    if (value.IsString()) {
        texts.push_back(value.GetString());
    }
    for (const Kolm::BindingProperty& element : value.Elements()) {
        CollectTexts(element, texts);
    }
    for (const Kolm::BindingEntry& entry : value.Entries()) {
        CollectTexts(entry.Value(), texts);
    }
}

void HashTexts(benchmark::State& state, const Document* d) {
    std::vector<std::string_view> texts;
    CollectTexts(d->value, texts);
    for (auto _ : state) {
        std::uint32_t combined = 0;
        for (std::string_view text : texts) {
            combined += Kolm::Fnv1a(text);
        }
        benchmark::DoNotOptimize(combined);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->jsonText.size()));
}

// --- JSON writing ---

void WriteJson(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        std::string text = Kolm::WriteJson(d->value);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->jsonText.size()));
}

void RapidJsonWriter(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        d->rapid.Accept(writer);
        std::string text(buffer.GetString(), buffer.GetSize());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->jsonText.size()));
}

void NlohmannDump(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        std::string text = d->nlohmann.dump();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->jsonText.size()));
}

// --- MessagePack ---

void ParseMessagePack(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        Kolm::BindingResult result =
            Kolm::ParseMessagePack(d->messagePack.data(), d->messagePack.size());
        benchmark::DoNotOptimize(result.value.Size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->messagePack.size()));
}

void MsgpackUnpack(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        msgpack::object_handle handle = msgpack::unpack(
            reinterpret_cast<const char*>(d->messagePack.data()), d->messagePack.size());
        benchmark::DoNotOptimize(handle.get().type);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->messagePack.size()));
}

// --- YAML ---

void ParseYaml(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        Kolm::BindingResult result = Kolm::ParseYaml(d->yamlText);
        benchmark::DoNotOptimize(result.value.Size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->yamlText.size()));
}

void LibyamlEventLoop(benchmark::State& state, const Document* d) {
    const Kolm::YamlLibrary& yaml = Kolm::YamlLibrary::Instance();
    for (auto _ : state) {
        yaml_parser_t parser;
        yaml.parserInitialize(&parser);
        yaml.parserSetEncoding(&parser, YAML_UTF8_ENCODING);
        yaml.parserSetInputString(&parser,
                                  reinterpret_cast<const unsigned char*>(d->yamlText.data()),
                                  d->yamlText.size());
        yaml_event_t event;
        std::size_t events = 0;
        while (yaml.parserParse(&parser, &event) != 0) {
            const bool end = event.type == YAML_STREAM_END_EVENT;
            yaml.eventDelete(&event);
            ++events;
            if (end) {
                break;
            }
        }
        yaml.parserDelete(&parser);
        benchmark::DoNotOptimize(events);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->yamlText.size()));
}

void YamlCppLoad(benchmark::State& state, const Document* d) {
    for (auto _ : state) {
        YAML::Node node = YAML::Load(d->yamlText);
        benchmark::DoNotOptimize(node.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->yamlText.size()));
}

void RegisterAll() {
    using Function = void (*)(benchmark::State&, const Document*);
    struct Entry {
        const char* name;
        Function function;
    };
    const Entry entries[] = {
        {"ParseJson", ParseJson},
        {"RapidJsonDocumentParse", RapidJsonDocumentParse},
        {"RapidJsonReaderNoOp", RapidJsonReaderNoOp},
        {"NlohmannParse", NlohmannParse},
        {"CopyValue", CopyValue},
        {"HashTexts", HashTexts},
        {"WriteJson", WriteJson},
        {"RapidJsonWriter", RapidJsonWriter},
        {"NlohmannDump", NlohmannDump},
        {"ParseMessagePack", ParseMessagePack},
        {"MsgpackUnpack", MsgpackUnpack},
        {"ParseYaml", ParseYaml},
        {"LibyamlEventLoop", LibyamlEventLoop},
        {"YamlCppLoad", YamlCppLoad},
    };
    for (const Document& d : Documents()) {
        for (const Entry& entry : entries) {
            benchmark::RegisterBenchmark((std::string(entry.name) + "/" + d.name).c_str(),
                                         entry.function, &d)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
