// BindingProperty against RapidJSON's DOM on the same work: building a list of 10,000
// structures with the same six keys, deep-copying it, and converting 1,000 native records of a
// dozen fields to a value and back (ToBinding + FromBinding against hand-written code that builds
// and reads a Document). Memory per tree is reported as counters: heap bytes from the framework
// counters plus pool pages in use for BindingProperty, the pool allocator's capacity for
// RapidJSON.
#include <benchmark/benchmark.h>

#include <rapidjson/document.h>

#include <string>
#include <vector>

#include "binding/binding_conversion.h"
#include "binding/binding_property.h"
#include "binding/binding_type_registry.h"
#include "binding/page_source.h"
#include "platform/framework_allocator.h"

namespace {

using Kolm::BindingHashedKey;
using Kolm::BindingProperty;

constexpr int kTreeElements = 10000;
constexpr int kRecordCount = 1000;

std::vector<std::string> MakeNames(int count) {
    std::vector<std::string> names;
    names.reserve(count);
    for (int i = 0; i < count; ++i) {
        names.push_back("member-" + std::to_string(i));
    }
    return names;
}

const std::vector<std::string>& Names() {
    static const std::vector<std::string> names = MakeNames(kTreeElements);
    return names;
}

// ---- building a tree -----------------------------------------------------------------------

void BuildBinding(BindingProperty& root) {
    static constexpr BindingHashedKey kId("id");
    static constexpr BindingHashedKey kName("name");
    static constexpr BindingHashedKey kScore("score");
    static constexpr BindingHashedKey kActive("active");
    static constexpr BindingHashedKey kRank("rank");
    static constexpr BindingHashedKey kTag("tag");
    const auto& names = Names();
    root.MakeCollection().Reserve(kTreeElements);
    for (int i = 0; i < kTreeElements; ++i) {
        BindingProperty& item = root.Append();
        item[kId] = i;
        item[kName] = names[i];
        item[kScore] = i * 0.5;
        item[kActive] = (i & 1) == 0;
        item[kRank] = static_cast<std::uint32_t>(i % 7);
        item[kTag] = "regular";
    }
}

void BuildRapidJson(rapidjson::Document& document) {
    auto& allocator = document.GetAllocator();
    const auto& names = Names();
    document.SetArray();
    document.Reserve(kTreeElements, allocator);
    for (int i = 0; i < kTreeElements; ++i) {
        rapidjson::Value item(rapidjson::kObjectType);
        item.AddMember("id", i, allocator);
        item.AddMember(
            "name",
            rapidjson::Value(names[i].c_str(), static_cast<rapidjson::SizeType>(names[i].size()),
                             allocator),
            allocator);
        item.AddMember("score", i * 0.5, allocator);
        item.AddMember("active", (i & 1) == 0, allocator);
        item.AddMember("rank", static_cast<unsigned>(i % 7), allocator);
        item.AddMember("tag", rapidjson::Value("regular", allocator), allocator);
        document.PushBack(item, allocator);
    }
}

std::uint64_t HeapInUse() {
    const Kolm::PluginMemoryStats& stats = Kolm::MemoryStats();
    return stats.bytesAllocated.load() - stats.bytesFreed.load();
}

void BM_BuildTree_Binding(benchmark::State& state) {
    Names();
    for (auto _ : state) {
        BindingProperty root;
        BuildBinding(root);
        benchmark::DoNotOptimize(root);
    }
    const std::uint64_t heapBefore = HeapInUse();
    const std::uint64_t allocationsBefore = Kolm::MemoryStats().allocations.load();
    const std::size_t pagesBefore = Kolm::BindingPageSource::CurrentStats().pagesInUse;
    BindingProperty root;
    BuildBinding(root);
    const double pages =
        static_cast<double>(Kolm::BindingPageSource::CurrentStats().pagesInUse - pagesBefore);
    state.counters["bytes_per_tree"] =
        static_cast<double>(HeapInUse() - heapBefore) + pages * Kolm::BindingPageSource::kPageSize;
    state.counters["heap_allocations"] =
        static_cast<double>(Kolm::MemoryStats().allocations.load() - allocationsBefore);
    state.counters["pages"] = pages;
}
BENCHMARK(BM_BuildTree_Binding)->Unit(benchmark::kMillisecond);

void BM_BuildTree_RapidJson(benchmark::State& state) {
    Names();
    for (auto _ : state) {
        rapidjson::Document document;
        BuildRapidJson(document);
        benchmark::DoNotOptimize(document);
    }
    rapidjson::Document document;
    BuildRapidJson(document);
    state.counters["bytes_per_tree"] = static_cast<double>(document.GetAllocator().Capacity());
}
BENCHMARK(BM_BuildTree_RapidJson)->Unit(benchmark::kMillisecond);

// ---- deep copy -----------------------------------------------------------------------------

void BM_DeepCopy_Binding(benchmark::State& state) {
    BindingProperty source;
    BuildBinding(source);
    for (auto _ : state) {
        BindingProperty copy(source);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_DeepCopy_Binding)->Unit(benchmark::kMillisecond);

void BM_DeepCopy_RapidJson(benchmark::State& state) {
    rapidjson::Document source;
    BuildRapidJson(source);
    for (auto _ : state) {
        rapidjson::Document copy;
        copy.CopyFrom(source, copy.GetAllocator());
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_DeepCopy_RapidJson)->Unit(benchmark::kMillisecond);

// ---- native records ------------------------------------------------------------------------

enum class Role : std::int32_t { Member = 0, Officer = 1, Owner = 2 };

struct Member {
    std::int32_t id = 0;
    std::string name;
    std::string note;
    std::uint64_t summonerId = 0;
    double score = 0;
    float ratio = 0;
    bool active = false;
    bool online = false;
    std::int64_t joined = 0;
    std::uint32_t level = 0;
    std::int16_t slot = 0;
    Role role = Role::Member;
};

const Kolm::BindingTypeRegistry& Registry() {
    static Kolm::BindingTypeRegistry* registry = [] {
        auto* made = new Kolm::BindingTypeRegistry();
        made->RegisterEnum<Role>("Role")
            .AddValue("MEMBER", Role::Member)
            .AddValue("OFFICER", Role::Officer)
            .AddValue("OWNER", Role::Owner);
        made->RegisterStruct<Member>("Member")
            .AddField("id", &Member::id)
            .AddField("name", &Member::name)
            .AddField("note", &Member::note)
            .AddField("summonerId", &Member::summonerId)
            .AddField("score", &Member::score)
            .AddField("ratio", &Member::ratio)
            .AddField("active", &Member::active)
            .AddField("online", &Member::online)
            .AddField("joined", &Member::joined)
            .AddField("level", &Member::level)
            .AddField("slot", &Member::slot)
            .AddField("role", &Member::role);
        return made;
    }();
    return *registry;
}

std::vector<Member> MakeMembers() {
    std::vector<Member> members(kRecordCount);
    for (int i = 0; i < kRecordCount; ++i) {
        Member& member = members[i];
        member.id = i;
        member.name = "member-" + std::to_string(i);
        member.note = "a short note";
        member.summonerId = 1000000000ull + i;
        member.score = i * 1.25;
        member.ratio = 0.5f;
        member.active = true;
        member.online = (i % 3) == 0;
        member.joined = 1600000000000ll + i;
        member.level = static_cast<std::uint32_t>(i % 500);
        member.slot = static_cast<std::int16_t>(i % 10);
        member.role = static_cast<Role>(i % 3);
    }
    return members;
}

void BM_RecordsRoundTrip_Binding(benchmark::State& state) {
    const std::vector<Member> members = MakeMembers();
    const Kolm::BindingTypeRegistry& registry = Registry();
    std::vector<Member> back;
    for (auto _ : state) {
        Kolm::BindingResult value = Kolm::ToBinding(members, &registry);
        Kolm::BindingResult assigned = Kolm::FromBinding(value.value, back, "<value>", &registry);
        if (!assigned.success) {
            state.SkipWithError("conversion failed");
        }
        benchmark::DoNotOptimize(back);
    }
}
BENCHMARK(BM_RecordsRoundTrip_Binding)->Unit(benchmark::kMicrosecond);

const char* RoleName(Role role) {
    switch (role) {
        case Role::Officer:
            return "OFFICER";
        case Role::Owner:
            return "OWNER";
        default:
            return "MEMBER";
    }
}

bool ReadRole(const rapidjson::Value& value, Role& role) {
    if (!value.IsString()) {
        return false;
    }
    const std::string_view text(value.GetString(), value.GetStringLength());
    if (text == "MEMBER") {
        role = Role::Member;
    } else if (text == "OFFICER") {
        role = Role::Officer;
    } else if (text == "OWNER") {
        role = Role::Owner;
    } else {
        return false;
    }
    return true;
}

// What a careful hand-written reader does: find each member and check its type.
template <class Check, class Read>
bool ReadMember(const rapidjson::Value& object, const char* name, Check check, Read read) {
    const auto found = object.FindMember(name);
    if (found == object.MemberEnd()) {
        return true;
    }
    if (!check(found->value)) {
        return false;
    }
    read(found->value);
    return true;
}

bool ReadMemberRecord(const rapidjson::Value& object, Member& member) {
    if (!object.IsObject()) {
        return false;
    }
    using V = rapidjson::Value;
    bool ok = true;
    ok &= ReadMember(
        object, "id", [](const V& v) { return v.IsInt(); },
        [&](const V& v) { member.id = v.GetInt(); });
    ok &= ReadMember(
        object, "name", [](const V& v) { return v.IsString(); },
        [&](const V& v) { member.name.assign(v.GetString(), v.GetStringLength()); });
    ok &= ReadMember(
        object, "note", [](const V& v) { return v.IsString(); },
        [&](const V& v) { member.note.assign(v.GetString(), v.GetStringLength()); });
    ok &= ReadMember(
        object, "summonerId", [](const V& v) { return v.IsUint64(); },
        [&](const V& v) { member.summonerId = v.GetUint64(); });
    ok &= ReadMember(
        object, "score", [](const V& v) { return v.IsNumber(); },
        [&](const V& v) { member.score = v.GetDouble(); });
    ok &= ReadMember(
        object, "ratio", [](const V& v) { return v.IsNumber(); },
        [&](const V& v) { member.ratio = static_cast<float>(v.GetDouble()); });
    ok &= ReadMember(
        object, "active", [](const V& v) { return v.IsBool(); },
        [&](const V& v) { member.active = v.GetBool(); });
    ok &= ReadMember(
        object, "online", [](const V& v) { return v.IsBool(); },
        [&](const V& v) { member.online = v.GetBool(); });
    ok &= ReadMember(
        object, "joined", [](const V& v) { return v.IsInt64(); },
        [&](const V& v) { member.joined = v.GetInt64(); });
    ok &= ReadMember(
        object, "level", [](const V& v) { return v.IsUint(); },
        [&](const V& v) { member.level = v.GetUint(); });
    ok &= ReadMember(
        object, "slot",
        [](const V& v) { return v.IsInt() && v.GetInt() >= -32768 && v.GetInt() <= 32767; },
        [&](const V& v) { member.slot = static_cast<std::int16_t>(v.GetInt()); });
    Role role = member.role;
    ok &= ReadMember(
        object, "role", [&](const V& v) { return ReadRole(v, role); },
        [&](const V&) { member.role = role; });
    return ok;
}

void BM_RecordsRoundTrip_RapidJson(benchmark::State& state) {
    const std::vector<Member> members = MakeMembers();
    std::vector<Member> back;
    for (auto _ : state) {
        rapidjson::Document document;
        auto& allocator = document.GetAllocator();
        document.SetArray();
        document.Reserve(static_cast<rapidjson::SizeType>(members.size()), allocator);
        for (const Member& member : members) {
            rapidjson::Value object(rapidjson::kObjectType);
            object.AddMember("id", member.id, allocator);
            object.AddMember("name", rapidjson::Value(member.name.c_str(), allocator), allocator);
            object.AddMember("note", rapidjson::Value(member.note.c_str(), allocator), allocator);
            object.AddMember("summonerId", member.summonerId, allocator);
            object.AddMember("score", member.score, allocator);
            object.AddMember("ratio", static_cast<double>(member.ratio), allocator);
            object.AddMember("active", member.active, allocator);
            object.AddMember("online", member.online, allocator);
            object.AddMember("joined", member.joined, allocator);
            object.AddMember("level", member.level, allocator);
            object.AddMember("slot", member.slot, allocator);
            object.AddMember("role", rapidjson::StringRef(RoleName(member.role)), allocator);
            document.PushBack(object, allocator);
        }
        back.clear();
        back.resize(document.Size());
        bool ok = true;
        for (rapidjson::SizeType i = 0; i < document.Size(); ++i) {
            ok &= ReadMemberRecord(document[i], back[i]);
        }
        if (!ok) {
            state.SkipWithError("reading failed");
        }
        benchmark::DoNotOptimize(back);
    }
}
BENCHMARK(BM_RecordsRoundTrip_RapidJson)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
