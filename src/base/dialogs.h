#pragma once

#include <QString>
#include <exception>
#include <optional>

// A failure in a trapped handler, as its error box reports it.
struct ErrorBox {
    QString text;                // the box's whole text (ErrorMessage)
    QString description;         // the failure's own words, at the head of the text
    QString details;             // FailureDetails: the driver's state, code and words
    int line = 0;                // the handler's line in effect
    std::exception_ptr failure;  // what was thrown, for a report that tells kinds apart
};

// Every message box, the error box and the text prompt go through here, so
// logic never opens a dialog itself and tests can answer them. An empty
// caption means the application title.
class Dialogs {
public:
    enum class Icon { None, Warning, Information };

    static QString errorBoxCaption() { return QStringLiteral("Application Error"); }

    virtual ~Dialogs() = default;

    // The error box: a warning box with the text, the details behind it. A
    // report that is not a box (the join command's) takes the parts as they
    // are, never by cutting the text apart.
    virtual void errorBox(const ErrorBox& box) {
        message(box.text, errorBoxCaption(), Icon::Warning, box.details);
    }

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
