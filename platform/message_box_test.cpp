#include "platform/message_box.h"

#include <gtest/gtest.h>

#include "platform/testing/recording_message_box.h"

namespace mireo {
namespace {

TEST(MessageBox, SystemBoxIsInForceByDefault) { EXPECT_EQ(&CurrentMessageBox(), &SystemMessageBox()); }

TEST(MessageBox, SetMessageBoxReturnsThePreviousAndNullRestores) {
    CRecordingMessageBox first;
    CRecordingMessageBox second;
    EXPECT_EQ(SetMessageBox(&first), nullptr);
    EXPECT_EQ(&CurrentMessageBox(), &first);
    EXPECT_EQ(SetMessageBox(&second), &first);
    EXPECT_EQ(&CurrentMessageBox(), &second);
    EXPECT_EQ(SetMessageBox(nullptr), &second);
    EXPECT_EQ(&CurrentMessageBox(), &SystemMessageBox());
}

TEST(MessageBox, ScopedDoubleRecordsAndAnswersInOrder) {
    CRecordingMessageBox box;
    {
        CScopedMessageBox scoped(box);
        box.QueueAnswer(MbResult::Cancel);
        EXPECT_EQ(CurrentMessageBox().Show("Mireo - Error", "C:\\a.vcf file cannot be opened.", MbIcon::Error,
                                           MbButtons::OkCancel),
                  MbResult::Cancel);
        // Queue empty: OK, as a user who just confirms.
        EXPECT_EQ(CurrentMessageBox().Show("Mireo", "Please, enter categories", MbIcon::None, MbButtons::Ok),
                  MbResult::Ok);
    }
    EXPECT_EQ(&CurrentMessageBox(), &SystemMessageBox());
    ASSERT_EQ(box.Shown().size(), 2u);
    EXPECT_EQ(box.Shown()[0].caption, "Mireo - Error");
    EXPECT_EQ(box.Shown()[0].icon, MbIcon::Error);
    EXPECT_EQ(box.Shown()[0].buttons, MbButtons::OkCancel);
    EXPECT_EQ(box.Shown()[1].text, "Please, enter categories");
}

}  // namespace
}  // namespace mireo
