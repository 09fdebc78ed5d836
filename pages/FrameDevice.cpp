#include "pages/FrameDevice.h"

#include "core/NestedLoop.h"
#include "core/Utils.h"
#include "core/Wait.h"
#include "widgets/DialogService.h"
#include "i18n/MessageSlots.h"
#include "i18n/Resources.h"
#include "widgets/RichEdit.h"
#include "pages/FrameDeviceK40.h"
#include "pages/FrameDeviceR70.h"
#include "protocol/common/FrameCodec.h"
#include "protocol/common/LiveReplyWatch.h"
#include "protocol/k40/DMU_K40.h"
#include "serial/ComPort.h"
#include "serial/TrafficLog.h"
#include "serial/TrafficTap.h"
#include "serial/USB_CP210x.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>
#include <QVBoxLayout>
#include <array>

namespace {

// Messages 102 to 109, shared by all frames and the Ports dialog.
tMessageSlots sOutText{"Verbindungsaufbau nicht möglich", "Schnittstelle existiert nicht.",
                       "Schnittstelle ist bereits geöffnet.",
                       "Keine Berechtigung: den Benutzer in die Gruppe \"%1\" aufnehmen (sudo "
                       "usermod -a -G %1 $USER) und neu anmelden.",
                       "Keine Berechtigung: die Zugriffsrechte des Geräts erlauben kein Lesen "
                       "und Schreiben.",
                       "Netzwerkadresse %1: Rechner unbekannt.",
                       "Netzwerkadresse %1: Verbindung abgewiesen.",
                       "Netzwerkadresse %1: keine Antwort innerhalb von 3 s."};

tComPortFactory& PortFactory() {
  static tComPortFactory lFactory;
  return lFactory;
}

// A probe that got no valid reply. Kept apart from port errors, which end the search.
CORVANE_DECLARE_ERROR(eProbe)

// Serial-number prefixes of the maker's bridges: HALVEX and R-7X / VQ-5+ written as the
// hexadecimal codes of their characters, and the plain-text form of the R-7X bridge.
const QString cPrefixR7xHex = "48414C564558_522D3758_";
const QString cPrefixR7xText = "HALVEX_R-7X_";
const QString cPrefixVQ5Hex = "48414C564558_56512D352B_";

constexpr int cSilenceOrdinaryMs = 5000;
constexpr int cSearchLimitMs = 6000;
constexpr int cProgressMax = 5100;
constexpr int cProbeWaitMs = 50;

// The big connect button: picture above the caption.
class tConnectButton : public QPushButton {
public:
  using QPushButton::QPushButton;

  void SetImages(const QIcon& pEnabled, const QIcon& pDisabled) {
    mEnabled = pEnabled;
    mDisabled = pDisabled;
    update();
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter lPainter(this);
    QStyleOptionButton lOption;
    initStyleOption(&lOption);
    lOption.text.clear();
    lOption.icon = QIcon();
    lPainter.drawControl(QStyle::CE_PushButtonBevel, lOption);

    const QIcon& lIcon = isEnabled() ? mEnabled : mDisabled;
    const QSize lIconSize(32, 32);
    QFontMetrics lMetrics(font());
    const int lGap = 2;
    const int lHeight = lIconSize.height() + lGap + lMetrics.height();
    const int lTop = (height() - lHeight) / 2;
    QRect lIconRect((width() - lIconSize.width()) / 2, lTop, lIconSize.width(), lIconSize.height());
    lIcon.paint(&lPainter, lIconRect);
    QRect lTextRect(0, lTop + lIconSize.height() + lGap, width(), lMetrics.height());
    lPainter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    lPainter.drawText(lTextRect, Qt::AlignCenter, text());
  }

private:
  QIcon mEnabled;
  QIcon mDisabled;
};

} // namespace

void TFrameDevice::SetComPortFactory(tComPortFactory pFactory) {
  PortFactory() = std::move(pFactory);
}

