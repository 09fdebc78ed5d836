#include "app/AppUtils.h"

#include "app/ImageLists.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#ifndef CORVANE_VERSION_MAJOR
#define CORVANE_VERSION_MAJOR 0
#define CORVANE_VERSION_MINOR 0
#define CORVANE_VERSION_PATCH 0
#define CORVANE_VERSION_BUILD 0
#define CORVANE_PRERELEASE 0
#define CORVANE_COPYRIGHT ""
#define CORVANE_DEVELOPER ""
#define CORVANE_DESCRIPTION ""
#endif

tAppUtils* AppUtils = nullptr;

namespace {
QLabel* MakeLabel(QWidget* pParent, const char* pName, int pLeft, int pTop, int pWidth,
                  int pHeight) {
  auto* lLabel = new QLabel(pParent);
  lLabel->setObjectName(QLatin1String(pName));
  lLabel->setGeometry(pLeft, pTop, pWidth, pHeight);
  return lLabel;
}
} // namespace

tAppUtils::tAppUtils(QWidget* pParent) : QDialog(pParent) {
  setObjectName(QStringLiteral("AppUtils"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setWindowTitle(QCoreApplication::applicationName());
  setFixedWidth(434);
  resize(434, 201);

  pnAbout = new QFrame(this);
  pnAbout->setObjectName(QStringLiteral("pnAbout"));
  pnAbout->setGeometry(0, 0, 434, 160);
  pnAbout->setFrameStyle(QFrame::Panel | QFrame::Raised);
  pnAbout->setLineWidth(2);

  lblProjectName = MakeLabel(pnAbout, "lblProjectName", 12, 20, 264, 40);
  QFont lTitle(QStringLiteral("Arial"), 12, QFont::Bold, true);
  lblProjectName->setFont(lTitle);
  lblProjectName->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  lblProjectName->setWordWrap(true);
  lblCopyright = MakeLabel(pnAbout, "lblCopyright", 12, 68, 264, 21);
  QFont lCopyright = lblCopyright->font();
  lCopyright.setPointSize(10);
  lblCopyright->setFont(lCopyright);
  lblVerInfo = MakeLabel(pnAbout, "lblVerInfo", 12, 88, 280, 16);
  lblBuildDate = MakeLabel(pnAbout, "lblBuildDate", 12, 104, 280, 16);
  lblDevelop = MakeLabel(pnAbout, "lblDevelop", 12, 120, 280, 16);
  lblAutoUpdate = MakeLabel(pnAbout, "lblAutoUpdate", 12, 136, 280, 16);

  imgHALVEX = MakeLabel(pnAbout, "imgHALVEX", 297, 20, 117, 40);
  imgHALVEX->setPixmap(
      ImageLists::Picture(QStringLiteral(":/images/app_logo.svg"), QSize(117, 40)));
  imgHALVEX->setAccessibleName(QStringLiteral("Logo"));

  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setGeometry(179, 168, 75, 25);
  btnOK->setDefault(true);
  btnOK->setCursor(Qt::PointingHandCursor);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

  mAboutLogoResource = QStringLiteral(":/images/AboutLogo.png");
  ReadVersionInfo(QCoreApplication::applicationFilePath());
}

tAppUtils::~tAppUtils() {
  if (AppUtils == this) AppUtils = nullptr;
}

tVersionResource tAppUtils::CompiledVersion() {
  tVersionResource lData;
  lData.Major = CORVANE_VERSION_MAJOR;
  lData.Minor = CORVANE_VERSION_MINOR;
  lData.Release = CORVANE_VERSION_PATCH;
  lData.Build = CORVANE_VERSION_BUILD;
  lData.PreRelease = CORVANE_PRERELEASE != 0;
  lData.LegalCopyright = QString::fromUtf8(CORVANE_COPYRIGHT);
  lData.Entwickler = QString::fromUtf8(CORVANE_DEVELOPER);
  lData.FileDescription = QString::fromUtf8(CORVANE_DESCRIPTION);
  return lData;
}

void tAppUtils::ReadVersionInfo(const QString& pPath) {
  const bool lOwn =
      pPath.compare(QCoreApplication::applicationFilePath(), Qt::CaseInsensitive) == 0;
  const tVersionResource lCompiled = CompiledVersion();
  ReadVersionInfo(pPath, lOwn ? &lCompiled : nullptr);
}

void tAppUtils::ReadVersionInfo(const QString& pPath, const tVersionResource* pResource) {
  mAutoUpdate = false;
  mFileName = pPath;
  mOwnProgram = pPath.compare(QCoreApplication::applicationFilePath(), Qt::CaseInsensitive) == 0;
  mProjectName = mOwnProgram ? QCoreApplication::applicationName() : QString();
  mBuildDate = FileBuildDate(pPath);
  mVersion = mCopyright = mDeveloper = mDescription = QLatin1String(NoVersionInfo);
  mPreRelease = false;
  FShowDeveloper = true;
  if (pResource) {
    mVersion = QStringLiteral("%1.%2.%3.%4")
                   .arg(pResource->Major)
                   .arg(pResource->Minor)
                   .arg(pResource->Release)
                   .arg(pResource->Build);
    mCopyright = pResource->LegalCopyright;
    mDeveloper = pResource->Entwickler;
    mPreRelease = pResource->PreRelease;
    mDescription = pResource->FileDescription;
    if (!mDescription.isEmpty()) mProjectName = mDescription;
  }
  UpdateAboutLabels();
}

void tAppUtils::UpdateAboutLabels() {
  const QString lNone = QLatin1String(NoVersionInfo);
  lblProjectName->setText(mProjectName);
  QPalette lPalette = lblProjectName->palette();
  lPalette.setColor(QPalette::WindowText, QColor(22, 72, 154));
  lblProjectName->setPalette(lPalette);

  if (mVersion == lNone)
    lblVerInfo->setText(lNone);
  else
    lblVerInfo->setText(QStringLiteral("Version: %1").arg(mVersion) +
                        (mPreRelease ? QStringLiteral(" (Testversion)") : QString()));
  lblCopyright->setText(mCopyright != lNone && !mCopyright.isEmpty()
                            ? QString::fromUtf8("© ") + mCopyright
                            : QString());
  lblAutoUpdate->setText(mAutoUpdate ? QStringLiteral("Automatische Aktualisierung: aktiv")
                                     : QString());
  lblDevelop->setText(mDeveloper != lNone && !mDeveloper.isEmpty() && FShowDeveloper
                          ? QStringLiteral("Entwickler: %1").arg(mDeveloper)
                          : QString());
  lblBuildDate->setText(QStringLiteral("Erstellt am: ") +
                        ToQDateTime(mBuildDate).toString(QStringLiteral("dd.MM.yyyy hh:mm")));

  mLogoHidden = false;
  if (!mAboutLogoResource.isEmpty() && QFileInfo::exists(mAboutLogoResource)) {
    const QPixmap lLogo(mAboutLogoResource);
    if (!lLogo.isNull()) imgHALVEX->setPixmap(lLogo);
    mLogoHidden = lLogo.width() <= 1 && lLogo.height() <= 1;
  }
  imgHALVEX->setVisible(!mLogoHidden);
}

void tAppUtils::SetShowDeveloper(bool pValue) {
  FShowDeveloper = pValue;
  UpdateAboutLabels();
}

int tAppUtils::ShowAbout() {
  setFixedHeight(btnOK->geometry().bottom() + 1 + 14);
  return exec();
}

bool tAppUtils::LogoVisible() const {
  return !mLogoHidden;
}

void tAppUtils::SetAboutLogoResource(const QString& pPath) {
  mAboutLogoResource = pPath;
  UpdateAboutLabels();
}

tDateTime tAppUtils::FileBuildDate(const QString& pPath) {
  const QFileInfo lInfo(pPath);
  if (!lInfo.exists()) return 0;
  return FromQDateTime(lInfo.lastModified().toLocalTime());
}
