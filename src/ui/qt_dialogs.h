#pragma once

#include "base/dialogs.h"

class QWidget;

// The real dialogs: Qt's message boxes and input dialog, modal.
class QtDialogs final : public Dialogs {
public:
    void message(const QString& text, const QString& caption, Icon icon,
                 const QString& details) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    std::optional<QString> prompt(const QString& text, const QString& caption,
                                  const QString& defaultAnswer) override;
};
