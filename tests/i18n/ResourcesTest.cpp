#include "i18n/Resources.h"
#include "widgets/BitButton.h"
#include "widgets/CaptionPanel.h"
#include "i18n/MessageSlots.h"
#include "widgets/RadioGroup.h"
#include "widgets/RichEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

template <class T> T* Named(T* pObject, const char* pName) {
  pObject->setObjectName(QString::fromLatin1(pName));
  return pObject;
}

// A frame with one component of every class the engine translates, designed as forms are.
class TFrameSample : public QWidget {
  Q_OBJECT
public:
  explicit TFrameSample(QWidget* pParent = nullptr) : QWidget(pParent) {
    auto* layout = new QVBoxLayout(this);
    Panel = Named(new tCaptionPanel(QString::fromUtf8("8@Geräte"), this), "PanelDevices");
    GroupBox =
        Named(new QGroupBox(QStringLiteral("303@Einstellungen "), this), "GroupBoxConfigLog");
    GroupBoxPlain = Named(new QGroupBox(QStringLiteral("204@Druck"), this), "GroupBoxDruck");
    CheckBox =
        Named(new QCheckBox(QStringLiteral("328@Temperaturkennlinie"), this), "CheckBoxTempSeries");
    Tabs = Named(new QTabWidget(this), "PageControl");
    TabInfo = Named(new QWidget, "TabSheetInfo");
    Tabs->addTab(TabInfo, QStringLiteral("201@Information"));
    Button = Named(new QPushButton(QStringLiteral("101@Verbinden"), this), "ButtonConnect");
    BitInc = Named(new tBitButton(QStringLiteral("412@"), this), "BitBtnInc");
    BitStart = Named(new tBitButton(QStringLiteral("315@Start"), this), "BitBtnStartLog");
    LabelTime = Named(new QLabel(QStringLiteral("hh:mm:ss"), this), "LabelDurationHour");
    LabelBare = Named(new QLabel(QStringLiteral("5"), this), "LabelBare");
    LabelSix = Named(new QLabel(QStringLiteral("6@Entwurf"), this), "LabelSix");
    Radio = Named(new QRadioButton(QStringLiteral("402@Nullpunkt"), this), "RadioButtonZero");
    Action =
        Named(new QAction(QString::fromUtf8("&13@'Messstelle' ändern"), this), "ActionRenameTag");
    List = Named(new QTreeWidget(this), "ListViewDevice");
    List->setHeaderLabels({"", "11@Messstelle", "12@Messbereich", "COM"});
    Group = Named(new tRadioGroup(QStringLiteral("218@Betriebsmodus:"),
                                  {"219@auf Abfrage", "220@zyklisch Druck",
                                   "221@zyklisch Druck und Temperatur"},
                                  this),
                  "RadioGroupOperMode");
    OutText = Named(new tRichEdit({"213@Verbindungsaufbau gescheitert!", "230@Versorgung"}, this),
                    "RichEditTransOutText");
    Error = Named(new tRichEdit({"RichEditError"}, this), "RichEditError");
    for (QWidget* w : std::initializer_list<QWidget*>{
             Panel, GroupBox, GroupBoxPlain, CheckBox, Tabs, Button, BitInc, BitStart, LabelTime,
             LabelBare, LabelSix, Radio, List, Group, OutText, Error})
      layout->addWidget(w);
  }

  tCaptionPanel* Panel;
  QGroupBox* GroupBox;
  QGroupBox* GroupBoxPlain;
  QCheckBox* CheckBox;
  QTabWidget* Tabs;
  QWidget* TabInfo;
  QPushButton* Button;
  tBitButton* BitInc;
  tBitButton* BitStart;
  QLabel* LabelTime;
  QLabel* LabelBare;
  QLabel* LabelSix;
  QRadioButton* Radio;
  QAction* Action;
  QTreeWidget* List;
  tRadioGroup* Group;
  tRichEdit* OutText;
  tRichEdit* Error;
};

class TFormSample : public QMainWindow {
  Q_OBJECT
public:
  TFormSample() {
    setObjectName("FormSample");
    setWindowTitle("Corvane");
    auto* bar = Named(new QMenuBar(this), "ActionMainMenuBar");
    bar->addMenu(QString::fromUtf8("1@Gerät"));
    bar->addMenu(QStringLiteral("5@Sprache"));
    bar->addMenu(QStringLiteral("?"));
    setMenuBar(bar);
    Bar = bar;
    Popup = Named(new QMenu(QString::fromUtf8("2@Hinzufügen"), this), "MenuAddDevice");
  }
  QMenuBar* Bar;
  QMenu* Popup;
};

