#pragma once
// The about box and the version data of the running program. Linux program files carry no
// version resource, so the build compiles the same items in (four-part version, pre-release
// flag, copyright, developer, description); the build date is the program file's last-write
// time. The texts of the box are fixed German texts, not translated.
#include "core/DateTime.h"

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;

// What a version resource holds.
struct tVersionResource {
  int Major = 0;
  int Minor = 0;
  int Release = 0;
  int Build = 0;
  bool PreRelease = false;
  QString LegalCopyright;
  QString Entwickler;
  QString FileDescription;
};

class tAppUtils : public QDialog {
  Q_OBJECT
public:
  static constexpr const char* NoVersionInfo = "(Keine Versionsinfo)";

  explicit tAppUtils(QWidget* pParent = nullptr);
  ~tAppUtils() override;

  // The version data compiled into this program.
  static tVersionResource CompiledVersion();

  // Fills the version data of pPath: the own program file carries the compiled-in data,
  // any other file none. Then UpdateAboutLabels.
  void ReadVersionInfo(const QString& pPath);
  // The same with the given resource (nullptr: the file has none).
  void ReadVersionInfo(const QString& pPath, const tVersionResource* pResource);
  void UpdateAboutLabels();
  bool ShowDeveloper() const { return FShowDeveloper; }
  void SetShowDeveloper(bool pValue);
  // Shows the box modally; the modal result.
  int ShowAbout();

  // The logo is hidden everywhere when the "AboutLogo" picture is at most 1 × 1 pixel.
  bool LogoVisible() const;
  // Where the "AboutLogo" picture is looked for (a resource or file path); missing: the
  // logo stored with the form stays.
  void SetAboutLogoResource(const QString& pPath);

  // Last-write time of the file as a local date-time; 0 when it does not exist.
  static tDateTime FileBuildDate(const QString& pPath);

  const QString& FileName() const { return mFileName; }
  const QString& ProjectName() const { return mProjectName; }
  const QString& Version() const { return mVersion; }
  bool PreRelease() const { return mPreRelease; }
  tDateTime BuildDate() const { return mBuildDate; }

  QFrame* pnAbout = nullptr;
  QLabel* lblProjectName = nullptr;
  QLabel* lblCopyright = nullptr;
  QLabel* lblVerInfo = nullptr;
  QLabel* lblBuildDate = nullptr;
  QLabel* lblDevelop = nullptr;
  QLabel* lblAutoUpdate = nullptr;
  QLabel* imgHALVEX = nullptr;
  QPushButton* btnOK = nullptr;

private:
  QString mFileName;
  bool mOwnProgram = false;
  QString mProjectName;
  QString mVersion;
  QString mCopyright;
  QString mDeveloper;
  QString mDescription;
  bool mPreRelease = false;
  tDateTime mBuildDate = 0;
  bool FShowDeveloper = true;
  bool mAutoUpdate = false;
  bool mLogoHidden = false;
  QString mAboutLogoResource;
};

// The program's about-box object, made first at start-up; nullptr before and after.
extern tAppUtils* AppUtils;
