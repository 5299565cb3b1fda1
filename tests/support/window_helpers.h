#pragma once

#include <QtTest>

#include "support/recording_dialogs.h"
#include "ui/sorted_list_box.h"

// Helpers for tests that drive the windows' lists and read their error boxes.

// The entry with exactly this text (names may differ only in case).
inline QListWidgetItem* entry(SortedListBox* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == text) return list->item(i);
    return nullptr;
}

inline void clickEntry(SortedListBox* list, const QString& text) {
    QListWidgetItem* item = entry(list, text);
    QVERIFY2(item, qPrintable(QStringLiteral("no entry ") + text));
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

// The line numbers of the error boxes shown for one handler, in order.
inline QList<int> errorLines(const RecordingDialogs& dialogs, const QString& handler) {
    QList<int> lines;
    const QString location =
        QStringLiteral("\r\nin Brisvane2018/12/22.Form2.") + handler + QStringLiteral(" at line ");
    for (const auto& box : dialogs.errorBoxes()) {
        const qsizetype at = box.text.indexOf(location);
        if (at < 0) continue;
        lines << box.text.mid(at + location.size(), 3).toInt();
    }
    return lines;
}