class TFormAskSample : public QDialog {
  Q_OBJECT
public:
  TFormAskSample() {
    setObjectName("FormAskSample");
    setWindowTitle(QString::fromUtf8("501@Bestätigung"));
  }
};

// A frame that registers itself, embedded in another that does too (the adjustment panel
// inside a page).
class TFrameInner : public QWidget {
  Q_OBJECT
public:
  TFrameInner(tResources& pResources, QWidget* pParent) : QWidget(pParent), mResources(pResources) {
    setObjectName("FrameInner");
    Button = Named(new QPushButton(QStringLiteral("404@Justieren"), this), "ButtonShared");
    mResources.AddForm(this);
  }
  ~TFrameInner() override { mResources.DeleteForm(this); }
  QPushButton* Button;

private:
  tResources& mResources;
};

class TFrameOuter : public QWidget {
  Q_OBJECT
public:
  explicit TFrameOuter(tResources& pResources) {
    Inner = new TFrameInner(pResources, this);
    Button = Named(new QPushButton(QStringLiteral("225@Schreiben"), this), "ButtonShared");
  }
  TFrameInner* Inner;
  QPushButton* Button;
};

struct tShown {
  const char* What;
  std::function<QString(TFrameSample&)> Get;
  QString German;
  QString English;
};

const QString U(const char* p) {
  return QString::fromUtf8(p);
}

} // namespace

class ResourcesTest : public ::testing::Test {
protected:
  tResources mRes;
};

TEST_F(ResourcesTest, TranslatesEveryComponentClassBothWaysAndRestoresGermanExactly) {
  TFrameSample frame;
  mRes.AddForm(&frame);

  const std::vector<tShown> cases = {
      {"panel", [](TFrameSample& f) { return f.Panel->Caption(); }, U("Geräte"), "Instruments"},
      {"group box keeps one blank", [](TFrameSample& f) { return f.GroupBox->title(); },
       "Einstellungen ", "Settings "},
      {"group box gains one blank", [](TFrameSample& f) { return f.GroupBoxPlain->title(); },
       "Druck ", "Pressure "},
      {"check box gains one blank", [](TFrameSample& f) { return f.CheckBox->text(); },
       "Temperaturkennlinie ", "Temperature line "},
      {"tab sheet", [](TFrameSample& f) { return f.Tabs->tabText(0); }, "Information",
       "Information"},
      {"button", [](TFrameSample& f) { return f.Button->text(); }, "Verbinden", "Connect"},
      {"bit button 412 caption", [](TFrameSample& f) { return f.BitInc->Caption(); }, "", ""},
      {"bit button 412 hint", [](TFrameSample& f) { return f.BitInc->Hint(); },
       U("gedrückt halten um Änderung zu beschleunigen"), "keep pressed to accel changing"},
      {"bit button without ~", [](TFrameSample& f) { return f.BitStart->Caption(); }, "Start",
       "Start"},
      {"bit button hint without ~", [](TFrameSample& f) { return f.BitStart->Hint(); }, "", ""},
      {"label without id", [](TFrameSample& f) { return f.LabelTime->text(); }, "hh:mm:ss",
       "hh:mm:ss"},
      {"bare integer", [](TFrameSample& f) { return f.LabelBare->text(); }, "Sprache", "Language"},
      {"entry 6 is empty", [](TFrameSample& f) { return f.LabelSix->text(); }, "6@Entwurf",
       "6@Entwurf"},
      {"radio button", [](TFrameSample& f) { return f.Radio->text(); }, "Nullpunkt", "Zero point"},
      {"action without accelerator", [](TFrameSample& f) { return f.Action->text(); },
       U("'Messstelle' ändern"), "Rename tag"},
      {"list view column 0", [](TFrameSample& f) { return f.List->headerItem()->text(0); }, "", ""},
      {"list view column 1", [](TFrameSample& f) { return f.List->headerItem()->text(1); },
       "Messstelle", "Tag"},
      {"list view column 2", [](TFrameSample& f) { return f.List->headerItem()->text(2); },
       "Messbereich", "Range"},
      {"list view column 3", [](TFrameSample& f) { return f.List->headerItem()->text(3); }, "COM",
       "COM"},
      {"radio group caption", [](TFrameSample& f) { return f.Group->Caption(); },
       "Betriebsmodus:", "Operating mode:"},
      {"radio group item 2", [](TFrameSample& f) { return f.Group->Item(2); },
       "zyklisch Druck und Temperatur", "cycl. pressure and temperature"},
      {"hidden list line 1", [](TFrameSample& f) { return f.OutText->Line(1); },
       "Die Versorgungsspannung ist zu gering!", "The voltage supply is too low!"},
      {"list without ids", [](TFrameSample& f) { return f.Error->Line(0); }, "RichEditError",
       "RichEditError"},
  };
  auto check = [&](bool pEnglish, const char* pStep) {
    for (const tShown& c : cases)
      EXPECT_EQ(c.Get(frame), pEnglish ? c.English : c.German) << pStep << ": " << c.What;
  };
  check(false, "after registration");
  mRes.SetLanguage(laEnglish);
  check(true, "English");
  mRes.SetLanguage(laEnglish);
  check(true, "English written twice");
  mRes.SetLanguage(laGerman);
  check(false, "back to German");
  mRes.DeleteForm(&frame);
}

