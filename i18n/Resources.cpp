#include "i18n/Resources.h"

#include "i18n/TranslationTable.h"
#include "widgets/BitButton.h"
#include "widgets/CaptionPanel.h"
#include "widgets/DialogService.h"
#include "widgets/RadioGroup.h"
#include "widgets/RichEdit.h"

#include "core/Utils.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>

namespace {

// The catalogue rows as texts, built once.
const QStringList& CatalogueRow(int pLanguage) {
  static const QList<QStringList> rows = [] {
    QList<QStringList> r;
    for (int l = 0; l < TranslationLanguageCount; ++l) {
      QStringList row;
      for (int i = 0; i < TranslationEntryCount; ++i)
        row << QString::fromUtf8(TranslationTable[l][i]);
      r << row;
    }
    return r;
  }();
  static const QStringList none;
  return pLanguage >= 0 && pLanguage < rows.size() ? rows[pLanguage] : none;
}

QString EntryText(int pLanguage, const QString& pId) {
  const QString prefix = pId + QLatin1Char('=');
  for (const QString& entry : CatalogueRow(pLanguage))
    if (entry.startsWith(prefix)) return entry.mid(prefix.size());
  return QString();
}

bool LessCi(const QString& pA, const QString& pB) {
  return QString::compare(pA, pB, Qt::CaseInsensitive) < 0;
}

bool IsForm(const QWidget* pWidget) {
  return qobject_cast<const QMainWindow*>(pWidget) || qobject_cast<const QDialog*>(pWidget);
}

QString ClassName(const QObject* pObject) {
  return QString::fromLatin1(pObject->metaObject()->className());
}

QString KeyOf(const QWidget* pForm, const QObject* pComponent) {
  return ClassName(pForm) + QLatin1Char('.') + pComponent->objectName();
}

QString ItemKey(const QString& pKey, int pIndex) {
  return pKey + QLatin1Char('.') + QString::number(pIndex);
}

// The tab widget whose page pObject is, or nullptr.
QTabWidget* TabOfPage(QObject* pObject) {
  auto* page = qobject_cast<QWidget*>(pObject);
  if (!page || !qobject_cast<QStackedWidget*>(page->parent())) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(page->parent()->parent());
  return tabs && tabs->indexOf(page) >= 0 ? tabs : nullptr;
}

} // namespace

tResources::tResources() : FLanguage(laGerman) {}

tResources::~tResources() {
  for (auto it = mWatches.cbegin(); it != mWatches.cend(); ++it)
    QObject::disconnect(it.value());
}

void tResources::AddForm(QWidget* pForm, std::function<void()> pOnTranslated) {
  if (!pForm) return;
  if (pOnTranslated)
    mOnTranslated.insert(pForm, std::move(pOnTranslated));
  else
    mOnTranslated.remove(pForm);
  if (!mForms.contains(pForm)) {
    mForms.append(pForm);
    // A form destroyed without leaving the registry must not be reached again.
    mWatches.insert(pForm, QObject::connect(pForm, &QObject::destroyed, [this, pForm] {
                      mForms.removeAll(pForm);
                      mWatches.remove(pForm);
                      mOnTranslated.remove(pForm);
                    }));
  }
  HarvestForm(pForm);
  // Only the new form: translating every form here would reach into a parent form whose
  // embedded frame is still being built and not yet registered, and give that frame's
  // components the parent's texts (the K40 page showed message 102 instead of 213).
  TranslateForm(pForm);
}

void tResources::DeleteForm(QWidget* pForm) {
  int i = mForms.indexOf(pForm);
  if (i < 0) throw eListError(QStringLiteral("List index out of bounds (%1)").arg(i));
  mForms.removeAt(i);
  QObject::disconnect(mWatches.take(pForm));
  mOnTranslated.remove(pForm);
}

bool tResources::IsRegistered(const QWidget* pForm) const {
  return mForms.contains(const_cast<QWidget*>(pForm));
}

void tResources::SetLanguage(tLanguage pLanguage) {
  FLanguage = pLanguage;
  SetDialogLanguage(pLanguage);
  // A change notification may register or remove forms; walk a copy.
  const QList<QWidget*> forms = mForms;
  for (QWidget* form : forms)
    if (mForms.contains(form)) TranslateForm(form);
}

