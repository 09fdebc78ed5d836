#include "i18n/TranslationTable.h"
#include "ExpectedCatalogue.h"

#include <QString>
#include <gtest/gtest.h>

TEST(TranslationTable, HoldsEveryEntryInBothLanguagesWithExactTextsInIdOrder) {
  constexpr int expectedCount = sizeof(ExpectedCatalogue) / sizeof(ExpectedCatalogue[0]);
  ASSERT_EQ(expectedCount, TranslationEntryCount);
  for (int i = 0; i < TranslationEntryCount; ++i) {
    const tCatalogueRow& row = ExpectedCatalogue[i];
    SCOPED_TRACE(row.Id);
    EXPECT_EQ(QString::fromUtf8(TranslationTable[0][i]),
              QString::number(row.Id) + "=" + QString::fromUtf8(row.German));
    EXPECT_EQ(QString::fromUtf8(TranslationTable[1][i]),
              QString::number(row.Id) + "=" + QString::fromUtf8(row.English));
  }
}

TEST(TranslationTable, IdsAscendWithoutGapsInsideEachBlock) {
  // 1-18, 101-109, 201-236, 301-336, 401-413, 501-516, 601-626, 701-767
  const int blocks[][2] = {{1, 18}, {101, 109}, {201, 236}, {301, 336}, {401, 413}, {501, 516}, {601, 626}, {701, 767}};
  int i = 0;
  for (const auto& block : blocks)
    for (int id = block[0]; id <= block[1]; ++id, ++i)
      for (int lang = 0; lang < TranslationLanguageCount; ++lang)
        EXPECT_TRUE(
            QString::fromUtf8(TranslationTable[lang][i]).startsWith(QString::number(id) + "="))
            << TranslationTable[lang][i];
  EXPECT_EQ(i, TranslationEntryCount);
}

TEST(TranslationTable, KeepsTheConventionCharactersAsPlainText) {
  EXPECT_STREQ(TranslationTable[0][5], "6=");
  EXPECT_STREQ(TranslationTable[1][5], "6=");
  const QString zoom = QString::fromUtf8(TranslationTable[1][97]);
  EXPECT_TRUE(zoom.startsWith("335=Zoom:\\nKeep")) << qPrintable(zoom);
  EXPECT_FALSE(zoom.contains('\n'));
  EXPECT_STREQ(TranslationTable[1][110], "412=~keep pressed to accel changing");
  EXPECT_STREQ(TranslationTable[1][19], "102=Connection on COM%d failed");
  EXPECT_EQ(QString::fromUtf8(TranslationTable[0][85]).count('|'), 3);
}
