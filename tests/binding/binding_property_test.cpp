#include "binding/binding_property.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <string>
#include <vector>

#include "binding/binding_arena.h"
#include "binding/static_type.h"

namespace Kolm {
namespace {

std::vector<std::string> KeysOf(const BindingProperty& value) {
    std::vector<std::string> keys;
    for (const BindingEntry& entry : value.Entries()) {
        keys.emplace_back(entry.Key());
    }
    return keys;
}

// ---- kinds and their names -----------------------------------------------------------------

TEST(BindingKindTest, NamesEveryKindAndNothingElse) {
    const char* expected[] = {"empty",  "bool", "signed", "unsigned",   "float",
                              "string", "blob", "enum",   "collection", "structure"};
    for (int code = 0; code < kBindingKindCount; ++code) {
        EXPECT_STREQ(expected[code], BindingKindName(code));
    }
    EXPECT_STREQ("", BindingKindName(10));
    EXPECT_STREQ("", BindingKindName(-1));
}

TEST(BindingPropertyConstructionTest, EachNativeTypeGivesItsKind) {
    EXPECT_EQ(BindingKind::Empty, BindingProperty().Kind());
    EXPECT_EQ(BindingKind::Bool, BindingProperty(false).Kind());
    EXPECT_EQ(BindingKind::Signed, BindingProperty(std::int32_t{-5}).Kind());
    EXPECT_EQ(-5, BindingProperty(std::int32_t{-5}).GetSigned());
    EXPECT_EQ(BindingKind::Unsigned, BindingProperty(std::uint32_t{5}).Kind());
    EXPECT_EQ(BindingKind::Signed, BindingProperty(std::int64_t{INT64_MIN}).Kind());
    EXPECT_EQ(UINT64_MAX, BindingProperty(UINT64_MAX).GetUnsigned());
    EXPECT_EQ(BindingKind::Float, BindingProperty(1.5f).Kind());
    EXPECT_EQ(BindingKind::String, BindingProperty("text").Kind());
    EXPECT_EQ(BindingKind::String, BindingProperty(std::string("text")).Kind());
    EXPECT_EQ(BindingKind::Blob, BindingProperty(BindingBlob{1, 2}).Kind());
    EXPECT_EQ(BindingKind::Enum, BindingProperty(BindingEnumRecord{3, nullptr}).Kind());
}

TEST(BindingPropertyConstructionTest, MovedBlobLeavesTheSourceEmpty) {
    BindingBlob bytes{1, 2, 3};
    BindingProperty value(std::move(bytes));
    EXPECT_TRUE(bytes.empty());
    ASSERT_EQ(3u, value.GetBlob().size());
    EXPECT_EQ(3, value.GetBlob()[2]);
}

TEST(BindingPropertyConstructionTest, EmptyTextSharesOneEntryAndIsNotCounted) {
    BindingProperty value("");
    EXPECT_EQ(BindingKind::String, value.Kind());
    EXPECT_EQ(0u, value.Size());
    ASSERT_NE(nullptr, value.Arena());
    EXPECT_EQ(0u, value.Arena()->InternedTextCount());
}

TEST(BindingPropertyConstructionTest, AssignmentReplacesTheOldContent) {
    BindingProperty value;
    value["a"] = 1;
    value = "now a text";
    EXPECT_EQ("now a text", value.GetString());
    EXPECT_EQ(1u, value.Arena()->InternedTextCount());  // the key "a" is gone
    value = 2.5;
    EXPECT_EQ(0u, value.Arena()->InternedTextCount());
    EXPECT_EQ(2.5, value.GetFloat());
}

// ---- queries -------------------------------------------------------------------------------

TEST(BindingPropertyQueryTest, IsEmptyValuePerKind) {
    EXPECT_TRUE(BindingProperty().IsEmptyValue());
    EXPECT_TRUE(BindingProperty(false).IsEmptyValue());
    EXPECT_FALSE(BindingProperty(true).IsEmptyValue());
    EXPECT_TRUE(BindingProperty(0).IsEmptyValue());
    EXPECT_TRUE(BindingProperty(0u).IsEmptyValue());
    EXPECT_TRUE(BindingProperty(0.0).IsEmptyValue());
    EXPECT_FALSE(BindingProperty(std::nan("")).IsEmptyValue());
    EXPECT_TRUE(BindingProperty("").IsEmptyValue());
    EXPECT_FALSE(BindingProperty("x").IsEmptyValue());
    EXPECT_TRUE(BindingProperty(BindingBlob{}).IsEmptyValue());
    EXPECT_TRUE(BindingProperty(BindingEnumRecord{0, nullptr}).IsEmptyValue());
    EXPECT_FALSE(BindingProperty(BindingEnumRecord{2, nullptr}).IsEmptyValue());
    BindingProperty list;
    list.MakeCollection();
    EXPECT_TRUE(list.IsEmptyValue());
    list.Append();
    EXPECT_FALSE(list.IsEmptyValue());
}

TEST(BindingPropertyQueryTest, SizePerKind) {
    EXPECT_EQ(0u, BindingProperty().Size());
    EXPECT_EQ(1u, BindingProperty(false).Size());
    EXPECT_EQ(1u, BindingProperty(7).Size());
    EXPECT_EQ(1u, BindingProperty(BindingEnumRecord{}).Size());
    EXPECT_EQ(0u, BindingProperty("").Size());
    EXPECT_EQ(5u, BindingProperty("hello").Size());
    EXPECT_EQ(2u, BindingProperty(BindingBlob{1, 2}).Size());
    BindingProperty structure;
    structure["a"];
    structure["b"];
    EXPECT_EQ(2u, structure.Size());
}

TEST(BindingPropertyQueryTest, GettersReturnTheFallbackForAnyOtherKind) {
    const BindingProperty number(5);
    EXPECT_EQ(5, number.GetSigned());
    EXPECT_EQ(9u, number.GetUnsigned(9));  // no conversion between kinds
    EXPECT_TRUE(number.GetBool(true));
    EXPECT_EQ(1.5, number.GetFloat(1.5));
    EXPECT_EQ("fallback", number.GetString("fallback"));
    EXPECT_STREQ("", number.GetCString());
    EXPECT_EQ(4, number.GetEnum({4, nullptr}).value);
    EXPECT_TRUE(number.GetBlob().empty());
}

TEST(BindingPropertyTextTest, ToStringPerKind) {
    EXPECT_EQ("", BindingProperty().ToString());
    EXPECT_EQ("true", BindingProperty(true).ToString());
    EXPECT_EQ("false", BindingProperty(false).ToString());
    EXPECT_EQ("-42", BindingProperty(-42).ToString());
    EXPECT_EQ("18446744073709551615", BindingProperty(UINT64_MAX).ToString());
    EXPECT_EQ("2.000000", BindingProperty(2.0).ToString());
    EXPECT_EQ("1.500000", BindingProperty(1.5).ToString());
    EXPECT_EQ("-1.250000", BindingProperty(-1.25).ToString());
    EXPECT_EQ("0.000000", BindingProperty(0.0000005).ToString());  // just below the half
    EXPECT_EQ("0.000002", BindingProperty(0.0000015).ToString());
    EXPECT_EQ("text", BindingProperty("text").ToString());
    EXPECT_EQ("aGk=", BindingProperty(BindingBlob{'h', 'i'}).ToString());
    EXPECT_EQ("AAEC/w==", BindingProperty(BindingBlob{0, 1, 2, 255}).ToString());
    EXPECT_EQ("3", BindingProperty(BindingEnumRecord{3, nullptr}).ToString());
    BindingProperty list;
    list.Append() = 1;
    EXPECT_EQ("", list.ToString());
    BindingProperty structure;
    structure["a"] = 1;
    EXPECT_EQ("", structure.ToString());
}

TEST(BindingPropertyTextTest, ToStringOfTheLargestDoubleIsComplete) {
    const std::string text = BindingProperty(1.7976931348623157e308).ToString();
    EXPECT_EQ(316u, text.size());
    EXPECT_EQ(".000000", text.substr(text.size() - 7));
}

TEST(BindingPropertyTextTest, ToBoolPerKind) {
    EXPECT_FALSE(BindingProperty().ToBool());
    EXPECT_TRUE(BindingProperty(true).ToBool());
    EXPECT_TRUE(BindingProperty(-1).ToBool());
    EXPECT_FALSE(BindingProperty(0u).ToBool());
    EXPECT_TRUE(BindingProperty(0.1).ToBool());
    EXPECT_TRUE(BindingProperty("true").ToBool());
    EXPECT_TRUE(BindingProperty("1").ToBool());
    EXPECT_FALSE(BindingProperty("True").ToBool());
    EXPECT_FALSE(BindingProperty("yes").ToBool());
    EXPECT_TRUE(BindingProperty(BindingBlob{0}).ToBool());
    EXPECT_FALSE(BindingProperty(BindingBlob{}).ToBool());
    EXPECT_TRUE(BindingProperty(BindingEnumRecord{1, nullptr}).ToBool());
    BindingProperty structure;
    structure.MakeStructure();
    EXPECT_FALSE(structure.ToBool());
    structure["a"];
    EXPECT_TRUE(structure.ToBool());
}

// ---- structures ----------------------------------------------------------------------------

TEST(BindingStructureTest, KeysAreVisitedInByteOrder) {
    BindingProperty value;
    value["b"] = 1;
    value["a"] = 2;
    value["ab"] = 3;
    value["B"] = 4;
    EXPECT_EQ((std::vector<std::string>{"B", "a", "ab", "b"}), KeysOf(value));
}

TEST(BindingStructureTest, KeysCompareAsUnsignedBytes) {
    BindingProperty value;
    value["\xC3\xA9"] = 1;  // above every ASCII byte
    value["z"] = 2;
    value[""] = 3;
    EXPECT_EQ((std::vector<std::string>{"", "z", "\xC3\xA9"}), KeysOf(value));
}

TEST(BindingStructureTest, ManyKeysStayOrderedAndFindable) {
    BindingProperty value;
    for (int i = 99; i >= 0; --i) {
        value["key" + std::to_string(i)] = i;
    }
    const auto keys = KeysOf(value);
    ASSERT_EQ(100u, keys.size());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(i, value.Find("key" + std::to_string(i)).GetSigned(-1));
    }
    EXPECT_TRUE(value.Find("key100").IsEmpty());
}

TEST(BindingStructureTest, KeySubscriptOnAScalarMakesAStructure) {
    BindingProperty value(12);
    BindingProperty& entry = value["x"];
    EXPECT_TRUE(entry.IsEmpty());
    EXPECT_EQ(BindingKind::Structure, value.Kind());
    EXPECT_EQ(1u, value.Size());
    EXPECT_TRUE(value.Contains("x"));
}

TEST(BindingStructureTest, KeySubscriptFindsTheExistingEntry) {
    BindingProperty value;
    value["x"] = 1;
    value["x"] = 2;
    EXPECT_EQ(1u, value.Size());
    EXPECT_EQ(2, value.Find("x").GetSigned());
}

TEST(BindingStructureTest, FindOnOtherKindsYieldsTheSharedEmptyValueWithoutChange) {
    BindingProperty list;
    list.Append() = 1;
    BindingProperty text("abc");
    const BindingProperty empty;
    EXPECT_EQ(&BindingProperty::EmptyValue(), &list.Find("x"));
    EXPECT_EQ(&BindingProperty::EmptyValue(), &text.Find("x"));
    EXPECT_EQ(&BindingProperty::EmptyValue(), &empty.Find("x"));
    EXPECT_EQ(BindingKind::Collection, list.Kind());
    EXPECT_EQ("abc", text.GetString());
}

TEST(BindingStructureTest, ContainsCountsEmptyEntriesButNotOtherKinds) {
    BindingProperty value;
    value["present"];
    EXPECT_TRUE(value.Contains("present"));
    EXPECT_FALSE(value.Contains("absent"));
    EXPECT_FALSE(BindingProperty("present").Contains("present"));
}

TEST(BindingStructureTest, RemoveDropsTheEntryAndItsKey) {
    BindingProperty value;
    value["a"] = "x";
    value["b"] = 2;
    EXPECT_TRUE(value.Remove("a"));
    EXPECT_FALSE(value.Remove("a"));
    EXPECT_EQ((std::vector<std::string>{"b"}), KeysOf(value));
    EXPECT_EQ(1u, value.Arena()->InternedTextCount());  // "b" only
}

TEST(BindingStructureTest, PrehashedKeysFindTheSameEntries) {
    BindingProperty value;
    const BindingHashedKey key("name");
    value[key] = "Kai";
    EXPECT_EQ("Kai", value.Find(BindingHashedKey::Owned("name")).GetString());
    EXPECT_EQ("Kai", value.Find("name").GetString());
}

TEST(BindingStructureTest, RepeatedKeysAreInternedOncePerTree) {
    BindingProperty list;
    for (int i = 0; i < 50; ++i) {
        BindingProperty& element = list.Append();
        element["id"] = i;
        element["name"] = "same";
    }
    EXPECT_EQ(3u, list.Arena()->InternedTextCount());
    list.At(0);
    list = BindingProperty();
    EXPECT_EQ(BindingKind::Empty, list.Kind());
}

TEST(BindingStructureTest, ReservingTextsKeepsEveryInternedTextAndItsReferences) {
    BindingProperty list;
    for (int i = 0; i < 20; ++i) {
        list.Append()["name"] = "text-" + std::to_string(i % 10);
    }
    ASSERT_EQ(11u, list.Arena()->InternedTextCount());
    list.ReserveTexts(5000);
    list.ReserveTexts(3);  // never shrinks
    for (int i = 0; i < 10; ++i) {
        const std::string text = "text-" + std::to_string(i);
        const BindingText* entry = list.Arena()->Lookup(text, Fnv1a(text));
        ASSERT_NE(nullptr, entry) << text;
        EXPECT_EQ(list.At(static_cast<std::size_t>(i)).Find("name").GetCString(), entry->Chars());
        EXPECT_EQ(2u, entry->references);
    }
    list.Append()["name"] = "text-3";  // found again, not added
    EXPECT_EQ(11u, list.Arena()->InternedTextCount());
    for (int i = 0; i < 21; ++i) {
        list[i].Clear();
    }
    EXPECT_EQ(0u, list.Arena()->InternedTextCount());
}

TEST(BindingStructureTest, ReservingTextsOnAnEmptyValueFillsLikeAnyOther) {
    BindingProperty value;
    value.ReserveTexts(100000);
    EXPECT_EQ(BindingKind::Empty, value.Kind());
    for (int i = 0; i < 3000; ++i) {
        value["k" + std::to_string(i)] = "v" + std::to_string(i / 2);
    }
    EXPECT_EQ(4500u, value.Arena()->InternedTextCount());
    EXPECT_EQ("v1499", value.Find("k2999").GetString());
}

TEST(BindingStructureTest, AppendEntryInOrderFallsBackToTheOrderedInsert) {
    BindingProperty value;
    value.AppendEntryInOrder("b") = 1;
    value.AppendEntryInOrder("c") = 2;
    value.AppendEntryInOrder("a") = 3;  // out of order: still placed by key
    value.AppendEntryInOrder("c") = 4;  // present: the existing entry
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), KeysOf(value));
    EXPECT_EQ(4, value.Find("c").GetSigned());
}

