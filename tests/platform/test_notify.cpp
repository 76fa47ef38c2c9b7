#include <gtest/gtest.h>

#include "platform/notify.h"

using namespace kelvaro;

TEST(Notify, CaptureCollectsAndRestoresPreviousSink) {
  int outer = 0;
  auto previous = setMessageSink([&](const Message&) { ++outer; return MsgAnswer::Ok; });
  {
    MessageCapture cap(MsgAnswer::No);
    showError("Error calculating something");
    EXPECT_EQ(showMessage({MsgKind::Confirmation, "Save?", {}, MsgButtons::YesNoCancel}), MsgAnswer::No);
    ASSERT_EQ(cap.messages().size(), 2u);
    EXPECT_EQ(cap.messages()[0].kind, MsgKind::Error);
    EXPECT_EQ(cap.messages()[0].text, "Error calculating something");
  }
  showInfo("after");
  EXPECT_EQ(outer, 1);
  setMessageSink(std::move(previous));
}
