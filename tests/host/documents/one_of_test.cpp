// Alternatives of a record: exactly one of a group of optional fields, found through the
// record's own Map, checked in its Finish and reported where the record is.
#include "host/documents/one_of.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <optional>
#include <string>
#include <vector>

#include "host/documents/record_reader.h"

namespace Kolm::Host {

struct Shipment {
    std::optional<std::string> byRoad;
    std::optional<uint64_t> byRail;
    std::optional<bool> byAir;
    uint64_t weight = 0;
    std::optional<std::string> paidBy;
    std::optional<std::string> paidOnArrival;
};

namespace {
constexpr const char* kCarriers[] = {"byRoad", "byRail", "byAir"};
constexpr const char* kPayments[] = {"paidBy", "paidOnArrival"};
}  // namespace

template <>
struct RecordMap<Shipment> {
    static constexpr const char* kNoun = "a shipment";
    template <class Io>
    static void Map(Io& io, Shipment& shipment) {
        io.Optional("byRoad", shipment.byRoad);
        io.Optional("byRail", shipment.byRail);
        io.Optional("byAir", shipment.byAir);
        io.Optional("weight", shipment.weight, uint64_t{0});
        io.Optional("paidBy", shipment.paidBy);
        io.Optional("paidOnArrival", shipment.paidOnArrival);
    }
    static std::optional<FieldProblem> Finish(Shipment& shipment) {
        if (std::optional<FieldProblem> problem = ExactlyOneOf(shipment, kCarriers, "carrier")) {
            return problem;
        }
        return ExactlyOneOf(shipment, kPayments, "payment",
                            "needs a payment: paidBy (before) or paidOnArrival");
    }
};

struct Order {
    std::vector<Shipment> shipments;
};

template <>
struct RecordMap<Order> {
    template <class Io>
    static void Map(Io& io, Order& order) {
        io.Required("shipments", order.shipments);
    }
};

namespace {

std::string Problem(const std::string& json) {
    rapidjson::Document document;
    document.Parse(json.c_str());
    Order order;
    return ReadDocument(document, order, FieldNaming::Path, "the order");
}

TEST(OneOf, ARecordWithOneOfEachGroupIsRead) {
    EXPECT_EQ(Problem(R"({"shipments":[{"byRail":7,"paidBy":"Aurelia"},)"
                      R"({"byAir":false,"weight":3,"paidOnArrival":"Bram"}]})"),
              "");
}

TEST(OneOf, NoneOrTwoGivenIsNamedAtTheRecord) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"shipments":[{"paidBy":"A"},{"weight":1}]})",
         "shipments[0]: needs one carrier: byRoad, byRail or byAir"},
        {R"({"shipments":[{"byRoad":"M4","paidBy":"A"},{"byAir":true,"byRail":2,"paidBy":"A"}]})",
         "shipments[1]: gives both byRail and byAir; a shipment has one carrier"},
        {R"({"shipments":[{"byRoad":"M4","byRail":1,"byAir":true}]})",
         "shipments[0]: gives both byRoad and byRail; a shipment has one carrier"},
        // The second group, with its own words for a record that gives none.
        {R"({"shipments":[{"byRoad":"M4","weight":0}]})",
         "shipments[0]: needs a payment: paidBy (before) or paidOnArrival"},
        {R"({"shipments":[{"byRoad":"M4","paidBy":"A","paidOnArrival":"B"}]})",
         "shipments[0]: gives both paidBy and paidOnArrival; a shipment has one payment"},
    };
    for (const auto& [json, problem] : cases) {
        EXPECT_EQ(Problem(json), problem) << json;
    }
}

TEST(OneOf, TheGivenAlternativeIsFoundByItsIndexInTheGroup) {
    Shipment shipment;
    EXPECT_EQ(GivenAlternative(shipment, kCarriers), std::nullopt);
    shipment.byAir = false;  // given, though it holds false
    EXPECT_EQ(GivenAlternative(shipment, kCarriers), std::optional<std::size_t>(2));
    shipment.byRoad = "";
    EXPECT_EQ(GivenAlternative(shipment, kCarriers), std::nullopt);
}

}  // namespace
}  // namespace Kolm::Host
