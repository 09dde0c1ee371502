#include "vcard/contact_record.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace mireo {
namespace {

// The table is what the store glue walks: each field must appear exactly once, with
// the member of its own name, or a property silently goes missing.
TEST(ContactPropertyTable, CoversEveryFieldOnce) {
    ContactRecord r;
    std::set<const void*> members;
    std::set<std::string> names;
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(names.insert(p.name).second);
        const void* member = nullptr;
        switch (p.kind) {
            case ContactValueKind::kText:
                ASSERT_NE(p.text, nullptr);
                member = &(r.*p.text);
                break;
            case ContactValueKind::kDate:
                ASSERT_NE(p.date, nullptr);
                member = &(r.*p.date);
                break;
            case ContactValueKind::kInteger:
                ASSERT_NE(p.integer, nullptr);
                member = &(r.*p.integer);
                break;
        }
        EXPECT_TRUE(members.insert(member).second);
        EXPECT_NE(p.usedBy, 0u);
        EXPECT_EQ(FindContactProperty(p.name), &p);
    }
    // 67 text fields, 3 dates, the sensitivity.
    EXPECT_EQ(members.size(), 71u);
    EXPECT_EQ(sizeof(ContactRecord), 67 * sizeof(std::u16string) + 3 * sizeof(std::optional<LocalTime>) + 8);
}

TEST(ContactPropertyTable, GuardedPropertiesGoThroughTheSafeItem) {
    const std::set<std::string> guarded = {"Body", "Email1Address", "Email1AddressType", "Email2Address",
                                           "Email2AddressType", "Email3Address", "Email3AddressType",
                                           "IMAddress", "NetMeetingAlias"};
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(p.access == ContactAccess::kSafeItem, guarded.count(p.name) == 1);
        const bool failsCard = guarded.count(p.name) == 1 || std::string(p.name) == "NetMeetingServer";
        EXPECT_EQ(p.failReadFailsCard, failsCard);
    }
    EXPECT_TRUE(FindContactProperty("IMAddress")->needsMajor10);
    EXPECT_EQ(FindContactProperty("imaddress"), nullptr);
    EXPECT_EQ(FindContactProperty("FullName")->usedBy, kUsedByExport | kUsedByImport);  // the FN of a nameless contact
    EXPECT_EQ(FindContactProperty("FileAs")->usedBy, kUsedByExport);
}

TEST(ContactRecordDefaults, DatesAreNone) {
    ContactRecord r;
    EXPECT_FALSE(r.Birthday);
    EXPECT_FALSE(r.Anniversary);
    EXPECT_FALSE(r.LastModificationTime);
    EXPECT_EQ(r.Sensitivity, kSensitivityNormal);
}

}  // namespace
}  // namespace mireo
