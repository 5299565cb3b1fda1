#pragma once

#include <QList>
#include <QStringList>
#include <functional>

#include "base/dialogs.h"

// Dialogs answered by the test: every box is recorded, questions and prompts
// take their answers from queues (No and a cancel when a queue is empty).
class RecordingDialogs final : public Dialogs {
public:
    struct Shown {
        QString kind;  // "message", "question" or "prompt"
        QString text;
        QString caption;
        Icon icon = Icon::None;
        QString details;  // a message's details; empty when it has none
    };

    void message(const QString& text, const QString& caption, Icon icon,
                 const QString& details) override {
        shown << Shown{QStringLiteral("message"), text, caption, icon, details};
        if (onShown) onShown(shown.back());
    }
    bool askYesNo(const QString& text, const QString& caption) override {
        shown << Shown{QStringLiteral("question"), text, caption, Icon::None, QString()};
        if (onShown) onShown(shown.back());
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }
    std::optional<QString> prompt(const QString& text, const QString& caption,
                                  const QString&) override {
        shown << Shown{QStringLiteral("prompt"), text, caption, Icon::None, QString()};
        if (onShown) onShown(shown.back());
        if (promptAnswers.isEmpty()) return std::nullopt;
        return promptAnswers.takeFirst();
    }

    QStringList texts() const {
        QStringList all;
        for (const Shown& s : shown) all << s.text;
        return all;
    }
    QList<Shown> errorBoxes() const {
        QList<Shown> boxes;
        for (const Shown& s : shown)
            if (s.caption == QStringLiteral("Application Error")) boxes << s;
        return boxes;
    }

    QList<Shown> shown;
    QList<bool> yesNoAnswers;
    QList<std::optional<QString>> promptAnswers;
    std::function<void(const Shown&)> onShown;
};