tComPortFactory TFrameDevice::ComPortFactory() {
  if (PortFactory()) return PortFactory();
  return []() -> std::unique_ptr<iComPort> { return std::make_unique<TApdComPort>(); };
}

QString TFrameDevice::OutText(int pIndex) {
  return sOutText[pIndex];
}

QString TFrameDevice::NoPermissionText(const QString& pGroup, bool pInGroup) {
  return pInGroup ? sOutText[4] : QString(sOutText[3]).replace(QLatin1String("%1"), pGroup);
}

TFrameDevice::TFrameDevice(QWidget* AOwner) : QWidget(AOwner) {
  resize(451, 304);

  auto* lButton = new tConnectButton(this);
  lButton->setObjectName("ButtonConnect");
  lButton->setText("101@Verbinden");
  lButton->setGeometry(3, 7, 434, 73);
  QFont lFont = lButton->font();
  lFont.setBold(true);
  lFont.setPixelSize(13);
  lButton->setFont(lFont);
  lButton->SetImages(QIcon(":/images/frame_connect.svg"),
                     QIcon(":/images/frame_connect_disabled.svg"));
  ButtonConnect = lButton;
  connect(ButtonConnect, &QPushButton::clicked, this, [this] { BitBtnConnectClick(); });

  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setGeometry(3, 86, 433, 20);
  ProgressBar->setRange(0, 5000);
  ProgressBar->setTextVisible(false);
  ProgressBar->hide();

  TimerConnecting = new QTimer(this);
  TimerConnecting->setObjectName("TimerConnecting");
  TimerConnecting->setInterval(10);

  RichEditTransOutText =
      new tRichEdit({"102@Verbindungsaufbau nicht möglich", "103@Schnittstelle existiert nicht.",
                     "104@Schnittstelle ist bereits geöffnet.",
                     "105@Keine Berechtigung: den Benutzer in die Gruppe \"%1\" aufnehmen (sudo "
                     "usermod -a -G %1 $USER) und neu anmelden.",
                     "106@Keine Berechtigung: die Zugriffsrechte des Geräts erlauben kein Lesen "
                     "und Schreiben.",
                     "107@Netzwerkadresse %1: Rechner unbekannt.",
                     "108@Netzwerkadresse %1: Verbindung abgewiesen.",
                     "109@Netzwerkadresse %1: keine Antwort innerhalb von 3 s."},
                    this);
  RichEditTransOutText->setObjectName("RichEditTransOutText");
  RichEditTransOutText->hide();
  sOutText.Bind(*RichEditTransOutText);

  CheckTranslationLines(*RichEditTransOutText, 8);
  Resources().AddForm(this);
  FDeviceInfo = std::make_unique<tDeviceInfo>();
  mTraffic = std::make_shared<tTrafficLog>();
}

TFrameDevice::~TFrameDevice() {
  TimerConnecting->stop();
  DetachTimerHandler();
  if (mCOM) {
    mCOM->SetOnTriggerAvail({});
    mCOM->SetOpen(false);
    mCOM.reset();
  }
  // Pages unregister from the record, so they must go before it; a page released at an
  // earlier connection may still wait for its deferred deletion.
  for (TFrameDeviceBase* lPage : findChildren<TFrameDeviceBase*>(Qt::FindDirectChildrenOnly))
    delete lPage;
  mFrameDeviceBase = nullptr;
  FDeviceInfo.reset();
  if (Resources().IsRegistered(this)) Resources().DeleteForm(this);
}

