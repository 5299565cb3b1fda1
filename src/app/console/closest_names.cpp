#include "app/console/closest_names.h"

#include <algorithm>
#include <vector>

namespace {

// Levenshtein distance, one row at a time.
qsizetype editDistance(const QString& a, const QString& b) {
    std::vector<qsizetype> row(size_t(b.size()) + 1);
    for (qsizetype j = 0; j <= b.size(); ++j) row[size_t(j)] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[size_t(j)];
            const qsizetype change = diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1);
            row[size_t(j)] = std::min({above + 1, row[size_t(j - 1)] + 1, change});
            diagonal = above;
        }
    }
    return row[size_t(b.size())];
}

}  // namespace

QStringList ClosestNames(const QStringList& names, const QString& wanted, int count) {
    struct Ranked {
        bool caseOnly;
        qsizetype distance;
        QString name;
    };
    const QString folded = wanted.toCaseFolded();
    std::vector<Ranked> ranked;
    ranked.reserve(size_t(names.size()));
    for (const QString& name : names) {
        const QString other = name.toCaseFolded();
        ranked.push_back({other == folded, editDistance(folded, other), name});
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.caseOnly != b.caseOnly) return a.caseOnly;
        if (a.distance != b.distance) return a.distance < b.distance;
        return a.name < b.name;
    });
    QStringList closest;
    for (const Ranked& entry : ranked) {
        if (closest.size() >= count) break;
        closest << entry.name;
    }
    return closest;
}