TEST(BindingStructureTest, CopyKeysFromSharesKeysWithinATree) {
    BindingProperty list;
    list[0]["x"] = 1;
    list[0]["y"] = 2;
    list[1].CopyKeysFrom(list.At(0));
    EXPECT_EQ((std::vector<std::string>{"x", "y"}), KeysOf(list.At(1)));
    EXPECT_TRUE(list.At(1).Find("x").IsEmpty());
    EXPECT_EQ(list.At(0).Entries()[0].KeyText(), list.At(1).Entries()[0].KeyText());
    BindingProperty other;
    other.CopyKeysFrom(list.At(0));
    EXPECT_EQ((std::vector<std::string>{"x", "y"}), KeysOf(other));
    list.Clear();
    EXPECT_EQ(0u, list.Arena()->InternedTextCount());
}

// ---- collections ---------------------------------------------------------------------------

TEST(BindingCollectionTest, IndexSubscriptOnEmptyGrowsWithEmptyElements) {
    BindingProperty value;
    value[3] = "x";
    ASSERT_EQ(4u, value.Size());
    EXPECT_TRUE(value.At(0).IsEmpty());
    EXPECT_TRUE(value.At(2).IsEmpty());
    EXPECT_EQ("x", value.At(3).GetString());
}

TEST(BindingCollectionTest, IndexSubscriptOnAStructureDropsIt) {
    BindingProperty value;
    value["a"] = 1;
    value[0] = 2;
    EXPECT_EQ(BindingKind::Collection, value.Kind());
    EXPECT_EQ(1u, value.Size());
}

