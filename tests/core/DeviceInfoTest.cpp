#include "core/DeviceInfo.h"
#include "core/Utils.h"

#include "LocaleGuard.h"

#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {
// A listener that counts the notifications it receives.
struct tListener {
  int mCount = 0;
  std::function<void(tDeviceInfo*)> mReaction;
  void Changed(tDeviceInfo* pSender) {
    ++mCount;
    if (mReaction) mReaction(pSender);
  }
  void Other(tDeviceInfo*) { ++mCount; }
  tNotifyEvent Handler() { return tNotifyEvent(this, &tListener::Changed); }
};

// A listener whose handler is inherited, as frames share a base class's handler.
struct tDerivedListener : tListener {};

int gFreeCount = 0;
void FreeHandler(tDeviceInfo*) {
  ++gFreeCount;
}

// Range 0 ... 16 bar gauge with a 4 ... 20 mA output.
void FillStandard(tDeviceInfo& pInfo) {
  pInfo.SetMBAinBar(0);
  pInfo.SetMBEinBar(16);
  pInfo.SetMBAinUnit(0);
  pInfo.SetMBEinUnit(16);
  pInfo.SetMBAUnitStr("bar");
  pInfo.SetMBEUnitStr("bar");
  pInfo.SetSBA(4);
  pInfo.SetSBE(20);
  pInfo.SetSignalUnitStr("mA");
  pInfo.SetSignalTypeStr("2L");
}

QString ErrorText(const std::function<void()>& pCall) {
  try {
    pCall();
  } catch (const eError& lError) {
    return lError.Message();
  }
  return QStringLiteral("<no error>");
}
} // namespace

TEST(DeviceInfoNotification, NewHandlerIsCalledOnceAtOnce) {
  tDeviceInfo lInfo;
  tListener lListener;
  lInfo.AddEvent(lListener.Handler());
  EXPECT_EQ(lListener.mCount, 1);
}

TEST(DeviceInfoNotification, OnlyRealChangesNotify) {
  tDeviceInfo lInfo;
  tListener lListener;
  lInfo.AddEvent(lListener.Handler());
  lListener.mCount = 0;
  lInfo.SetTag("Kessel 1");
  lInfo.SetTag("Kessel 1");
  EXPECT_EQ(lListener.mCount, 1);
  lInfo.SetTag("kessel 1"); // case-sensitive
  EXPECT_EQ(lListener.mCount, 2);
  lInfo.SetSBA(4.0f);
  lInfo.SetSBA(4.0f);
  lInfo.SetComNr(3);
  lInfo.SetComNr(3);
  lInfo.SetDeviceType(dtR7x);
  lInfo.SetDeviceType(dtR7x);
  EXPECT_EQ(lListener.mCount, 5);
}

TEST(DeviceInfoNotification, LiveValuesNeverNotifyButStampTheirTime) {
  tDeviceInfo lInfo;
  tListener lListener;
  lInfo.AddEvent(lListener.Handler());
  lListener.mCount = 0;
  const tDateTime lBefore = NowDateTime();
  lInfo.SetPressureBar(1.5);
  EXPECT_GE(lInfo.LastPressureTime(), lBefore);
  EXPECT_EQ(lInfo.LastPressureWerkTime(), 0);
  lInfo.SetPressureWerkUnit(2.5);
  EXPECT_GE(lInfo.LastPressureWerkTime(), lBefore);
  lInfo.SetTemperature(21);
  lInfo.SetPressureUnit(3);
  EXPECT_EQ(lListener.mCount, 0);
  EXPECT_EQ(lInfo.PressureBar(), 1.5);
}

TEST(DeviceInfoNotification, ResetOfAFreshRecordNotifiesThreeTimes) {
  tDeviceInfo lInfo;
  tListener lListener;
  lInfo.AddEvent(lListener.Handler());
  lListener.mCount = 0;
  lInfo.Reset();
  // Updating true, Druckkennung dkRelativ to dkNo, Updating false.
  EXPECT_EQ(lListener.mCount, 3);
  EXPECT_EQ(lInfo.Druckkennung(), dkNo);
  EXPECT_FALSE(lInfo.Updating());
}

TEST(DeviceInfoNotification, ResetKeepsPortAccuracyAndLiveValues) {
  tDeviceInfo lInfo;
  FillStandard(lInfo);
  lInfo.SetComNr(5);
  lInfo.SetAccuracy(0.1f);
  lInfo.SetTag("Kessel");
  lInfo.SetPressureBar(7);
  lInfo.Reset();
  EXPECT_EQ(lInfo.ComNr(), 5);
  EXPECT_EQ(lInfo.Accuracy(), 0.1f);
  EXPECT_EQ(lInfo.PressureBar(), 7);
  EXPECT_EQ(lInfo.Tag(), "");
  EXPECT_EQ(lInfo.MBEinBar(), 0);
  EXPECT_EQ(lInfo.SignalUnitStr(), "");
}

