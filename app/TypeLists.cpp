#include "TypeLists.h"

#include "VariantTypes.h"

#include <QComboBox>

void FillVTTypeList(QComboBox *combo)
{
    combo->clear();
    for (const TypeListEntry &entry : VTTypeList())
        combo->addItem(entry.text, entry.value);
    combo->setCurrentIndex(0);
}

void FillShortTypeList(QComboBox *combo)
{
    combo->clear();
    combo->addItems(ShortTypeList());
    combo->setCurrentIndex(kShortBstrIndex);
}