TEST(BindingCollectionTest, AtOutsideTheCollectionIsTheEmptyValue) {
    BindingProperty value;
    value.Append() = 1;
    EXPECT_EQ(&BindingProperty::EmptyValue(), &value.At(1));
    EXPECT_EQ(&BindingProperty::EmptyValue(), &BindingProperty(5).At(0));
}

TEST(BindingCollectionTest, AppendKeepsInsertionOrderAcrossGrowth) {
    BindingProperty value;
    value.Reserve(10);  // not a collection yet: nothing happens
    EXPECT_TRUE(value.IsEmpty());
    for (int i = 0; i < 1000; ++i) {
        value.Append() = i;
    }
    ASSERT_EQ(1000u, value.Size());
    int expected = 0;
    for (const BindingProperty& element : value.Elements()) {
        EXPECT_EQ(expected++, element.GetSigned());
    }
}

// ---- copy, move and arena ownership --------------------------------------------------------

BindingProperty SampleTree() {
    BindingProperty root;
    root["name"] = "club";
    root["blob"] = BindingBlob{1, 2, 3};
    root["kind"] = BindingEnumRecord{2, &StaticType::Info<int>()};
    BindingProperty& members = root["members"];
    for (int i = 0; i < 3; ++i) {
        BindingProperty& member = members.Append();
        member["id"] = i;
        member["ratio"] = i * 0.5;
        member["nick"] = "n" + std::to_string(i);
    }
    return root;
}