TEST(DeviceInfoNotification, DeleteEventRemovesTheRoutineForEveryObject) {
  tDeviceInfo lInfo;
  tListener lFirst;
  tListener lSecond;
  tListener lThird;
  lInfo.AddEvent(lFirst.Handler());
  lInfo.AddEvent(lSecond.Handler());
  lInfo.AddEvent(tNotifyEvent(&lThird, &tListener::Other));
  gFreeCount = 0;
  lInfo.AddEvent(tNotifyEvent(&FreeHandler));
  lInfo.DeleteEvent(lFirst.Handler());
  EXPECT_EQ(lInfo.EventCount(), 2);
  lInfo.SetTag("x");
  EXPECT_EQ(lFirst.mCount, 1);
  EXPECT_EQ(lSecond.mCount, 1);
  EXPECT_EQ(lThird.mCount, 2);
  EXPECT_EQ(gFreeCount, 2);
  lInfo.DeleteEvent(tNotifyEvent(&FreeHandler));
  EXPECT_EQ(lInfo.EventCount(), 1);
  // An inherited handler is the same routine as the base's.
  tDerivedListener lDerived;
  lInfo.AddEvent(tNotifyEvent(&lDerived, &tDerivedListener::Changed));
  EXPECT_EQ(lInfo.EventCount(), 2);
  lInfo.DeleteEvent(tNotifyEvent(&lSecond, &tListener::Changed));
  EXPECT_EQ(lInfo.EventCount(), 1);
  lInfo.DeleteEvent(tNotifyEvent(&lThird, &tListener::Other));
  EXPECT_EQ(lInfo.EventCount(), 0);
}

TEST(DeviceInfoNotification, HandlersRunInRegistrationOrder) {
  tDeviceInfo lInfo;
  QString lOrder;
  tListener lA;
  tListener lB;
  lA.mReaction = [&lOrder](tDeviceInfo*) { lOrder += 'A'; };
  lB.mReaction = [&lOrder](tDeviceInfo*) { lOrder += 'B'; };
  lInfo.AddEvent(tNotifyEvent(&lA, &tListener::Changed));
  lInfo.AddEvent(tNotifyEvent(&lB, &tListener::Changed));
  lOrder.clear();
  lInfo.SetSerialNr("123");
  EXPECT_EQ(lOrder, "AB");
}

TEST(DeviceInfoNotification, HandlerMayChangeTheRecordAgain) {
  tDeviceInfo lInfo;
  tListener lTagger;
  tListener lWatcher;
  // Like the main window: a new identity gets its stored tag.
  lTagger.mReaction = [](tDeviceInfo* pSender) {
    if (!pSender->Ident().isEmpty()) pSender->SetTag("Tag of " + pSender->Ident());
  };
  lInfo.AddEvent(tNotifyEvent(&lTagger, &tListener::Changed));
  lInfo.AddEvent(tNotifyEvent(&lWatcher, &tListener::Other));
  lWatcher.mCount = 0;
  lInfo.SetIdent("K40/123");
  EXPECT_EQ(lInfo.Tag(), "Tag of K40/123");
  // Once for the tag (nested), once for the identity.
  EXPECT_EQ(lWatcher.mCount, 2);
}

TEST(DeviceInfoNotification, HandlerRemovedDuringNotificationIsNotCalled) {
  tDeviceInfo lInfo;
  tListener lRemover;
  auto lVictim = std::make_unique<tListener>();
  lInfo.AddEvent(tNotifyEvent(&lRemover, &tListener::Changed));
  lInfo.AddEvent(tNotifyEvent(lVictim.get(), &tListener::Other));
  lRemover.mReaction = [&lVictim](tDeviceInfo* pSender) {
    // The listener unregisters and dies in the middle of a notification.
    pSender->DeleteEvent(tNotifyEvent(lVictim.get(), &tListener::Other));
    lVictim.reset();
  };
  lInfo.SetTag("x");
  EXPECT_EQ(lVictim, nullptr);
  EXPECT_EQ(lInfo.EventCount(), 1);
  lInfo.SetTag("y");
  EXPECT_EQ(lRemover.mCount, 3);
}

