// BindingTypeRegistry: the plugin's registered structures, enumerations, events and functions,
// and BindingTypeBuilder, the fluent form in which they are registered:
//
//   registry.RegisterStruct<PlayerClub>("PlayerClub", "A club the player belongs to.")
//       .AddField("clubKey", &PlayerClub::clubKey)
//       .AddField("name", &PlayerClub::name)
//       .AddTag("clubs");
//   registry.RegisterEnum<ClubRole>("ClubRole").AddValue("OWNER", ClubRole::OWNER);
//
// The first registration of a name wins; a later one yields a builder that ignores everything.
// A field that refers to an enumeration or structure finds its record by the native type's hash
// when the field is added, so referenced types are registered before their users.
//
// Every registration, look-up and snapshot takes the registry mutex. Records are not changed
// after registration, so callers read them without the lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "binding/binding_field_type.h"
#include "binding/binding_type_info.h"
#include "binding/static_type.h"

namespace Kolm {

class BindingTypeBuilder {
  public:
    BindingTypeBuilder(BindingTypeRegistry& registry, BindingTypeInfo* type, bool alreadyRegistered)
        : registry_(&registry), type_(type), alreadyRegistered_(alreadyRegistered) {}

    // Adds the field `member` of S under `jsonName`; the field's type code, element code,
    // referenced record and accessor follow from the member's type.
    template <class S, class F>
    BindingTypeBuilder& AddField(std::string_view jsonName,
                                 F S::*member,
                                 std::string_view description = {},
                                 std::uint32_t flags = 0,
                                 std::initializer_list<std::string_view> tags = {}) {
        return AddFieldAt<F>(jsonName, OffsetOf(member), description, flags, tags);
    }

    // The same for a field of native type F at `offset` inside the record.
    template <class F>
    BindingTypeBuilder& AddFieldAt(std::string_view jsonName,
                                   std::size_t offset,
                                   std::string_view description = {},
                                   std::uint32_t flags = 0,
                                   std::initializer_list<std::string_view> tags = {}) {
        if (alreadyRegistered_) {
            return *this;
        }
        using Traits = BindingFieldType<F>;
        BindingFieldInfo field;
        field.staticType = &StaticType::Info<F>();
        field.type = BindingTypeId{Traits::kCode, Traits::kElementCode, nullptr};
        if constexpr (!std::is_void_v<typename Traits::Referenced>) {
            field.type.type = FindReferenced(StaticType::Info<typename Traits::Referenced>());
        }
        // Only fields the direct conversion does not cover carry an accessor; its presence is
        // what routes a field through it.
        if constexpr (Traits::kNeedsAccessor) {
            field.accessor = MakeFieldAccessor<F>();
        }
        field.optional = IsOptionalField<F>();
        return AppendField(std::move(field), jsonName, offset, description, flags, tags);
    }

    // Inserts or replaces the enumeration value of that name.
    BindingTypeBuilder& AddValue(std::string_view name,
                                 std::int32_t value,
                                 std::string_view description = {});
    template <class E>
    requires std::is_enum_v<E> BindingTypeBuilder& AddValue(std::string_view name,
                                                            E value,
                                                            std::string_view description = {}) {
        return AddValue(name, static_cast<std::int32_t>(value), description);
    }

    BindingTypeBuilder& SetDescription(std::string_view description);
    BindingTypeBuilder& SetNameSpace(std::string_view nameSpace);
    // Appends a non-empty tag.
    BindingTypeBuilder& AddTag(std::string_view tag);
    // Replaces the tag list.
    BindingTypeBuilder& SetTags(std::initializer_list<std::string_view> tags);

    BindingTypeRegistry& Registry() const { return *registry_; }
    // The record: the new one, or the first registration's when AlreadyRegistered().
    BindingTypeInfo* Type() const { return type_; }
    bool AlreadyRegistered() const { return alreadyRegistered_; }

  private:
    template <class S, class F>
    static std::size_t OffsetOf(F S::*member) {
        // The address of a member of uninitialised storage; nothing is read or constructed.
        union Probe {
            Probe() {}
            ~Probe() {}
            char bytes[sizeof(S)];
            S record;
        } probe;
        return static_cast<std::size_t>(reinterpret_cast<const char*>(&(probe.record.*member)) -
                                        probe.bytes);
    }

    const BindingTypeInfo* FindReferenced(const StaticTypeInfo& type) const;
    BindingTypeBuilder& AppendField(BindingFieldInfo field,
                                    std::string_view jsonName,
                                    std::size_t offset,
                                    std::string_view description,
                                    std::uint32_t flags,
                                    std::initializer_list<std::string_view> tags);