TEST_F(ResourcesTest, HarvestsKeysOfClassAndComponentWithTheIdBeforeTheAt) {
  TFrameSample frame;
  mRes.AddForm(&frame);
  const QStringList& idx = mRes.CompIdx();
  for (const char* entry :
       {"TFrameSample.ActionRenameTag=13", "TFrameSample.BitBtnInc=412", "TFrameSample.LabelBare=5",
        "TFrameSample.TabSheetInfo=201", "TFrameSample.ListViewDevice.2=12",
        "TFrameSample.RadioGroupOperMode.0=219", "TFrameSample.RichEditTransOutText.1=230"})
    EXPECT_TRUE(idx.contains(QString::fromLatin1(entry))) << entry;
  for (const QString& entry : idx) {
    EXPECT_FALSE(entry.startsWith("TFrameSample.LabelDurationHour")) << qPrintable(entry);
    EXPECT_FALSE(entry.startsWith("TFrameSample.RichEditError")) << qPrintable(entry);
    EXPECT_FALSE(entry.startsWith("TFrameSample.ListViewDevice.3")) << qPrintable(entry);
  }
  QStringList sorted = idx;
  std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  EXPECT_EQ(sorted, idx);
  mRes.DeleteForm(&frame);
}

TEST_F(ResourcesTest, HidesAListWithIdsAndLeavesOneWithoutIdsAsDesigned) {
  TFrameSample frame;
  frame.show();
  mRes.AddForm(&frame);
  EXPECT_TRUE(frame.OutText->isHidden());
  EXPECT_EQ(frame.OutText->geometry(), QRect(0, 0, 0, 0));
  EXPECT_FALSE(frame.Error->isHidden());
  mRes.DeleteForm(&frame);
}

TEST_F(ResourcesTest, KeysIgnoreLetterCaseAndIdenticalEntriesAreStoredOnce) {
  EXPECT_TRUE(mRes.RegisterText("TFrameX.Label1", "5@Sprache"));
  EXPECT_TRUE(mRes.RegisterText("tframex.LABEL1", "5"));
  EXPECT_EQ(mRes.CompIdx().size(), 1);
  EXPECT_EQ(mRes.LookupText("TFRAMEX.label1"), "Sprache");
  EXPECT_FALSE(mRes.RegisterText("TFrameX.Label2", "Info ..."));
  EXPECT_FALSE(mRes.RegisterText("TFrameX.Label2", ""));
  EXPECT_FALSE(mRes.RegisterText("TFrameX.Label2", "-"));
  EXPECT_EQ(mRes.CompIdx().size(), 1);
  EXPECT_EQ(mRes.LookupText("TFrameX.Label2"), "");
  // A key that is the start of another key does not borrow its id.
  EXPECT_EQ(mRes.LookupText("TFrameX.Label"), "");
}

TEST_F(ResourcesTest, CatalogueTextFollowsTheLanguageAndIsEmptyForUnknownIds) {
  EXPECT_EQ(mRes.CatalogueText(102), "Verbindungsaufbau an COM%d nicht möglich");
  EXPECT_EQ(mRes.CatalogueText(6), "");
  EXPECT_EQ(mRes.CatalogueText(999), "");
  EXPECT_EQ(mRes.CatalogueText(0), "");
  mRes.SetLanguage(laEnglish);
  EXPECT_EQ(mRes.Language(), laEnglish);
  EXPECT_EQ(mRes.CatalogueText(102), "Connection on COM%d failed");
  // Entry 1 must not answer for id 10, 11, … nor 10 for 101.
  EXPECT_EQ(mRes.CatalogueText(1), "Instrument");
  EXPECT_EQ(mRes.CatalogueText(10), "There are data to be saved and they will be lost!");
  mRes.SetLanguage(static_cast<tLanguage>(7));
  EXPECT_EQ(mRes.CatalogueText(1), "");
}