TEST(BindingCopyTest, DeepCopyIsEqualAndUsesItsOwnArena) {
    const BindingProperty original = SampleTree();
    BindingProperty copy(original);
    EXPECT_EQ(original, copy);
    EXPECT_NE(original.Arena(), copy.Arena());
    EXPECT_TRUE(copy.OwnsArena());
    copy["members"][0]["nick"] = "changed";
    EXPECT_EQ("n0", original.Find("members").At(0).Find("nick").GetString());
}

TEST(BindingCopyTest, EqualityIsStructuralForNaN) {
    const BindingProperty nan(std::nan(""));
    EXPECT_EQ(nan, BindingProperty(nan));
    EXPECT_FALSE(BindingProperty(0.0) == nan);
    EXPECT_FALSE(BindingProperty(1) == BindingProperty(1u));  // kinds differ
}

TEST(BindingCopyTest, CopyIntoAChildInternsInTheParentsArena) {
    const BindingProperty source = SampleTree();
    BindingProperty target;
    target["inner"] = source;
    EXPECT_EQ(source, target.Find("inner"));
    EXPECT_EQ(target.Arena(), target.Find("inner").Arena());
    EXPECT_FALSE(target.Find("inner").OwnsArena());
}

TEST(BindingCopyTest, CopyOfItsOwnChildReplacesTheWholeValue) {
    BindingProperty root = SampleTree();
    const BindingProperty expected = root.Find("members").At(1);
    root = root["members"][1];
    EXPECT_EQ(expected, root);
}