QString tResources::CatalogueText(int pId) const {
  return EntryText(FLanguage, QString::number(pId));
}

bool tResources::RegisterText(const QString& pKey, const QString& pText) {
  QString text = pText;
  text.remove(QLatin1Char('&'));
  const QString id = GetToken(text, 1, QLatin1Char('@'));
  bool ok = false;
  id.toInt(&ok);
  if (!ok) return false;
  const QString entry = pKey + QLatin1Char('=') + id;
  auto pos = std::lower_bound(mCompIdx.begin(), mCompIdx.end(), entry, LessCi);
  if (pos == mCompIdx.end() || QString::compare(*pos, entry, Qt::CaseInsensitive) != 0)
    mCompIdx.insert(pos, entry);
  return true;
}

QString tResources::IdOf(const QString& pKey) const {
  // Entries sharing the prefix "key=" are contiguous in the sorted index.
  const QString prefix = pKey + QLatin1Char('=');
  auto pos = std::lower_bound(mCompIdx.cbegin(), mCompIdx.cend(), prefix, LessCi);
  if (pos == mCompIdx.cend() || !pos->startsWith(prefix, Qt::CaseInsensitive)) return QString();
  return pos->mid(prefix.size());
}

QString tResources::LookupText(const QString& pKey) const {
  const QString id = IdOf(pKey);
  return id.isEmpty() ? QString() : EntryText(FLanguage, id);
}

QList<QObject*> tResources::Components(QWidget* pForm) const {
  QList<QObject*> list;
  if (pForm) CollectComponents(pForm, list);
  return list;
}

void tResources::CollectComponents(QObject* pParent, QList<QObject*>& pList) const {
  for (QObject* child : pParent->children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    // An embedded frame that registers itself translates its own components; a child
    // window (a dialog) is a form of its own.
    if (widget &&
        (mForms.contains(widget) || (widget->isWindow() && !qobject_cast<QMenu*>(widget))))
      continue;
    const QString name = child->objectName();
    if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) pList.append(child);
    // A radio group's buttons are its items, reached by position.
    if (!qobject_cast<tRadioGroup*>(child)) CollectComponents(child, pList);
  }
}

void tResources::HarvestForm(QWidget* pForm) {
  const QString formClass = ClassName(pForm);
  if (IsForm(pForm))
    RegisterText(formClass + QLatin1Char('.') + pForm->objectName(), pForm->windowTitle());

  for (QObject* c : Components(pForm)) {
    const QString k = KeyOf(pForm, c);
    if (auto* p = qobject_cast<tCaptionPanel*>(c)) RegisterText(k, p->Caption());
    if (auto* g = qobject_cast<QGroupBox*>(c)) RegisterText(k, g->title());
    if (auto* b = qobject_cast<QCheckBox*>(c)) RegisterText(k, b->text());
    if (QTabWidget* tabs = TabOfPage(c))
      RegisterText(k, tabs->tabText(tabs->indexOf(static_cast<QWidget*>(c))));
    if (auto* b = qobject_cast<QPushButton*>(c)) RegisterText(k, b->text());
    if (auto* l = qobject_cast<QLabel*>(c)) RegisterText(k, l->text());
    if (auto* r = qobject_cast<QRadioButton*>(c)) RegisterText(k, r->text());
    if (auto* a = qobject_cast<QAction*>(c)) RegisterText(k, a->text());
    if (auto* m = qobject_cast<QMenu*>(c)) RegisterText(k, m->title());
    if (auto* bar = qobject_cast<QMenuBar*>(c)) {
      const QList<QAction*> items = bar->actions();
      for (int i = 0; i < items.size(); ++i)
        RegisterText(ItemKey(k, i), items[i]->text());
    }
    if (auto* view = qobject_cast<QTreeWidget*>(c)) {
      QTreeWidgetItem* header = view->headerItem();
      for (int i = 0; header && i < view->columnCount(); ++i)
        RegisterText(ItemKey(k, i), header->text(i));
    }
    if (auto* group = qobject_cast<tRadioGroup*>(c)) {
      RegisterText(k, group->Caption());
      for (int i = 0; i < group->ItemCount(); ++i)
        RegisterText(ItemKey(k, i), group->Item(i));
    }
    if (auto* edit = qobject_cast<tRichEdit*>(c)) {
      bool any = false;
      for (int i = 0; i < edit->LineCount(); ++i)
        any = RegisterText(ItemKey(k, i), edit->Line(i)) || any;
      if (any) {
        // Layouts would give it room again; taking it out of them as well keeps it hidden.
        edit->setGeometry(0, 0, 0, 0);
        edit->hide();
      }
    }
  }
}