TEST_F(ResourcesTest, SecondInstanceAddsNoEntriesAndIsTranslatedLikeTheFirst) {
  TFrameSample first;
  mRes.AddForm(&first);
  const QStringList before = mRes.CompIdx();
  TFrameSample second;
  mRes.AddForm(&second);
  EXPECT_EQ(mRes.CompIdx(), before);
  mRes.SetLanguage(laEnglish);
  EXPECT_EQ(second.Button->text(), "Connect");
  EXPECT_EQ(first.Button->text(), "Connect");
  mRes.DeleteForm(&first);
  mRes.DeleteForm(&second);
  // The entries stay for the next instance of the class.
  EXPECT_EQ(mRes.CompIdx(), before);
  TFrameSample third;
  mRes.AddForm(&third);
  EXPECT_EQ(third.Button->text(), "Connect");
  mRes.DeleteForm(&third);
}

TEST_F(ResourcesTest, RebuiltRadioGroupIsTranslatedByPosition) {
  TFrameSample frame;
  mRes.AddForm(&frame);
  frame.Group->SetItems({"232@zyklisch Druck [Digit]", "220@zyklisch Druck", "X", "233@neu"});
  mRes.SetLanguage(laEnglish);
  EXPECT_EQ(frame.Group->Items(), QStringList({"Polling", "cycl. pressure",
                                               "cycl. pressure and temperature", "233@neu"}));
  mRes.DeleteForm(&frame);
}

TEST_F(ResourcesTest, TranslatedHandlerCorrectsTheFormAfterEveryTranslationUntilItLeaves) {
  TFrameSample frame;
  int calls = 0;
  mRes.AddForm(&frame, [&] {
    ++calls;
    EXPECT_FALSE(frame.OutText->Line(0).contains('@')) << "runs before the last component";
    frame.Group->SetItem(2, mRes.CatalogueText(232));
  });
  frame.Group->SetItems({"219@auf Abfrage", "220@zyklisch Druck", "232@zyklisch Druck [Digit]"});
  mRes.SetLanguage(laEnglish);
  EXPECT_EQ(frame.Group->Item(2), "cycl. pressure [Digit (10000-60000)]");
  EXPECT_EQ(calls, 2);
  // Registered again without a handler: the old one (and what it captured) is gone.
  mRes.DeleteForm(&frame);
  mRes.AddForm(&frame);
  mRes.SetLanguage(laGerman);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(frame.Group->Item(2), "zyklisch Druck und Temperatur");
  mRes.DeleteForm(&frame);
}

TEST_F(ResourcesTest, RadioGroupWithoutIdLosesItsCaption) {
  TFrameSample frame;
  frame.Group->SetCaption("Modus");
  mRes.AddForm(&frame);
  EXPECT_EQ(frame.Group->Caption(), "");
  mRes.DeleteForm(&frame);
}

TEST_F(ResourcesTest, MenuBarItemsAreTranslatedByPositionAndFormCaptionByOwnKey) {
  TFormSample form;
  mRes.AddForm(&form);
  TFormAskSample ask;
  mRes.AddForm(&ask);
  mRes.SetLanguage(laEnglish);
  const QList<QAction*> items = form.Bar->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), "Instrument");
  EXPECT_EQ(items[1]->text(), "Language");
  EXPECT_EQ(items[2]->text(), "?");
  EXPECT_EQ(form.Popup->title(), "Add");
  EXPECT_EQ(form.windowTitle(), "Corvane");
  EXPECT_EQ(ask.windowTitle(), "Confirmation");
  EXPECT_TRUE(mRes.CompIdx().contains("TFormAskSample.FormAskSample=501"));
  mRes.DeleteForm(&ask);
  mRes.DeleteForm(&form);
}

TEST_F(ResourcesTest, FrameCaptionIsNotAText) {
  TFrameSample frame;
  frame.setObjectName("FrameSample");
  frame.setWindowTitle("5");
  mRes.AddForm(&frame);
  EXPECT_EQ(frame.windowTitle(), "5");
  mRes.DeleteForm(&frame);
}