TEST(BindingCopyTest, CopyOfTheParentIntoItsChildIsSafe) {
    BindingProperty root;
    root["a"] = 1;
    root["self"] = root;
    EXPECT_EQ(1, root.Find("self").Find("a").GetSigned());
    EXPECT_TRUE(root.Find("self").Find("self").IsEmpty());
}

TEST(BindingMoveTest, MoveBetweenRootsSwapsArenas) {
    BindingProperty source = SampleTree();
    BindingArena* arena = source.Arena();
    BindingProperty target;
    target = std::move(source);
    EXPECT_EQ(arena, target.Arena());
    EXPECT_TRUE(source.IsEmpty());
    BindingProperty constructed(std::move(target));
    EXPECT_EQ(arena, constructed.Arena());
    EXPECT_TRUE(target.IsEmpty());
    EXPECT_EQ("club", constructed.Find("name").GetString());
}

TEST(BindingMoveTest, MovingAChildIntoARootCopiesItAndEmptiesTheChild) {
    BindingProperty tree = SampleTree();
    BindingProperty root;
    root = std::move(tree["members"][0]);
    EXPECT_EQ(0, root.Find("id").GetSigned(-1));
    EXPECT_NE(tree.Arena(), root.Arena());
    EXPECT_TRUE(tree.Find("members").At(0).IsEmpty());
    EXPECT_EQ(3u, tree.Find("members").Size());
}

