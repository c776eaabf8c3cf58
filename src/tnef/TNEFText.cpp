#include "TNEFText.h"

const char kTNEFUntitledAttachment[] = "Untitled Attachment";

QString TNEFFileItemDisplayName(const TNEFFileItem *item)
{
    QString name = item->name.empty() ? QString::fromLatin1(kTNEFUntitledAttachment)
                                      : QString::fromStdString(item->name);
    if (item->isTNEF == -1)
        name.prepend(QLatin1String("TNEF: "));
    return name;
}