TEST(DeviceInfoNotification, HandlerAddedDuringNotificationWaitsForTheNextChange) {
  tDeviceInfo lInfo;
  tListener lAdder;
  tListener lLate;
  lInfo.AddEvent(tNotifyEvent(&lAdder, &tListener::Changed));
  lAdder.mReaction = [&lLate](tDeviceInfo* pSender) {
    if (pSender->EventCount() == 1) pSender->AddEvent(tNotifyEvent(&lLate, &tListener::Other));
  };
  lInfo.SetTag("x");
  // Only the immediate call of AddEvent.
  EXPECT_EQ(lLate.mCount, 1);
  lInfo.SetTag("y");
  EXPECT_EQ(lLate.mCount, 2);
}

TEST(DeviceInfoNotification, RecordDestroyedByItsHandlerEndsTheNotification) {
  auto lInfo = std::make_unique<tDeviceInfo>();
  tListener lKiller;
  tListener lAfter;
  lInfo->AddEvent(tNotifyEvent(&lKiller, &tListener::Changed));
  lInfo->AddEvent(tNotifyEvent(&lAfter, &tListener::Other));
  lKiller.mReaction = [&lInfo](tDeviceInfo*) { lInfo.reset(); };
  lInfo->SetTag("x");
  EXPECT_EQ(lInfo, nullptr);
  EXPECT_EQ(lAfter.mCount, 1);
}

TEST(DeviceInfoConversion, StandardRangeInEveryKindOfUnit) {
  tDeviceInfo lInfo;
  FillStandard(lInfo);
  struct tCase {
    const char* mUnit;
    double mValue;
    double mTolerance;
    int mDigits;
  };
  const tCase lCases[] = {
      {"bar", 8, 1e-12, 3},      {"mA", 12, 1e-12, 3},    {"%", 50, 1e-12, 2},
      {"psi", 116.03, 0.005, 2}, {"mbar", 8000, 1e-9, 0}, {"kPa", 800, 1e-9, 1},
      {"MPa", 0.8, 1e-12, 4},
  };
  for (const tCase& lCase : lCases) {
    int lDigits = -1;
    EXPECT_NEAR(lInfo.GetPressureInAUnit(8, lCase.mUnit, lCase.mUnit, lDigits), lCase.mValue,
                lCase.mTolerance)
        << lCase.mUnit;
    EXPECT_EQ(lDigits, lCase.mDigits) << lCase.mUnit;
  }
  lInfo.SetPressureBar(4);
  int lDigits = -1;
  EXPECT_DOUBLE_EQ(lInfo.GetPressureInAUnit("bar", "mA", lDigits), 8);
}

TEST(DeviceInfoConversion, CompoundRangeUsesStartUnitBelowZero) {
  tDeviceInfo lInfo;
  lInfo.SetMBAinBar(-1);
  lInfo.SetMBEinBar(15);
  int lDigits = -1;
  EXPECT_NEAR(lInfo.GetPressureInAUnit(-0.5, "bar", "psi", lDigits), -0.5, 1e-6);
  EXPECT_EQ(lDigits, 3);
  EXPECT_NEAR(lInfo.GetPressureInAUnit(5, "bar", "psi", lDigits), 5 / 0.06894757, 1e-3);
  EXPECT_EQ(lDigits, 2);
  EXPECT_NEAR(lInfo.GetPressureInAUnit(0, "bar", "psi", lDigits), 0, 1e-9);
  EXPECT_NEAR(lInfo.GetPressureInAUnit(-0.5, "mbar", "bar", lDigits), -500, 1e-3);
}

TEST(DeviceInfoConversion, ErrorsLeaveTheRecordAndDigitsAlone) {
  tDeviceInfo lInfo;
  int lDigits = 7;
  EXPECT_EQ(ErrorText([&] { lInfo.GetPressureInAUnit(1, "bar", "bar", lDigits); }),
            "Unknown pressure unit: bar");
  FillStandard(lInfo);
  EXPECT_EQ(ErrorText([&] { lInfo.GetPressureInAUnit(1, "bar", "Bar", lDigits); }),
            "Unknown pressure unit: Bar");
  EXPECT_EQ(ErrorText([&] { lInfo.GetPressureInAUnit(1, "bar", "g/ltrSF6", lDigits); }),
            "Unknown pressure unit: g/ltrSF6");
  EXPECT_EQ(lDigits, 7);
  lInfo.SetSBE(4);
  tLocaleGuard lLocale(tLocaleGuard::German());
  EXPECT_EQ(ErrorText([&] { lInfo.GetPressureInAUnit(1, "mA", "mA", lDigits); }),
            QString::fromUtf8("SignalBA = SignalBE (4,00) ist unzulässig!"));
  lInfo.SetMBEinBar(0);
  lInfo.SetMBAinBar(0);
  EXPECT_EQ(ErrorText([&] { lInfo.GetPressureInAUnit(1, "%", "%", lDigits); }),
            QString::fromUtf8("MBA = MBE (0,00) ist unzulässig!"));
  EXPECT_EQ(lInfo.SBE(), 4.0f);
}

