#include "base/app_title.h"

#include "base/product.h"

namespace {
QString& appTitleStorage() {
    static QString title;
    return title;
}
}  // namespace

QString AppTitleFor(const QString& productTitle) {
    QString title = productTitle;
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0) break;
        title.truncate(blank);
    } while (title.size() > 40);
    return title;
}

void SetAppTitle() { appTitleStorage() = AppTitleFor(ProductTitle()); }

QString AppTitle() { return appTitleStorage(); }