void TFrameDevice::Initialize(int pComNr) {
  FDeviceInfo->SetComNr(pComNr);
  ProgressBar->setMaximum(cProgressMax);
  SetDeviceStatus(dsDisconnected);
  mIncludeK40 = true;
  mIsVQ5 = false;

  std::unique_ptr<tUSB_CP210x> lUSB;
  try {
    lUSB = std::make_unique<tUSB_CP210x>();
  } catch (...) {
    return; // no bridge library: an ordinary port
  }
  // Errors while counting bridges or reading their strings reach the caller.
  const quint32 lCount = lUSB->GetNumDevices();
  for (quint32 i = 0; i < lCount; ++i) {
    const QString lSerial = lUSB->GetProductString(i).toUpper();
    if (!lSerial.startsWith(cPrefixR7xHex) && !lSerial.startsWith(cPrefixR7xText) &&
        !lSerial.startsWith(cPrefixVQ5Hex))
      continue;
    try {
      // A bridge that cannot be opened is skipped: asking for its port would answer for
      // whatever handle is still open.
      if (!lUSB->Open(i)) continue;
      if (lUSB->GetComNr() == pComNr) {
        mIncludeK40 = false;
        mIsVQ5 = lSerial.startsWith(cPrefixVQ5Hex);
      }
      lUSB->Close();
    } catch (...) {
      // a bridge that cannot be opened or has no port is skipped
    }
  }
}

void TFrameDevice::BitBtnConnectClick() {
  Connect();
}

void TFrameDevice::InstallTimerHandler() {
  if (!mTimerHandler)
    mTimerHandler =
        connect(TimerConnecting, &QTimer::timeout, this, [this] { TimerConnectingTimer(); });
}

void TFrameDevice::DetachTimerHandler() {
  if (mTimerHandler) disconnect(mTimerHandler);
  mTimerHandler = {};
}

void TFrameDevice::Connect() {
  // A connected instrument keeps its data: only a frame that is about to search clears it.
  if (FDeviceStatus != dsDisconnected) return;
  FDeviceInfo->Reset();
  try {
    SetDeviceStatus(dsConnecting);
    ++mConnectGeneration;
    if (mCOM) {
      mCOM->SetOnTriggerAvail({});
      mCOM->SetOpen(false);
    }
    mCOM = std::make_unique<tTrafficTap>(ComPortFactory()(), mTraffic);
    mSearchCycle = 0;
    mCOM->SetAutoOpen(false);
    mCOM->SetComNumber(FDeviceInfo->ComNr());
    mCOM->SetBaud(9600);
    mCOM->SetRTS(true);
    mCOM->SetDTR(true);
    mCOM->SetOnTriggerAvail(
        [this](iComPort* CP, quint16 Count) { ComPortTriggerAvail(CP, Count); });
    ReleasePage();
    mCOM->SetOpen(true);
    mReceived.clear();
    mAbortConnecting = false;
    ProgressBar->setValue(0);
    if (!mInTick) InstallTimerHandler();
    TimerConnecting->start();
    mStartTime.start();
  } catch (const EOpenAborted&) {
    // Disconnected (or removed) while a network port was still connecting: no failure.
  } catch (const ENetUnreachable& e) {
    // Absent as a missing port is, and the address says which server did not answer.
    ShowConnectError(sOutText[1] + QLatin1Char(' ') +
                     QString(sOutText[5 + int(e.Reason)]).replace(QLatin1String("%1"), e.Address));
  } catch (const EBadId&) {
    ShowConnectError(sOutText[1]);
  } catch (const EAlreadyOpen&) {
    ShowConnectError(sOutText[2]);
  } catch (const ENoPermission& e) {
    ShowConnectError(NoPermissionText(e.Group, e.InGroup));
  } catch (const std::exception&) {
    ShowConnectError(QString());
  }
}

void TFrameDevice::ReleasePage() {
  if (!mFrameDeviceBase) return;
  TFrameDeviceBase* lPage = mFrameDeviceBase;
  mFrameDeviceBase = nullptr;
  lPage->SetOnDeviceStatusChanged({});
  lPage->SetOnTimeOut({});
  if (lPage->Connected()) lPage->SetConnected(false);
  lPage->hide();
  // Deferred: this may run inside a notification or a wait of the page itself.
  lPage->Release();
  DeleteWhenUnwound(lPage);
}

