#pragma once

#include <QString>
#include <optional>

// Every message box, the error box and the text prompt go through here, so
// logic never opens a dialog itself and tests can answer them. An empty
// caption means the application title.
class Dialogs {
public:
    enum class Icon { None, Warning, Information };

    virtual ~Dialogs() = default;

    // A modal box with a single OK button; returns once the user closed it.
    // Details, when given, are shown on the user's asking, below the text
    // (a box that reports a failure gives its reason in full there).
    virtual void message(const QString& text, const QString& caption = {}, Icon icon = Icon::None,
                         const QString& details = {}) = 0;
    // A modal question with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& caption = {}) = 0;
    // A modal text prompt; no value when the user cancelled it.
    virtual std::optional<QString> prompt(const QString& text, const QString& caption = {},
                                          const QString& defaultAnswer = {}) = 0;
};
