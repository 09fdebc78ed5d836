#pragma once
// The message texts a form's code needs: slot k holds line k of the form's hidden list as the
// localisation engine last translated it, and its German design text until then. Every form
// keeps its texts this way.
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <vector>

class tRichEdit;

class tMessageSlots {
public:
  tMessageSlots(std::initializer_list<QString> pDefaults) : mSlots(pDefaults) {}
  explicit tMessageSlots(const QStringList& pDefaults)
      : mSlots(pDefaults.begin(), pDefaults.end()) {}

  // Takes the list's lines into the slots (slots beyond the list keep their texts); called
  // from the list's change handler.
  void Take(const tRichEdit& pList);
  // Makes the list's change handler take its lines, for a form with nothing else to do then.
  void Bind(tRichEdit& pList);

  // Empty for a slot that does not exist.
  const QString& operator[](int pSlot) const;
  int Count() const { return int(mSlots.size()); }

private:
  std::vector<QString> mSlots;
};
