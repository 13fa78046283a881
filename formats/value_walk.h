// WalkValue: the generic recursive walk that drives a writer's visitor over a BindingProperty.
//
// A visitor has one operation per value shape: Null, Bool, Signed, Unsigned, Float, String,
// Blob, Enum, StartCollection(count), BeforeElement(index), AfterElement(index), EndCollection,
// StartStructure(count), Key(text), AfterEntry, EndStructure. Collections are visited in index
// order, structures in key order. The walk recurses once per nesting level; the readers never
// build trees deeper than ValueBuilder::kMaxNestingDepth.
#pragma once

#include <cstddef>

#include "binding/binding_property.h"

namespace Kolm {

template <class Visitor>
void WalkValue(const BindingProperty& value, Visitor& visitor) {
    switch (value.Kind()) {
        case BindingKind::Bool:
            visitor.Bool(value.GetBool());
            return;
        case BindingKind::Signed:
            visitor.Signed(value.GetSigned());
            return;
        case BindingKind::Unsigned:
            visitor.Unsigned(value.GetUnsigned());
            return;
        case BindingKind::Float:
            visitor.Float(value.GetFloat());
            return;
        case BindingKind::String:
            visitor.String(value.GetString());
            return;
        case BindingKind::Blob:
            visitor.Blob(value);
            return;
        case BindingKind::Enum:
            visitor.Enum(value.GetEnum());
            return;
        case BindingKind::Collection: {
            const auto elements = value.Elements();
            visitor.StartCollection(elements.size());
            for (std::size_t index = 0; index < elements.size(); ++index) {
                visitor.BeforeElement(index);
                WalkValue(elements[index], visitor);
                visitor.AfterElement(index);
            }
            visitor.EndCollection();
            return;
        }
        case BindingKind::Structure: {
            const auto entries = value.Entries();
            visitor.StartStructure(entries.size());
            for (const BindingEntry& entry : entries) {
                visitor.Key(entry.Key());
                WalkValue(entry.Value(), visitor);
                visitor.AfterEntry();
            }
            visitor.EndStructure();
            return;
        }
        case BindingKind::Empty:
        default:
            visitor.Null();
            return;
    }
}

}  // namespace Kolm
