#include "binding/binding_type_registry.h"

#include <algorithm>
#include <new>

#include "binding/binding_async_types.h"
#include "binding/binding_help_types.h"

namespace Kolm {
namespace {

BindingString Text(std::string_view text) {
    return BindingString(text.data(), text.size());
}

template <class T>
T* NewRecord() {
    void* memory = FrameworkAlloc(sizeof(T));
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return new (memory) T();
}

void AppendTag(BindingTagList& tags, std::string_view tag) {
    if (!tag.empty()) {
        tags.push_back(Text(tag));
    }
}

// Orders the fields by the byte-wise order of their names (as structure entries are kept).
void IndexFieldKeys(BindingTypeInfo& type) {
    const std::size_t count = type.fields.size();
    type.fieldsInKeyOrder.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        type.fieldsInKeyOrder[i] = static_cast<std::uint16_t>(i);
    }
    std::stable_sort(type.fieldsInKeyOrder.begin(), type.fieldsInKeyOrder.end(),
                     [&](std::uint16_t a, std::uint16_t b) {
                         return std::string_view(type.fields[a].name) <
                                std::string_view(type.fields[b].name);
                     });
    type.fieldKeyRanks.resize(count);
    type.fieldNamesUnique = count <= 0xFFFF;
    for (std::size_t rank = 0; rank < count; ++rank) {
        type.fieldKeyRanks[type.fieldsInKeyOrder[rank]] = static_cast<std::uint16_t>(rank);
        if (rank > 0 && type.fields[type.fieldsInKeyOrder[rank]].name ==
                            type.fields[type.fieldsInKeyOrder[rank - 1]].name) {
            type.fieldNamesUnique = false;
        }
    }
}

}  // namespace

// ---- BindingTypeBuilder ------------------------------------------------------------------------

const BindingTypeInfo* BindingTypeBuilder::FindReferenced(const StaticTypeInfo& type) const {
    return registry_->FindTypeByHash(type);
}

