// Static identity of native types without run-time type information: a 32-bit FNV-1a hash of the
// compiler's signature text of StaticType::HashCode<T>, and a name in one of two forms.
//
// The signature text names T canonically (aliases resolved), so every place that names a type
// gets the same hash; `T` and `T&` are different types and hash differently.
#pragma once

#include <cstdint>
#include <string_view>

#include "binding/binding_property.h"

#if defined(_MSC_VER) && !defined(__clang__)
#define ZC_FUNCTION_SIGNATURE __FUNCSIG__
#else
#define ZC_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#endif

namespace Kolm {

// The identity of one native type. Records made in different places for the same type agree on
// the hash; the name is either "#" plus the hash in eight upper-case hex digits (the form of the
// framework's own types) or the compiler's signature text of StaticType::Name<T>.
struct StaticTypeInfo {
    std::uint32_t hash;
    const char* name;
};

inline bool operator==(const StaticTypeInfo& a, const StaticTypeInfo& b) {
    return a.hash == b.hash;
}

namespace StaticType {

template <class T>
constexpr std::uint32_t HashCode() {
    return Fnv1a(std::string_view(ZC_FUNCTION_SIGNATURE));
}

// The signature text of this function for T, e.g. "constexpr const char*
// Kolm::StaticType::Name() [with T = Kolm::BindingProperty]" with GCC; readable and stable.
template <class T>
constexpr const char* Name() {
    return ZC_FUNCTION_SIGNATURE;
}

namespace Detail {

struct HexName {
    char text[10];
};

constexpr HexName MakeHexName(std::uint32_t hash) {
    constexpr char digits[] = "0123456789ABCDEF";
    HexName name{};
    name.text[0] = '#';
    for (int i = 0; i < 8; ++i) {
        name.text[1 + i] = digits[(hash >> (28 - 4 * i)) & 0xFu];
    }
    name.text[9] = '\0';
    return name;
}

template <class T>
inline constexpr HexName kHexName = MakeHexName(HashCode<T>());

template <class T>
inline constexpr StaticTypeInfo kHexInfo{HashCode<T>(), kHexName<T>.text};

template <class T>
inline constexpr StaticTypeInfo kSignatureInfo{HashCode<T>(), Name<T>()};

}  // namespace Detail

// The record of T with the "#%08X" name.
template <class T>
constexpr const StaticTypeInfo& Info() {
    return Detail::kHexInfo<T>;
}

// The record of T named by its signature text (for messages meant for developers).
template <class T>
constexpr const StaticTypeInfo& SignatureInfo() {
    return Detail::kSignatureInfo<T>;
}

// The identity of `void`: a structure registered with it is reachable by name only.
constexpr bool IsVoid(const StaticTypeInfo& info) {
    return info.hash == HashCode<void>();
}

}  // namespace StaticType
}  // namespace Kolm