void TFrameDevice::ShowConnectError(const QString& pDetail) {
  Disconnect();
  Dialogs().Error(ConnectErrorText(pDetail), this);
}

QString TFrameDevice::ConnectErrorText(const QString& pDetail) const {
  // The port number goes into the message first; the detail (a port's own error text, which
  // may hold a "%") is appended as it is.
  const QString lText = QString::asprintf(qPrintable(sOutText[0]), FDeviceInfo->ComNr());
  return lText + (pDetail.isEmpty() ? QStringLiteral("!") : QStringLiteral(": ") + pDetail);
}

void TFrameDevice::Release() {
  if (mReleased) return;
  mReleased = true;
  FOnDeviceStatusChanged = {};
  TimerConnecting->stop();
  DetachTimerHandler();
  // A search still waiting for a probe's reply ends at its next pass; the port goes now.
  mAbortConnecting = true;
  if (mCOM) {
    mCOM->SetOnTriggerAvail({});
    mCOM->SetOpen(false);
  }
  if (mFrameDeviceBase) {
    mFrameDeviceBase->SetOnDeviceStatusChanged({});
    mFrameDeviceBase->SetOnTimeOut({});
    mFrameDeviceBase->Release();
  }
  hide();
  DeleteWhenUnwound(this);
}

void TFrameDevice::ComPortTriggerAvail(iComPort* CP, quint16 Count) {
  for (int i = 0; i < Count; ++i)
    mReceived.append(char(CP->ReadByte()));
}

bool TFrameDevice::SearchCancelled(quint64 pGeneration) const {
  return mAbortConnecting || pGeneration != mConnectGeneration || !mCOM;
}

QByteArray TFrameDevice::SendProbe(bool pAutoBaud, const QByteArray& pRequest,
                                   const QByteArray& pExpectedStart, int pDataLength) {
  const quint64 lGeneration = mConnectGeneration;
  if (SearchCancelled(lGeneration)) throw eProbe("Timeout!");
  FrameCodec::SendRequest(*mCOM, pRequest, pAutoBaud);
  mReceived.clear();
  Delay(cProbeWaitMs, true);
  // The probes take the first bytes of whatever came: an instrument may add one.
  const qsizetype lWanted = FrameCodec::ReplyLength(pExpectedStart.size(), pDataLength);
  const auto lDone = [&] { return mReceived.size() >= lWanted || SearchCancelled(lGeneration); };
  if (!lDone()) WaitUntil(lDone, cProbeWaitMs);
  const QByteArray lReply = mReceived;
  if (SearchCancelled(lGeneration) || lReply.size() < lWanted || !lReply.startsWith(pExpectedStart))
    throw eProbe("Timeout!");
  if (!FrameCodec::SumValid(lReply)) throw eProbe("Checksumme fehlerhaft");
  return FrameCodec::Data(lReply, pExpectedStart, pDataLength);
}

void TFrameDevice::NoteProbe(int pTry, bool pK40) {
  tTrafficContext lContext;
  lContext.Family = pK40 ? tfK40 : tfR70;
  lContext.Try = std::uint8_t(pTry);
  lContext.Cycle = std::uint16_t(mSearchCycle);
  // A probe's reply is looked for until twice the first wait has passed.
  lContext.ReplyWindowMs = 2 * cProbeWaitMs;
  mTraffic->SetContext(lContext);
}

bool TFrameDevice::ProbeR7x(int pBaud, bool pAutoBaud, int pTry) {
  // Port errors are not caught here: they end the search.
  try {
    NoteProbe(pTry, false);
    mReceived.clear();
    mCOM->SetBaud(pBaud);
    // Wakes an instrument that sleeps in the K40 poll mode; its answer does not matter.
    for (int i = 0; i < 3; ++i) {
      {
        const tNestedLoop lNested;
        QCoreApplication::processEvents();
      }
      try {
        SendProbe(pAutoBaud, QByteArray("SO\xFF", 3), QByteArray("so\xFF", 3), 0);
        break;
      } catch (const eProbe&) {
      }
    }
    Delay(100, true);
    SendProbe(pAutoBaud, QByteArray("MA\x00", 3), QByteArray("\x03", 1), 5);
  } catch (const eProbe&) {
    return false;
  }
  if (mAbortConnecting) return false;
  auto* lPage = new TFrameDeviceR70(this, FDeviceInfo.get());
  lPage->hide();
  lPage->SetAutoBaud(pAutoBaud);
  mFrameDeviceBase = lPage;
  FDeviceInfo->SetDeviceType(mIsVQ5 ? dtVQ5 : dtR7x);
  return true;
}