TEST(DeviceInfoConversion, TemperatureUnitsAreCaseSensitive) {
  tDeviceInfo lInfo;
  lInfo.SetTemperature(20);
  EXPECT_DOUBLE_EQ(lInfo.GetTemperatureInAUnit(QString::fromUtf8("°C")), 20);
  EXPECT_DOUBLE_EQ(lInfo.GetTemperatureInAUnit("K"), 293.15);
  EXPECT_DOUBLE_EQ(lInfo.GetTemperatureInAUnit(QString::fromUtf8("°F")), 68);
  for (const char* lUnit : {"k", "C", "", "degC"}) {
    EXPECT_EQ(ErrorText([&] { lInfo.GetTemperatureInAUnit(lUnit); }), "Unbekannte Temperatur!");
  }
}

TEST(DeviceInfoTexts, RangeAndSignalInGermanAndEnglish) {
  struct tCase {
    float mStart, mEnd;
    const char* mStartUnit;
    const char* mEndUnit;
    tDruckKennung mKennung;
    const char* mGerman;
    const char* mEnglish;
  };
  const tCase lCases[] = {
      {0, 16, "bar", "bar", dkRelativ, "0 ... 16 bar rel.", "0 ... 16 bar rel."},
      {-1, 15, "bar", "psi", dkAbsolut, "-1 bar ... 15 psi abs.", "-1 bar ... 15 psi abs."},
      {0, 0.25f, "bar", "bar", dkRelativ, "0 ... 0,25 bar rel.", "0 ... 0.25 bar rel."},
      {0.000001f, 2.5f, "bar", "bar", dkNo, "0 ... 2,5 bar ---", "0 ... 2.5 bar ---"},
      {0, 1000, "mbar", "mbar", dkAbsolut, "0 ... 1000 mbar abs.", "0 ... 1000 mbar abs."},
      {0, 0.1f, "MPa", "MPa", dkRelativ, "0 ... 0,1 MPa rel.", "0 ... 0.1 MPa rel."},
  };
  for (const tCase& lCase : lCases) {
    tDeviceInfo lInfo;
    lInfo.SetMBAinUnit(lCase.mStart);
    lInfo.SetMBEinUnit(lCase.mEnd);
    lInfo.SetMBAUnitStr(lCase.mStartUnit);
    lInfo.SetMBEUnitStr(lCase.mEndUnit);
    lInfo.SetDruckkennung(lCase.mKennung);
    {
      tLocaleGuard lLocale(tLocaleGuard::German());
      EXPECT_EQ(lInfo.MBRange(), lCase.mGerman);
    }
    {
      tLocaleGuard lLocale(tLocaleGuard::English());
      EXPECT_EQ(lInfo.MBRange(), lCase.mEnglish);
    }
  }
  tDeviceInfo lInfo;
  lInfo.SetSBA(4);
  lInfo.SetSBE(20);
  lInfo.SetSignalUnitStr("mA");
  EXPECT_EQ(lInfo.SignalRange(), "");
  lInfo.SetSignalTypeStr("2L");
  EXPECT_EQ(lInfo.SignalRange(), "4 ... 20 mA");
  lInfo.SetSBA(0.5f);
  lInfo.SetSBE(4.5f);
  lInfo.SetSignalUnitStr("V");
  {
    tLocaleGuard lLocale(tLocaleGuard::German());
    EXPECT_EQ(lInfo.SignalRange(), "0,5 ... 4,5 V");
  }
  {
    tLocaleGuard lLocale(tLocaleGuard::English());
    EXPECT_EQ(lInfo.SignalRange(), "0.5 ... 4.5 V");
  }
  for (const char* lType : {"USB", "RS-232"}) {
    lInfo.SetSignalTypeStr(lType);
    EXPECT_EQ(lInfo.SignalRange(), lType);
  }
}

TEST(DeviceInfoTexts, RangeAfterResetIsEmptyButNotWithUnits) {
  tDeviceInfo lInfo;
  // A fresh record is dkRelativ, so it already shows a (zero) range.
  EXPECT_EQ(lInfo.MBRange(), "0 ... 0  rel.");
  lInfo.Reset();
  EXPECT_EQ(lInfo.MBRange(), "");
  lInfo.SetMBAUnitStr("bar");
  lInfo.SetMBEUnitStr("bar");
  EXPECT_EQ(lInfo.MBRange(), "0 ... 0 bar ---");
}
