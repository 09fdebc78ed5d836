#include "core/Error.h"

#include <gtest/gtest.h>

CORVANE_DECLARE_ERROR(eSample)

TEST(ErrorBase, KeepsTextClassNameInnerChainAndStack) {
  const eSample lInner("inner text");
  const eError lOuter("outer text", lInner, "eOuter");
  EXPECT_STREQ(lOuter.what(), "outer text");
  EXPECT_EQ(lOuter.ClassName(), "eOuter");
  ASSERT_NE(lOuter.Inner(), nullptr);
  EXPECT_EQ(lOuter.Inner()->Message(), "inner text");
  EXPECT_EQ(lOuter.Inner()->ClassName(), "eSample");
  EXPECT_FALSE(lInner.StackTrace().isEmpty());
}

TEST(ErrorBase, UmlautsSurviveTheNarrowText) {
  const eError lError(QString::fromUtf8("Übersetzungsproblem!"));
  EXPECT_EQ(QString::fromUtf8(lError.what()), QString::fromUtf8("Übersetzungsproblem!"));
}