TEST(BindingMoveTest, MovingADescendantOverItsAncestorKeepsTheDescendant) {
    BindingProperty tree = SampleTree();
    tree["members"] = std::move(tree["members"][2]);
    EXPECT_EQ("n2", tree.Find("members").Find("nick").GetString());
}

TEST(BindingMoveTest, MovingARootIntoAChildCopiesIt) {
    BindingProperty source = SampleTree();
    BindingProperty parent;
    parent["child"] = std::move(source);
    EXPECT_TRUE(source.IsEmpty());
    EXPECT_EQ("club", parent.Find("child").Find("name").GetString());
    EXPECT_EQ(parent.Arena(), parent.Find("child").Arena());
}

TEST(BindingMoveTest, MovingARootIntoItsOwnChildLeavesTheClearedRoot) {
    BindingProperty root = SampleTree();
    root["members"] = std::move(root);
    EXPECT_TRUE(root.IsEmpty());
}

TEST(BindingCopyTest, AssigningAPartOfItsOwnTextKeepsThatPart) {
    BindingProperty value("abcdef");
    value = value.GetString().substr(0, 3);
    EXPECT_EQ("abc", value.GetString());
    value = value.GetString();
    EXPECT_EQ("abc", value.GetString());
}

// ---- assignments whose source lives in the content they replace ----------------------------
// Blobs larger than the largest pooled block come from the heap, where the sanitizer build
// reports any read after release; the values are checked as well.

BindingBlob LargeBlob(std::uint8_t first) {
    BindingBlob bytes(3000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(first + i);
    }
    return bytes;
}

TEST(BindingAliasingTest, AValueTakesItsOwnBlobOrAPartOfIt) {
    BindingProperty value(LargeBlob(1));
    value = value.GetBlob();
    EXPECT_EQ(BindingProperty(LargeBlob(1)), value);
    value = value.GetBlob().subspan(1, 2);
    EXPECT_EQ(BindingProperty(BindingBlob{2, 3}), value);
}

TEST(BindingAliasingTest, ARootTakesTheBytesOrTheEnumOfItsOwnChild) {
    BindingProperty root = SampleTree();
    root["blob"] = LargeBlob(7);
    root = root["blob"].GetBlob();
    EXPECT_EQ(BindingProperty(LargeBlob(7)), root);

    root = SampleTree();
    root = root["kind"].GetEnum();
    EXPECT_EQ(2, root.GetEnum().value);
    EXPECT_EQ(&StaticType::Info<int>(), root.GetEnum().type);
}

TEST(BindingAliasingTest, AContainerTakesTheBytesOfItsElement) {
    BindingProperty root = SampleTree();
    BindingProperty& members = root["members"];
    members[1]["photo"] = LargeBlob(9);
    members = members[1]["photo"].GetBlob();
    EXPECT_EQ(BindingProperty(LargeBlob(9)), root.Find("members"));
}

TEST(BindingAliasingTest, AnEntryTakesItsSiblingsBytesAndCopy) {
    BindingProperty root = SampleTree();
    root["blob"] = LargeBlob(3);
    root["name"] = root["blob"].GetBlob();
    root["kind"] = root["blob"];
    EXPECT_EQ(BindingProperty(LargeBlob(3)), root.Find("name"));
    EXPECT_EQ(BindingProperty(LargeBlob(3)), root.Find("kind"));
    EXPECT_EQ(BindingProperty(LargeBlob(3)), root.Find("blob"));
}

TEST(BindingAliasingTest, AKeyTakenFromTheContentItReplaces) {
    BindingProperty text("only");
    text[text.GetString()] = 1;
    EXPECT_EQ((std::vector<std::string>{"only"}), KeysOf(text));

    BindingProperty list;
    list.Append() = "first";
    list.AppendEntryInOrder(list.At(0).GetString()) = 2;
    EXPECT_EQ(2, list.Find("first").GetSigned());

    BindingProperty rows;
    rows.Append()["x"] = 1;
    const BindingText* key = rows.At(0).Entries()[0].KeyText();
    rows.InsertEntryAt(0, key) = 3;
    EXPECT_EQ(3, rows.Find("x").GetSigned());
    rows.Clear();
    EXPECT_EQ(0u, rows.Arena()->InternedTextCount());
}

