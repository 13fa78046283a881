// The untyped core of native conversion: assigning a value to the native object at an address
// and converting the native object at an address into a value, guided by a BindingTypeId.
// Built-in codes, and vectors and maps of built-in scalars, are handled here by direct dispatch
// on the code; everything else goes through a field's accessor (binding/binding_field_type.h).
//
// Native layouts by code: bool, the fixed-width integers, float, double, std::string,
// Kolm::BindingProperty, Kolm::BindingBlob, an enumeration of 1, 2, 4 or 8 bytes, a registered
// structure, std::vector<T> and std::unordered_map<std::string, T> of one of those scalars.
#pragma once

#include <cstdint>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/binding_type_info.h"

namespace Kolm::NativeConversion {

// Assigns `input` to the native object at `native` of type `type`. `name` stands for the
// target in messages. A failure is written into `result` (the first one wins a walk).
void Assign(BindingResult& result,
            void* native,
            const BindingTypeId& type,
            const BindingProperty& input,
            std::string_view name,
            const BindingTypeRegistry* registry);

// Converts the native object at `native` into `out`, an Empty value inside (or being)
// status.value. A failure is written into `status`, which clears the tree `out` belongs to:
// callers stop touching `out` once status.success is false.
void ToValue(BindingResult& status,
             BindingProperty& out,
             const void* native,
             const BindingTypeId& type,
             const BindingTypeRegistry* registry);

// Remembers, across the elements of one container, where each field's entry was found and under
// which interned key, so that elements of the same shape are read without comparing key texts.
class FieldKeyCache {
  public:
    // The entry of field `index` of `type` in `input`, or the shared Empty value.
    const BindingProperty& Find(const BindingProperty& input,
                                const BindingTypeInfo& type,
                                std::size_t index) {
        if (arena_ == input.Arena() && index < slots_.size()) {
            const Slot& slot = slots_[index];
            const auto entries = input.Entries();
            if (slot.key != nullptr && slot.position < entries.size() &&
                entries[slot.position].KeyText() == slot.key) {
                return entries[slot.position].Value();
            }
        }
        return FindAndRemember(input, type, index);
    }

  private:
    const BindingProperty& FindAndRemember(const BindingProperty& input,
                                           const BindingTypeInfo& type,
                                           std::size_t index);

    struct Slot {
        const BindingText* key = nullptr;
        std::uint32_t position = 0;
    };
    const BindingArena* arena_ = nullptr;
    BindingVector<Slot> slots_;
};

// Structures, with the top-level checks: Empty input, unregistered type, input not a Structure.
void AssignStructure(BindingResult& result,
                     void* record,
                     const BindingTypeInfo* type,
                     const BindingProperty& input,
                     std::string_view name,
                     FieldKeyCache* cache = nullptr);
// `layout`, when given, is an earlier value of the same type in the same tree whose keys are
// taken over instead of being looked up.
void StructureToValue(BindingResult& status,
                      BindingProperty& out,
                      const void* record,
                      const BindingTypeInfo* type,
                      const BindingProperty* layout = nullptr);

// One field of a registered structure: through its accessor when it has to, else directly.
void AssignField(BindingResult& result,
                 void* record,
                 const BindingFieldInfo& field,
                 const BindingProperty& input);
void FieldToValue(BindingResult& status,
                  BindingProperty& out,
                  const void* record,
                  const BindingFieldInfo& field);

// The container checks shared by every vector and map, built-in or not. Each fails `result`
// and returns false when `input` is not a Collection (or a Structure for maps).
bool CheckVectorInput(BindingResult& result,
                      const BindingProperty& input,
                      std::string_view name,
                      bool elementIsBool);
bool CheckMapInput(BindingResult& result, const BindingProperty& input, std::string_view name);

// Fails `result` with the message for a missing (Empty) value.
void FailRequired(BindingResult& result, std::string_view name);
void FailUnregisteredToValue(BindingResult& result);

}  // namespace Kolm::NativeConversion
