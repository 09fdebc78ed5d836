#include "core/Wait.h"
#include "core/NestedLoop.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

// The wait blocks until something happens: its condition is asked once per event, so a
// wait that woke on a tick of its own would show in the count.
TEST(WaitUntil, EndsOnTheEventThatFulfilsItAndSleepsInBetween) {
  int lEvents = 0;
  QTimer lTimer;
  QObject::connect(&lTimer, &QTimer::timeout, [&lEvents] { ++lEvents; });
  lTimer.start(30);
  int lAsked = 0;
  EXPECT_TRUE(WaitUntil(
      [&] {
        ++lAsked;
        return lEvents == 3;
      },
      5000));
  EXPECT_EQ(lEvents, 3);
  EXPECT_LE(lAsked, 6);
}

TEST(WaitUntil, KeepsItsDeadlineWithoutWakingForNothing) {
  int lAsked = 0;
  QElapsedTimer lClock;
  lClock.start();
  EXPECT_FALSE(WaitUntil(
      [&] {
        ++lAsked;
        return false;
      },
      200));
  EXPECT_GE(lClock.elapsed(), 200);
  EXPECT_LE(lAsked, 3);
  // A zero time-out is one pass of the loop.
  EXPECT_FALSE(WaitUntil([] { return false; }, 0));
}

// Nothing may be left to happen (the reply is already in): the wait must not sit out its
// time-out for an event.
TEST(WaitUntil, AConditionThatAlreadyHoldsEndsTheWaitAfterThePendingEvents) {
  bool lPendingRan = false;
  QTimer::singleShot(0, [&lPendingRan] { lPendingRan = true; });
  int lAsked = 0;
  QElapsedTimer lClock;
  lClock.start();
  EXPECT_TRUE(WaitUntil(
      [&] {
        ++lAsked;
        return true;
      },
      5000));
  EXPECT_LT(lClock.elapsed(), 1000);
  EXPECT_EQ(lAsked, 1);
  EXPECT_TRUE(lPendingRan);
}

// A handler run by the wait may wait itself (a command inside a click); the outer deadline
// passes meanwhile and must end the outer wait as soon as the inner one returns.
TEST(WaitUntil, DeadlinePassedInsideANestedWaitEndsTheOuterOne) {
  int lDepthInside = 0;
  QTimer::singleShot(0, [&] {
    lDepthInside = tNestedLoop::Depth();
    WaitUntil([] { return false; }, 150);
  });
  QElapsedTimer lClock;
  lClock.start();
  EXPECT_FALSE(WaitUntil([] { return false; }, 50));
  EXPECT_EQ(lDepthInside, 1);
  EXPECT_GE(lClock.elapsed(), 150);
  EXPECT_LT(lClock.elapsed(), 1000);
  EXPECT_EQ(tNestedLoop::Depth(), 0);
}