TEST(BindingAliasingTest, KeysCopiedFromTheValuesOwnEntry) {
    BindingProperty value;
    value["layout"]["x"] = 1;
    value["layout"]["y"] = 2;
    value.CopyKeysFrom(value["layout"]);
    EXPECT_EQ((std::vector<std::string>{"x", "y"}), KeysOf(value));
    EXPECT_TRUE(value.Find("x").IsEmpty());
}

TEST(BindingCollectionTest, AbsurdSizesAreRefusedWithoutCorruption) {
    BindingProperty value;
    value.Append() = 1;
    value.Reserve(std::numeric_limits<std::size_t>::max() / 2);  // a hint only
    EXPECT_EQ(1u, value.Size());
    EXPECT_THROW(value[std::numeric_limits<std::size_t>::max() / 2], std::bad_alloc);
    EXPECT_EQ(1, value.At(0).GetSigned());
}

TEST(BindingStructureTest, AKeyThatCannotBeStoredLeavesTheStructureAsItWas) {
    BindingProperty value;
    value["b"] = 1;
    value["d"] = 2;
    // A key as long as the 32-bit lengths allow and more; its hash is given, so it is never read.
    const std::string shortText = "c";
    const BindingHashedKey tooLong(std::string_view(shortText.data(), std::size_t{1} << 31), 7);
    EXPECT_THROW(value[tooLong], std::bad_alloc);
    EXPECT_EQ(2u, value.Size());
    EXPECT_EQ(1, value.Find("b").GetSigned());
    EXPECT_EQ(2, value.Find("d").GetSigned());
    value["c"] = 3;
    EXPECT_EQ(3u, value.Size());
}

TEST(BindingMoveTest, ClearKeepsTheArenaAndReleasesTexts) {
    BindingProperty value = SampleTree();
    BindingArena* arena = value.Arena();
    value.Clear();
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_EQ(arena, value.Arena());
    EXPECT_EQ(0u, arena->InternedTextCount());
}

// ---- BindingResult -------------------------------------------------------------------------

TEST(BindingResultTest, FreshResultIsAnEmptySuccess) {
    const BindingResult result;
    EXPECT_TRUE(result.success);
    EXPECT_TRUE(result.value.IsEmpty());
    EXPECT_EQ("", result.ErrorText());
}

TEST(BindingResultTest, FailureIsAStructureWithTheErrorText) {
    BindingResult result;
    result.value = 5;
    result.Fail("went wrong");
    EXPECT_FALSE(result.success);
    ASSERT_EQ(BindingKind::Structure, result.value.Kind());
    EXPECT_EQ(1u, result.value.Size());
    EXPECT_EQ("went wrong", result.value.Find("error").GetString());
    EXPECT_EQ("went wrong", result.ErrorText());
}

TEST(BindingResultTest, SecondFailureReplacesTheText) {
    BindingResult result;
    result.Fail("first");
    result.Fail("second");
    EXPECT_FALSE(result.success);
    EXPECT_EQ("second", result.ErrorText());
    EXPECT_EQ(1u, result.value.Size());
}

TEST(BindingResultTest, ErrorTextNeedsAStringUnderError) {
    BindingResult result = BindingResult::Failure("x");
    result.value["error"] = 3;
    EXPECT_EQ("", result.ErrorText());
}

TEST(BytesEqualTest, TellsADifferenceAtEveryPositionOfEveryLength) {
    for (std::size_t length = 0; length <= 40; ++length) {
        std::string a(length, 'k');
        std::string b = a;
        EXPECT_TRUE(BytesEqual(a.data(), b.data(), length)) << length;
        for (std::size_t at = 0; at < length; ++at) {
            b[at] = 'K';
            EXPECT_FALSE(BytesEqual(a.data(), b.data(), length)) << length << " at " << at;
            b[at] = 'k';
        }
    }
}

}  // namespace
}  // namespace Kolm