bool TFrameDevice::ProbeK40() {
  NoteProbe(4, true);
  mCOM->SetBaud(9600);
  tDeviceType lType = dtNone;
  try {
    SendProbe(false, "TYP", QByteArray("\x0A", 1), 1);
    lType = dtR2x;
  } catch (const eProbe&) {
    try {
      NoteProbe(5, true);
      SendProbe(false, QByteArray("SO\xFF", 3), QByteArray("so\xFF", 3), 0);
      lType = dtK4xP;
    } catch (const eProbe&) {
      return false;
    }
  }
  if (mAbortConnecting) return false;
  FDeviceInfo->SetDeviceType(lType);
  auto* lPage = new TFrameDeviceK40(this, FDeviceInfo.get());
  lPage->hide();
  mFrameDeviceBase = lPage;
  return true;
}

void TFrameDevice::TimerConnectingTimer() {
  DetachTimerHandler();
  mInTick = true;
  const quint64 lGeneration = mConnectGeneration;
  QString lPortError;
  bool lFound = false;
  if (mAbortConnecting) {
    StopSearch();
  } else {
    try {
      if (mStartTime.elapsed() > cSilenceOrdinaryMs || !mIncludeK40) {
        ++mSearchCycle;
        lFound = ProbeR7x(9600, true, 1) ||
                 (!SearchCancelled(lGeneration) && ProbeR7x(9600, false, 2)) ||
                 (!SearchCancelled(lGeneration) && ProbeR7x(115200, false, 3));
        if (!lFound && mIncludeK40 && !SearchCancelled(lGeneration)) lFound = ProbeK40();
      }
    } catch (const ENoPermission& e) {
      lFound = false;
      lPortError = NoPermissionText(e.Group, e.InGroup);
    } catch (const std::exception& e) {
      // A port that fails (pulled cable, refused baud rate) ends the search like its time
      // limit; the port's own text tells the user why.
      lFound = false;
      lPortError = ErrorText(e);
    }
    if (lGeneration != mConnectGeneration) {
      // A new connection was started meanwhile; it runs its own search.
      if (lFound) ReleasePage();
      mInTick = false;
      if (TimerConnecting->isActive()) InstallTimerHandler();
      return;
    }
    if (lFound && mAbortConnecting) {
      // The user disconnected while the instrument answered.
      ReleasePage();
      lFound = false;
    }
    if (lFound) {
      HandOver();
    } else if (!lPortError.isEmpty() || mStartTime.elapsed() > cSearchLimitMs) {
      const bool lReport = !mAbortConnecting;
      StopSearch();
      if (lReport) {
        Dialogs().Error(ConnectErrorText(lPortError), this);
      }
    }
  }
  if (mStartTime.isValid())
    ProgressBar->setValue(int(std::min<qint64>(mStartTime.elapsed() % 86400000, cProgressMax)));
  mInTick = false;
  if (TimerConnecting->isActive()) InstallTimerHandler();
}

void TFrameDevice::StopSearch() {
  TimerConnecting->stop();
  if (mCOM) {
    mCOM->SetOnTriggerAvail({});
    mCOM->SetOpen(false);
    mCOM.reset();
  }
  SetDeviceStatus(dsDisconnected);
  mAbortConnecting = true;
}

