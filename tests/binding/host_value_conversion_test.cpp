#include "binding/host_value_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// HostValue records are packed: members are read by value, never bound to references.

#include "binding/binding_type_registry.h"
#include "platform/framework_allocator.h"

namespace Kolm {
namespace {

enum class Mode : std::int32_t { Off = 0, On = 1 };

std::uint64_t HeapInUse() {
    const PluginMemoryStats& stats = MemoryStats();
    return stats.bytesAllocated.load() - stats.bytesFreed.load();
}

HostValue Scalar(std::uint32_t kind) {
    HostValue value{};
    value.kind = kind;
    return value;
}

TEST(HostValueConversionTest, ScalarsAndTextsBecomeValues) {
    HostValue flag = Scalar(HOST_VALUE_KIND_BOOL);
    flag.payload.boolean = 1;
    EXPECT_EQ(BindingProperty(true), FromHostValue(flag, "v").value);

    HostValue number = Scalar(HOST_VALUE_KIND_SIGNED);
    number.payload.signedNumber = -5;
    EXPECT_EQ(BindingProperty(-5), FromHostValue(number, "v").value);

    HostValue borrowed = Scalar(HOST_VALUE_KIND_BORROWED_STRING);
    borrowed.payload.string.text = "borrowed";
    borrowed.payload.string.length = 99;  // not read for borrowed texts
    EXPECT_EQ("borrowed", FromHostValue(borrowed, "v").value.GetString());

    HostValue owned = Scalar(HOST_VALUE_KIND_STRING);
    owned.payload.string.text = "owned text";
    owned.payload.string.length = 5;
    EXPECT_EQ("owned", FromHostValue(owned, "v").value.GetString());

    const std::uint8_t bytes[] = {1, 2, 3};
    HostValue blob = Scalar(HOST_VALUE_KIND_BORROWED_BLOB);
    blob.payload.blob.bytes = bytes;
    blob.payload.blob.length = 3;
    EXPECT_EQ(BindingProperty(BindingBlob{1, 2, 3}), FromHostValue(blob, "v").value);

    EXPECT_TRUE(FromHostValue(Scalar(HOST_VALUE_KIND_NULL), "v").value.IsEmpty());
}

TEST(HostValueConversionTest, UnknownKindsFailWithTheirName) {
    EXPECT_EQ(
        "Couldn't assign value to 'arg' of type object because the input is of an incompatible "
        "type ''.",
        FromHostValue(Scalar(11), "arg").ErrorText());
}

TEST(HostValueConversionTest, NestedUnknownKindFailsTheWhole) {
    HostValue items[2] = {Scalar(HOST_VALUE_KIND_NULL), Scalar(42)};
    HostValue list = Scalar(HOST_VALUE_KIND_COLLECTION);
    list.payload.collection.items = items;
    list.payload.collection.count = 2;
    const BindingResult result = FromHostValue(list, "arg");
    EXPECT_FALSE(result.success);
    EXPECT_EQ(1u, result.value.Size());  // only the error
}

TEST(HostValueConversionTest, NullPointersReadAsEmptyContent) {
    HostValue text = Scalar(HOST_VALUE_KIND_STRING);
    text.payload.string.length = 10;
    EXPECT_EQ("", FromHostValue(text, "v").value.GetString());
    HostValue list = Scalar(HOST_VALUE_KIND_COLLECTION);
    list.payload.collection.count = 10;
    EXPECT_EQ(0u, FromHostValue(list, "v").value.Size());
    HostValue structure = Scalar(HOST_VALUE_KIND_STRUCTURE);
    structure.payload.structure.count = 3;
    EXPECT_EQ(BindingKind::Structure, FromHostValue(structure, "v").value.Kind());
}

TEST(HostValueConversionTest, TreesRoundTripAndReleaseEverything) {
    const std::uint64_t before = HeapInUse();
    {
        BindingProperty tree;
        tree["name"] = "club";
        tree["bytes"] = BindingBlob{0, 1};
        tree["ratio"] = 0.5;
        tree["count"] = 3u;
        tree["list"][2] = false;
        tree["nested"]["deep"]["x"] = -1;
        HostValue flat{};
        ASSERT_TRUE(ToHostValue(tree, flat, nullptr));
        EXPECT_EQ(HOST_VALUE_KIND_STRUCTURE, flat.kind);
        ASSERT_EQ(6u, std::uint32_t{flat.payload.structure.count});
        const HostValueEntry first = flat.payload.structure.entries[0];
        EXPECT_STREQ("bytes", first.key);
        EXPECT_EQ(1, int{first.ownsKey});
        EXPECT_EQ(static_cast<std::uint32_t>(HOST_VALUE_KIND_BLOB), first.value.kind);
        EXPECT_EQ(tree, FromHostValue(flat, "v").value);
        ReleaseHostValue(flat);
        EXPECT_EQ(static_cast<std::uint32_t>(HOST_VALUE_KIND_NULL), flat.kind);
        EXPECT_EQ(0u, std::uint64_t{flat.payload.unsignedNumber});
    }
    EXPECT_EQ(before, HeapInUse());
}

TEST(HostValueConversionTest, EnumsBecomeNamesWhenTheRegistryKnowsThem) {
    BindingTypeRegistry registry;
    registry.RegisterEnum<Mode>("Mode").AddValue("ON", Mode::On);
    HostValue flat{};
    const BindingProperty known(BindingEnumRecord{1, &StaticType::Info<Mode>()});
    ASSERT_TRUE(ToHostValue(known, flat, &registry));
    EXPECT_EQ(static_cast<std::uint32_t>(HOST_VALUE_KIND_STRING), flat.kind);
    EXPECT_STREQ("ON", flat.payload.string.text);
    EXPECT_EQ(2u, std::uint32_t{flat.payload.string.length});
    ReleaseHostValue(flat);

    const BindingProperty unknown(BindingEnumRecord{7, &StaticType::Info<Mode>()});
    ASSERT_TRUE(ToHostValue(unknown, flat, &registry));
    EXPECT_EQ(static_cast<std::uint32_t>(HOST_VALUE_KIND_SIGNED), flat.kind);
    EXPECT_EQ(7, std::int64_t{flat.payload.signedNumber});
    ASSERT_TRUE(ToHostValue(known, flat, nullptr));
    EXPECT_EQ(static_cast<std::uint32_t>(HOST_VALUE_KIND_SIGNED), flat.kind);
}

TEST(HostValueConversionTest, ReleaseLeavesBorrowedPartsAlone) {
    char text[] = "mine";
    HostValueEntry entries[1] = {};
    entries[0].key = "key";
    entries[0].ownsKey = 0;
    HostValue borrowed = Scalar(HOST_VALUE_KIND_BORROWED_STRING);
    borrowed.payload.string.text = text;
    entries[0].value = borrowed;
    HostValue structure = Scalar(HOST_VALUE_KIND_STRUCTURE);
    // The entry array itself is owned by a structure value.
    auto* owned = static_cast<HostValueEntry*>(FrameworkAlloc(sizeof(entries)));
    std::memcpy(static_cast<void*>(owned), entries, sizeof(entries));
    structure.payload.structure.entries = owned;
    structure.payload.structure.count = 1;
    ReleaseHostValue(structure);
    EXPECT_STREQ("mine", text);
    EXPECT_EQ(static_cast<std::uint32_t>(HOST_VALUE_KIND_NULL), structure.kind);
}

}  // namespace
}  // namespace Kolm