BindingTypeBuilder& BindingTypeBuilder::AppendField(BindingFieldInfo field,
                                                    std::string_view jsonName,
                                                    std::size_t offset,
                                                    std::string_view description,
                                                    std::uint32_t flags,
                                                    std::initializer_list<std::string_view> tags) {
    field.name = Text(jsonName);
    field.nameHash = Fnv1a(jsonName);
    field.description = Text(description);
    field.offset = static_cast<std::uint32_t>(offset);
    field.flags = flags;
    // A field keeps the tags it is given, as given; only AddTag skips an empty text.
    for (std::string_view tag : tags) {
        field.tags.push_back(Text(tag));
    }
    field.owner = type_;
    type_->fields.push_back(std::move(field));
    IndexFieldKeys(*type_);
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::AddValue(std::string_view name,
                                                 std::int32_t value,
                                                 std::string_view description) {
    if (alreadyRegistered_) {
        return *this;
    }
    BindingEnumValue& entry = type_->values[Text(name)];
    entry.name = Text(name);
    entry.value = value;
    entry.description = Text(description);
    entry.owner = type_;
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::SetDescription(std::string_view description) {
    if (!alreadyRegistered_) {
        type_->description = Text(description);
    }
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::SetNameSpace(std::string_view nameSpace) {
    if (!alreadyRegistered_) {
        type_->nameSpace = Text(nameSpace);
    }
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::AddTag(std::string_view tag) {
    if (!alreadyRegistered_) {
        AppendTag(type_->tags, tag);
    }
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::SetTags(std::initializer_list<std::string_view> tags) {
    if (!alreadyRegistered_) {
        type_->tags.clear();
        for (std::string_view tag : tags) {
            AppendTag(type_->tags, tag);
        }
    }
    return *this;
}

// ---- BindingEventRegistration ------------------------------------------------------------------

BindingEventRegistration& BindingEventRegistration::SetDescription(std::string_view description) {
    if (!alreadyRegistered) {
        event->description = Text(description);
    }
    return *this;
}

BindingEventRegistration& BindingEventRegistration::SetNameSpace(std::string_view nameSpace) {
    if (!alreadyRegistered) {
        event->nameSpace = Text(nameSpace);
    }
    return *this;
}

BindingEventRegistration& BindingEventRegistration::AddTag(std::string_view tag) {
    if (!alreadyRegistered) {
        AppendTag(event->tags, tag);
    }
    return *this;
}

// ---- BindingTypeRegistry -----------------------------------------------------------------------

void BindingTypeRegistry::TypeDeleter::operator()(BindingTypeInfo* type) const {
    type->~BindingTypeInfo();
    FrameworkFree(type);
}

void BindingTypeRegistry::EventDeleter::operator()(BindingEventInfo* event) const {
    event->~BindingEventInfo();
    FrameworkFree(event);
}

BindingTypeRegistry::BindingTypeRegistry() = default;
BindingTypeRegistry::~BindingTypeRegistry() = default;

BindingTypeBuilder BindingTypeRegistry::RegisterStruct(std::string_view name,
                                                       std::size_t nativeSize,
                                                       const StaticTypeInfo& type) {
    return Register(name, nativeSize, type, false);
}

BindingTypeBuilder BindingTypeRegistry::RegisterEnum(std::string_view name,
                                                     std::size_t nativeSize,
                                                     const StaticTypeInfo& type) {
    return Register(name, nativeSize, type, true);
}

BindingTypeBuilder BindingTypeRegistry::Register(std::string_view name,
                                                 std::size_t nativeSize,
                                                 const StaticTypeInfo& type,
                                                 bool isEnum) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto existing = types_.find(name);
    if (existing != types_.end()) {
        return BindingTypeBuilder(*this, existing->second.get(), true);
    }
    std::unique_ptr<BindingTypeInfo, TypeDeleter> record(NewRecord<BindingTypeInfo>());
    record->size = static_cast<std::uint32_t>(nativeSize);
    record->isEnum = isEnum;
    record->name = Text(name);
    record->hash = type.hash;
    record->staticType = &type;
    record->registry = this;
    BindingTypeInfo* info = record.get();
    types_.emplace(Text(name), std::move(record));
    if (!StaticType::IsVoid(type)) {
        typesByHash_[type.hash] = info;
    }
    return BindingTypeBuilder(*this, info, false);
}

BindingEventRegistration BindingTypeRegistry::RegisterEvent(std::string_view name,
                                                            const StaticTypeInfo& dataType) {
    const BindingTypeInfo* data = FindTypeByHash(dataType);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto existing = events_.find(name);
    if (existing != events_.end()) {
        return BindingEventRegistration{existing->second.get(), true};
    }
    std::unique_ptr<BindingEventInfo, EventDeleter> record(NewRecord<BindingEventInfo>());
    record->name = Text(name);
    record->type = data;
    record->staticType = &dataType;
    BindingEventInfo* event = record.get();
    events_.emplace(Text(name), std::move(record));
    return BindingEventRegistration{event, false};
}

const BindingFunctionInfo* BindingTypeRegistry::RegisterFunction(
    std::unique_ptr<BindingFunctionInfo> function) {
    if (function == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const auto existing = functions_.find(std::string_view(function->name));
    if (existing != functions_.end()) {
        return existing->second.get();
    }
    BindingString name = function->name;
    return functions_.emplace(std::move(name), std::move(function)).first->second.get();
}

const BindingTypeInfo* BindingTypeRegistry::FindTypeByName(std::string_view name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = types_.find(name);
    return found != types_.end() ? found->second.get() : nullptr;
}

const BindingTypeInfo* BindingTypeRegistry::FindTypeByHash(const StaticTypeInfo& type) const {
    return FindTypeByHash(type.hash);
}

const BindingTypeInfo* BindingTypeRegistry::FindTypeByHash(std::uint32_t hash) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = typesByHash_.find(hash);
    return found != typesByHash_.end() ? found->second : nullptr;
}

const BindingFunctionInfo* BindingTypeRegistry::FindFunction(std::string_view name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = functions_.find(name);
    return found != functions_.end() ? found->second.get() : nullptr;
}

const BindingEventInfo* BindingTypeRegistry::FindEvent(std::string_view name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = events_.find(name);
    return found != events_.end() ? found->second.get() : nullptr;
}

std::vector<const BindingFunctionInfo*> BindingTypeRegistry::FunctionsSnapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<const BindingFunctionInfo*> snapshot;
    snapshot.reserve(functions_.size());
    for (const auto& [name, function] : functions_) {
        snapshot.push_back(function.get());
    }
    return snapshot;
}

std::vector<const BindingEventInfo*> BindingTypeRegistry::EventsSnapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<const BindingEventInfo*> snapshot;
    snapshot.reserve(events_.size());
    for (const auto& [name, event] : events_) {
        snapshot.push_back(event.get());
    }
    return snapshot;
}

std::vector<const BindingTypeInfo*> BindingTypeRegistry::TypesSnapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<const BindingTypeInfo*> snapshot;
    snapshot.reserve(types_.size());
    for (const auto& [name, type] : types_) {
        snapshot.push_back(type.get());
    }
    return snapshot;
}

void BindingTypeRegistry::UnregisterAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    functions_.clear();
    events_.clear();
    typesByHash_.clear();
    types_.clear();
    builtinsRegistered_ = false;
}

void BindingTypeRegistry::RegisterBuiltins() {
    if (BuiltinsRegistered()) {
        UnregisterAll();
    }
    RegisterHelpTypes(*this);
    RegisterAsyncTypes(*this);
    std::lock_guard<std::mutex> lock(mutex_);
    builtinsRegistered_ = true;
}

bool BindingTypeRegistry::BuiltinsRegistered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return builtinsRegistered_;
}

}  // namespace Kolm