TEST_F(ResourcesTest, EmbeddedFrameThatRegistersItselfKeepsItsOwnKeys) {
  auto outer = std::make_unique<TFrameOuter>(mRes);
  mRes.AddForm(outer.get());
  EXPECT_EQ(outer->Inner->Button->text(), "Justieren");
  EXPECT_EQ(outer->Button->text(), "Schreiben");
  EXPECT_TRUE(mRes.CompIdx().contains("TFrameInner.ButtonShared=404"));
  EXPECT_TRUE(mRes.CompIdx().contains("TFrameOuter.ButtonShared=225"));
  EXPECT_FALSE(mRes.Components(outer.get()).contains(outer->Inner->Button));
  mRes.SetLanguage(laEnglish);
  EXPECT_EQ(outer->Inner->Button->text(), "Adjust");
  EXPECT_EQ(outer->Button->text(), "Write");
  mRes.DeleteForm(outer.get());
  outer.reset();
  EXPECT_TRUE(mRes.Forms().isEmpty());
}

TEST_F(ResourcesTest, ComponentsComeInCreationOrderWithoutTheRadioGroupsButtons) {
  TFrameSample frame;
  QStringList names;
  for (QObject* c : mRes.Components(&frame))
    names << c->objectName();
  EXPECT_LT(names.indexOf("PanelDevices"), names.indexOf("GroupBoxConfigLog"));
  EXPECT_LT(names.indexOf("PageControl"), names.indexOf("TabSheetInfo"));
  EXPECT_LT(names.indexOf("ButtonConnect"), names.indexOf("RichEditError"));
  EXPECT_FALSE(mRes.Components(&frame).contains(frame.Group->Button(0)));
  for (const QString& n : names)
    EXPECT_FALSE(n.isEmpty() || n.startsWith("qt_")) << qPrintable(n);
}

TEST_F(ResourcesTest, DeletingAnUnregisteredFormIsAListError) {
  TFrameSample frame;
  EXPECT_THROW(mRes.DeleteForm(&frame), eListError);
  mRes.AddForm(&frame);
  mRes.DeleteForm(&frame);
  EXPECT_THROW(mRes.DeleteForm(&frame), eListError);
}

TEST_F(ResourcesTest, FormLeftUntranslatedAfterDeleteAndForgottenWhenDestroyedRegistered) {
  auto frame = std::make_unique<TFrameSample>();
  mRes.AddForm(frame.get());
  mRes.DeleteForm(frame.get());
  mRes.SetLanguage(laEnglish);
  EXPECT_EQ(frame->Button->text(), "Verbinden");
  mRes.AddForm(frame.get());
  EXPECT_EQ(frame->Button->text(), "Connect");
  frame.reset();
  EXPECT_TRUE(mRes.Forms().isEmpty());
  mRes.SetLanguage(laGerman);
}

TEST_F(ResourcesTest, ChangeHandlerDeletingLaterComponentsDuringTranslationIsSafe) {
  TFrameSample frame;
  mRes.AddForm(&frame);
  frame.OutText->SetOnChange([&frame] {
    delete frame.Error;
    frame.Error = nullptr;
  });
  mRes.SetLanguage(laEnglish);
  EXPECT_EQ(frame.Error, nullptr);
  EXPECT_EQ(frame.OutText->Line(0), "Connection failed!");
  mRes.DeleteForm(&frame);
}

TEST_F(ResourcesTest, HiddenListFeedsMessageSlotsOnEveryChange) {
  TFrameSample frame;
  tMessageSlots messageSlots{"Verbindungsaufbau gescheitert!", "nicht kopiert", "bleibt"};
  messageSlots.Bind(*frame.OutText);
  EXPECT_EQ(messageSlots[0], "Verbindungsaufbau gescheitert!");
  EXPECT_NO_THROW(CheckTranslationLines(*frame.OutText, 2));
  mRes.AddForm(&frame);
  EXPECT_EQ(messageSlots[1], "Die Versorgungsspannung ist zu gering!");
  EXPECT_EQ(messageSlots[2], "bleibt"); // no line for it
  EXPECT_EQ(messageSlots[3], "");
  mRes.SetLanguage(laEnglish);
  EXPECT_EQ(messageSlots[0], "Connection failed!");
  EXPECT_EQ(messageSlots[1], "The voltage supply is too low!");
  mRes.DeleteForm(&frame);
}

TEST_F(ResourcesTest, HiddenListWithUnexpectedLineCountFailsConstruction) {
  for (int expected : {0, 1, 3}) {
    tRichEdit list({"213@a", "230@b"});
    try {
      CheckTranslationLines(list, expected);
      ADD_FAILURE() << expected;
    } catch (const eError& e) {
      EXPECT_EQ(e.Message(), U("Übersetzungsproblem!"));
    }
  }
}

TEST(ResourcesGlobal, OneEngineServesTheProgram) {
  EXPECT_EQ(&Resources(), &Resources());
  EXPECT_EQ(Resources().Language(), laGerman);
}

#include "ResourcesTest.moc"
