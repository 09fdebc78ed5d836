#include "widgets/BitButton.h"
#include "widgets/CaptionPanel.h"
#include "widgets/Look.h"
#include "widgets/RadioGroup.h"
#include "widgets/RichEdit.h"

#include <QAccessible>
#include <QComboBox>
#include <QImage>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

int CountPixels(const QImage& pImage, const QColor& pColor) {
  int n = 0;
  for (int y = 0; y < pImage.height(); ++y)
    for (int x = 0; x < pImage.width(); ++x)
      if (pImage.pixelColor(x, y) == pColor) ++n;
  return n;
}

} // namespace

TEST(RichEdit, EveryLineChangeNotifiesAndLinesRoundTrip) {
  tRichEdit edit({"a", "b"});
  int changes = 0;
  int notified = 0;
  edit.SetOnChange([&changes] { ++changes; });
  QObject::connect(&edit, &tRichEdit::Changed, [&notified] { ++notified; });
  edit.SetLine(1, "b");
  edit.SetLine(0, "x");
  edit.SetLine(5, "ignored");
  edit.AddLine("");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(notified, 3);
  EXPECT_EQ(edit.Lines(), QStringList({"x", "b", ""}));
  EXPECT_EQ(edit.toPlainText(), "x\nb\n");
  edit.Clear();
  EXPECT_EQ(edit.LineCount(), 0);
}

TEST(RichEdit, UserEditsOfAWritableBoxBecomeLines) {
  tRichEdit edit({"a"});
  edit.setReadOnly(false);
  int changes = 0;
  edit.SetOnChange([&changes] { ++changes; });
  edit.setPlainText("one\ntwo");
  EXPECT_EQ(edit.Lines(), QStringList({"one", "two"}));
  EXPECT_EQ(changes, 1);
}

TEST(RadioGroup, ItemsByPositionKeepTheCheckedPositionWhenRebuilt) {
  tRadioGroup group("Betriebsmodus:", {"a", "b", "c"});
  int clicks = 0;
  group.SetOnClick([&clicks] { ++clicks; });
  EXPECT_EQ(group.ItemIndex(), -1);
  group.SetItemIndex(2);
  EXPECT_EQ(clicks, 0);
  group.SetItems({"x", "y", "z", "w"});
  EXPECT_EQ(group.ItemIndex(), 2);
  group.SetItems({"x"});
  EXPECT_EQ(group.ItemIndex(), -1);
  group.SetItem(0, "first");
  group.SetItem(3, "none");
  EXPECT_EQ(group.Items(), QStringList({"first"}));
  group.Button(0)->click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(group.ItemIndex(), 0);
  group.SetItemIndex(-1);
  EXPECT_EQ(group.ItemIndex(), -1);
  EXPECT_EQ(group.Button(4), nullptr);
  for (QRadioButton* b : group.findChildren<QRadioButton*>())
    EXPECT_TRUE(b->objectName().isEmpty());
}

TEST(BitButton, CaptionAndHintAreTextAndToolTip) {
  tBitButton button("Start");
  button.SetHint("keep pressed");
  EXPECT_EQ(button.text(), "Start");
  EXPECT_EQ(button.toolTip(), "keep pressed");
}

// The live values are painted: assistive technology reads them through the panel's own
// interface, named by the caption it shows.
TEST(CaptionPanel, AssistiveTechnologyReadsTheShownCaption) {
  tCaptionPanel panel("- - -");
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&panel);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::StaticText);
  EXPECT_EQ(iface->text(QAccessible::Name), "- - -");
  panel.SetCaption(" 7.500");
  EXPECT_EQ(iface->text(QAccessible::Name), " 7.500");
  panel.SetCaption("");
  EXPECT_EQ(iface->text(QAccessible::Name), "");
}

// The value panels, the error box and the info grid must look the same on every style.
class LookOnStyle : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    mStyle.reset(QStyleFactory::create(GetParam()));
    ASSERT_NE(mStyle, nullptr) << GetParam();
  }
  template <class T> void Apply(T* pWidget) {
    pWidget->setStyle(mStyle.get());
    pWidget->resize(165, 49);
  }
  std::unique_ptr<QStyle> mStyle;
};

TEST_P(LookOnStyle, ValuePanelIsBlackWithBoldColouredCaption) {
  for (const QColor& text : {Look::PressureText, Look::TemperatureText}) {
    tCaptionPanel panel("- - -");
    Apply(&panel);
    Look::ValuePanel(&panel, text);
    EXPECT_TRUE(panel.font().bold());
    EXPECT_EQ(panel.font().pixelSize(), 16);
    const QImage image = panel.grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() / 2, 4), QColor(Qt::black));
    EXPECT_GT(CountPixels(image, text), 10);
  }
}

TEST_P(LookOnStyle, ValueComboBoxIsBlackWithColouredText) {
  QComboBox box;
  box.addItems({"bar", "mbar"});
  Apply(&box);
  Look::ValueComboBox(&box);
  const QImage image = box.grab().toImage();
  EXPECT_GT(CountPixels(image, Qt::black), image.width() * image.height() / 3);
  EXPECT_GT(CountPixels(image, Look::PressureText), 5);
}

TEST_P(LookOnStyle, ErrorBoxIsRedAndInfoGridHasTheTipBackground) {
  tRichEdit error({"Die Versorgungsspannung ist zu gering!"});
  Apply(&error);
  Look::ErrorBox(&error);
  const QImage image = error.grab().toImage();
  EXPECT_GT(CountPixels(image, Look::ErrorBackground), image.width() * image.height() / 2);

  QTableWidget grid(2, 2);
  Apply(&grid);
  grid.setEnabled(false);
  Look::InfoGrid(&grid);
  const QImage gridImage = grid.viewport()->grab().toImage();
  EXPECT_NE(Look::InfoGridBackground(), grid.palette().color(QPalette::Window));
  EXPECT_EQ(gridImage.pixelColor(gridImage.width() - 3, gridImage.height() - 3),
            Look::InfoGridBackground());
}

INSTANTIATE_TEST_SUITE_P(Styles, LookOnStyle, ::testing::Values("Fusion", "Windows"));