    BindingTypeRegistry* registry_;
    BindingTypeInfo* type_;
    bool alreadyRegistered_;
};

// What RegisterEvent returns: the record (new or the first registration's) and whether the name
// was already registered, in which case the record must be left as it is.
struct BindingEventRegistration {
    BindingEventInfo* event = nullptr;
    bool alreadyRegistered = false;

    BindingEventRegistration& SetDescription(std::string_view description);
    BindingEventRegistration& SetNameSpace(std::string_view nameSpace);
    BindingEventRegistration& AddTag(std::string_view tag);
};

class BindingTypeRegistry {
  public:
    BindingTypeRegistry();
    ~BindingTypeRegistry();
    BindingTypeRegistry(const BindingTypeRegistry&) = delete;
    BindingTypeRegistry& operator=(const BindingTypeRegistry&) = delete;

    BindingTypeBuilder RegisterStruct(std::string_view name,
                                      std::size_t nativeSize,
                                      const StaticTypeInfo& type);
    BindingTypeBuilder RegisterEnum(std::string_view name,
                                    std::size_t nativeSize,
                                    const StaticTypeInfo& type);

    template <class S>
    BindingTypeBuilder RegisterStruct(std::string_view name, std::string_view description = {}) {
        static_assert(std::is_class_v<S> || std::is_void_v<S>);
        constexpr std::size_t size = [] {
            if constexpr (std::is_void_v<S>) {
                return std::size_t{0};
            } else {
                return sizeof(S);
            }
        }();
        BindingTypeBuilder builder = RegisterStruct(name, size, StaticType::Info<S>());
        if (!description.empty()) {
            builder.SetDescription(description);
        }
        return builder;
    }
    template <class E>
    requires std::is_enum_v<E> BindingTypeBuilder RegisterEnum(std::string_view name,
                                                               std::string_view description = {}) {
        BindingTypeBuilder builder = RegisterEnum(name, sizeof(E), StaticType::Info<E>());
        if (!description.empty()) {
            builder.SetDescription(description);
        }
        return builder;
    }

    // The data's record is looked up by hash now, so it is registered first.
    BindingEventRegistration RegisterEvent(std::string_view name, const StaticTypeInfo& dataType);
    template <class T>
    BindingEventRegistration RegisterEvent(std::string_view name,
                                           std::string_view description = {}) {
        BindingEventRegistration registration = RegisterEvent(name, StaticType::Info<T>());
        if (!description.empty()) {
            registration.SetDescription(description);
        }
        return registration;
    }

    // Records a function under its name; the first registration of a name wins. Returns the
    // record kept under that name.
    const BindingFunctionInfo* RegisterFunction(std::unique_ptr<BindingFunctionInfo> function);

    // Look-ups; null when there is no such record.
    const BindingTypeInfo* FindTypeByName(std::string_view name) const;
    const BindingTypeInfo* FindTypeByHash(const StaticTypeInfo& type) const;
    const BindingTypeInfo* FindTypeByHash(std::uint32_t hash) const;
    template <class T>
    const BindingTypeInfo* FindType() const {
        return FindTypeByHash(StaticType::Info<T>());
    }
    const BindingFunctionInfo* FindFunction(std::string_view name) const;
    const BindingEventInfo* FindEvent(std::string_view name) const;

    // Copies of the maps' entries, in name order.
    std::vector<const BindingFunctionInfo*> FunctionsSnapshot() const;
    std::vector<const BindingEventInfo*> EventsSnapshot() const;
    std::vector<const BindingTypeInfo*> TypesSnapshot() const;

    // Registers the help records, the asynchronous-operation records and the event "OnCallback".
    // A second call first unregisters every function, event and type.
    void RegisterBuiltins();
    bool BuiltinsRegistered() const;

  private:
    BindingTypeBuilder Register(std::string_view name,
                                std::size_t nativeSize,
                                const StaticTypeInfo& type,
                                bool isEnum);
    void UnregisterAll();

    template <class V>
    using ByName = std::
        map<BindingString, V, std::less<>, FrameworkAllocator<std::pair<const BindingString, V>>>;

    struct TypeDeleter {
        void operator()(BindingTypeInfo* type) const;
    };
    struct EventDeleter {
        void operator()(BindingEventInfo* event) const;
    };

    mutable std::mutex mutex_;
    ByName<std::unique_ptr<BindingFunctionInfo>> functions_;
    ByName<std::unique_ptr<BindingEventInfo, EventDeleter>> events_;
    ByName<std::unique_ptr<BindingTypeInfo, TypeDeleter>> types_;
    std::unordered_map<std::uint32_t,
                       BindingTypeInfo*,
                       std::hash<std::uint32_t>,
                       std::equal_to<>,
                       FrameworkAllocator<std::pair<const std::uint32_t, BindingTypeInfo*>>>
        typesByHash_;
    bool builtinsRegistered_ = false;
};

}  // namespace Kolm
