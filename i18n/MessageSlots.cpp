#include "i18n/MessageSlots.h"

#include "widgets/RichEdit.h"

void tMessageSlots::Take(const tRichEdit& pList) {
  for (int k = 0; k < pList.LineCount() && k < Count(); ++k)
    mSlots[std::size_t(k)] = pList.Line(k);
}

void tMessageSlots::Bind(tRichEdit& pList) {
  // The slots must outlive the list's handler: both belong to the same form.
  pList.SetOnChange([this, &pList] { Take(pList); });
}

const QString& tMessageSlots::operator[](int pSlot) const {
  static const QString lNone;
  return pSlot >= 0 && pSlot < Count() ? mSlots[std::size_t(pSlot)] : lNone;
}
