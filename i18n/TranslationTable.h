#pragma once
// The message catalogue: per language (indexed by tLanguage) 221 entries "id=text" in
// ascending id order. The text is everything after the first "=" and may be empty.
inline constexpr int TranslationLanguageCount = 2;
inline constexpr int TranslationEntryCount = 221;

extern const char* const TranslationTable[TranslationLanguageCount][TranslationEntryCount];