void tResources::TranslateForm(QWidget* pForm) {
  const QString formClass = ClassName(pForm);
  const QString own = LookupText(formClass + QLatin1Char('.') + pForm->objectName());
  if (!own.isEmpty()) pForm->setWindowTitle(own);

  // A change notification may delete components of the form, or the form's registration.
  QList<QPointer<QObject>> components;
  for (QObject* c : Components(pForm))
    components.append(c);
  for (QObject* c : components) {
    if (!c) continue;
    if (!mForms.contains(pForm)) return;
    const QString k = KeyOf(pForm, c);
    if (auto* bar = qobject_cast<QMenuBar*>(c)) {
      const QList<QAction*> items = bar->actions();
      for (int i = 0; i < items.size(); ++i) {
        const QString t = LookupText(ItemKey(k, i));
        if (!t.isEmpty()) items[i]->setText(t);
      }
    } else if (auto* group = qobject_cast<tRadioGroup*>(c)) {
      group->SetCaption(LookupText(k));
      for (int i = 0; i < group->ItemCount(); ++i) {
        const QString t = LookupText(ItemKey(k, i));
        if (!t.isEmpty()) group->SetItem(i, t);
      }
    } else if (auto* edit = qobject_cast<tRichEdit*>(c)) {
      for (int i = 0; i < edit->LineCount(); ++i) {
        const QString t = LookupText(ItemKey(k, i));
        if (!t.isEmpty()) edit->SetLine(i, t);
      }
    } else if (auto* view = qobject_cast<QTreeWidget*>(c)) {
      QTreeWidgetItem* header = view->headerItem();
      for (int i = 0; header && i < view->columnCount(); ++i) {
        const QString t = LookupText(ItemKey(k, i));
        if (!t.isEmpty()) header->setText(i, t);
      }
    } else {
      const QString t = LookupText(k);
      if (t.isEmpty()) continue;
      if (auto* p = qobject_cast<tCaptionPanel*>(c)) p->SetCaption(t);
      if (auto* g = qobject_cast<QGroupBox*>(c)) g->setTitle(t + QLatin1Char(' '));
      if (auto* b = qobject_cast<QCheckBox*>(c)) b->setText(t + QLatin1Char(' '));
      if (auto* m = qobject_cast<QMenu*>(c)) m->setTitle(t);
      if (QTabWidget* tabs = TabOfPage(c))
        tabs->setTabText(tabs->indexOf(static_cast<QWidget*>(c)), t);
      if (auto* b = qobject_cast<QPushButton*>(c)) b->setText(t);
      if (auto* a = qobject_cast<QAction*>(c)) a->setText(t);
      if (auto* b = qobject_cast<tBitButton*>(c)) {
        const QString caption = GetToken(t, 1, QLatin1Char('~'));
        const QString hint = GetToken(t, 2, QLatin1Char('~'));
        b->SetCaption(caption == QLatin1String("~") ? QString() : caption);
        b->SetHint(hint == QLatin1String("~") ? QString() : hint);
      }
      if (auto* l = qobject_cast<QLabel*>(c)) l->setText(t);
      if (auto* r = qobject_cast<QRadioButton*>(c)) r->setText(t);
    }
  }
  // A copy: the handler may replace or remove itself.
  if (const auto lHandler = mOnTranslated.value(pForm); lHandler && mForms.contains(pForm))
    lHandler();
}

tResources& Resources() {
  static tResources instance;
  return instance;
}

void CheckTranslationLines(const tRichEdit& pList, int pExpected) {
  if (pList.LineCount() != pExpected) throw eError(QString::fromUtf8("Übersetzungsproblem!"));
}
