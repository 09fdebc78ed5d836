#pragma once
// The localisation engine: collects the catalogue ids of every registered form or frame from
// its placeholder texts ("15@Gerät") and re-translates all of them when the language changes.
#include "core/Error.h"
#include "core/Types.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QObject;
class QWidget;

// Removing a form that was never registered: the caller's bookkeeping is broken.
CORVANE_DECLARE_ERROR(eListError)

class tResources {
public:
  tResources();
  ~tResources();
  tResources(const tResources&) = delete;
  tResources& operator=(const tResources&) = delete;

  // Registers a form (QMainWindow or QDialog: its own caption counts) or a frame (any other
  // widget), harvests its placeholders into the index and translates it. pOnTranslated, when
  // given, runs after every translation of the form, once all its components carry their
  // texts: the place for the form's own corrections that the positional rules cannot express.
  void AddForm(QWidget* pForm, std::function<void()> pOnTranslated = {});
  // Takes the form out of the registry; its index entries stay for the next instance.
  // Raises eListError when the form is not registered.
  void DeleteForm(QWidget* pForm);
  bool IsRegistered(const QWidget* pForm) const;

  tLanguage Language() const { return FLanguage; }
  // Stores the language and translates every registered form, in registration order.
  void SetLanguage(tLanguage pLanguage);

  // The text of catalogue entry pId in the current language; empty when there is none.
  QString CatalogueText(int pId) const;
  // Adds "key=id" for a placeholder text whose part before "@" ("&" removed) is an integer.
  bool RegisterText(const QString& pKey, const QString& pText);
  // The catalogue text of the id registered for pKey (case-insensitive), or the empty text.
  QString LookupText(const QString& pKey) const;

  // The index, sorted without regard to case, entries "key=id".
  const QStringList& CompIdx() const { return mCompIdx; }
  const QList<QWidget*>& Forms() const { return mForms; }

  // The components the engine walks for a registered form: its descendants in creation
  // order that carry a name, not descending into a registered frame or a radio group's
  // own buttons.
  QList<QObject*> Components(QWidget* pForm) const;

private:
  void HarvestForm(QWidget* pForm);
  void TranslateForm(QWidget* pForm);
  void CollectComponents(QObject* pParent, QList<QObject*>& pList) const;
  QString IdOf(const QString& pKey) const;

  QList<QWidget*> mForms;
  // Drops a form that is destroyed while still registered.
  QHash<QWidget*, QMetaObject::Connection> mWatches;
  QHash<QWidget*, std::function<void()>> mOnTranslated;
  QStringList mCompIdx;
  tLanguage FLanguage;
};

// The program's one engine; created on first use, before any form registers.
tResources& Resources();

// The hidden-list protocol: a form checks its list before AddForm. Raises
// eError("Übersetzungsproblem!") when the line count differs from pExpected.
class tRichEdit;
void CheckTranslationLines(const tRichEdit& pList, int pExpected);