void TFrameDevice::HandOver() {
  TimerConnecting->stop();
  mAbortConnecting = true;
  TFrameDeviceBase* lPage = mFrameDeviceBase;
  tTrafficContext lContext;
  const bool lK40 = FDeviceInfo->DeviceType() == dtK4xP || FDeviceInfo->DeviceType() == dtR2x;
  lContext.Family = lK40 ? tfK40 : tfR70;
  // The longest wait of the family's layers: a command's reply, or a live value's.
  lContext.ReplyWindowMs = lK40 ? tDMU_K40::cReplyTimeoutMs : quint32(tLiveReplyWatch::cTimeoutMs);
  mTraffic->SetContext(lContext);
  lPage->SetDeviceStatus(FDeviceStatus);
  lPage->SetOnDeviceStatusChanged([this](tDeviceStatus v) { PageDeviceStatusChanged(v); });
  lPage->SetOnTimeOut([this](QObject* Sender) { PageTimeOut(Sender); });
  lPage->Initialize(std::move(mCOM));
  lPage->setGeometry(rect());
  // The page covers the connect button; its free tab-strip area must not let it show through.
  lPage->setAutoFillBackground(true);
  lPage->show();
  lPage->raise();
  lPage->SetConnected(true);
}

void TFrameDevice::resizeEvent(QResizeEvent* pEvent) {
  QWidget::resizeEvent(pEvent);
  if (mFrameDeviceBase) mFrameDeviceBase->setGeometry(rect());
  ButtonConnect->setGeometry(3, 7, std::max(width() - 17, 40), 73);
  ProgressBar->setGeometry(3, 86, std::max(width() - 18, 40), 20);
}

bool TFrameDevice::event(QEvent* pEvent) {
  if (pEvent->type() == QEvent::ParentChange) {
    if (mFilledParent) mFilledParent->removeEventFilter(this);
    mFilledParent = parentWidget();
    if (mFilledParent) {
      mFilledParent->installEventFilter(this);
      setGeometry(mFilledParent->rect());
    }
  }
  return QWidget::event(pEvent);
}

bool TFrameDevice::eventFilter(QObject* pWatched, QEvent* pEvent) {
  if (pWatched == mFilledParent && pEvent->type() == QEvent::Resize)
    setGeometry(mFilledParent->rect());
  return QWidget::eventFilter(pWatched, pEvent);
}

void TFrameDevice::Disconnect() {
  if (FDeviceStatus != dsConnecting && FDeviceStatus != dsConnected &&
      FDeviceStatus != dsInternalError)
    return;
  if (mCOM) {
    mCOM->SetOnTriggerAvail({});
    mCOM->SetOpen(false);
  }
  mAbortConnecting = true;
  if (mFrameDeviceBase) mFrameDeviceBase->SetConnected(false);
  SetDeviceStatus(dsDisconnected);
}

void TFrameDevice::GotoDeviceStatus() {
  switch (FDeviceStatus) {
  case dsDisconnected:
    Connect();
    break;
  case dsLogging:
  case dsAdjusting:
  case dsProgramming:
  case dsInternalError:
    if (mFrameDeviceBase) mFrameDeviceBase->GotoDeviceStatus();
    break;
  default:
    break;
  }
}

void TFrameDevice::SetDeviceStatus(tDeviceStatus pValue) {
  if (pValue == FDeviceStatus) return;
  FDeviceStatus = pValue;
  ButtonConnect->setEnabled(pValue == dsDisconnected);
  ProgressBar->setVisible(pValue == dsConnecting);
  if (mFrameDeviceBase) mFrameDeviceBase->SetDeviceStatus(pValue);
  if (FOnDeviceStatusChanged) FOnDeviceStatusChanged(pValue);
}

void TFrameDevice::PageDeviceStatusChanged(tDeviceStatus pDeviceStatus) {
  SetDeviceStatus(pDeviceStatus);
}

void TFrameDevice::PageTimeOut(QObject*) {
  SetDeviceStatus(dsDisconnected);
}
