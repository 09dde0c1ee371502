#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/message_box.h"

namespace mireo {
namespace {

TEST(TerminalMessageBox, WritesCaptionAndTextToStderr) {
    ::testing::internal::CaptureStderr();
    const MbResult r = SystemMessageBox().Show("Mireo", "No vCal/iCal files were found.", MbIcon::Exclamation,
                                               MbButtons::Ok);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Mireo: No vCal/iCal files were found.\n");
    EXPECT_EQ(r, MbResult::Ok);
}

TEST(TerminalMessageBox, QuestionWithoutTerminalAnswersOk) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(SystemMessageBox().Show("Mireo - Error", "a.vcf file cannot be opened.", MbIcon::Error,
                                      MbButtons::OkCancel),
              MbResult::Ok);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Mireo - Error: a.vcf file cannot be opened.\n");
}

}  // namespace
}  // namespace mireo
