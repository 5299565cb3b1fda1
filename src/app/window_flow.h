#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "base/event_loop_run_context.h"

class Dialogs;
class Form1;
class Form2;

// Start-up and the way between the two windows: the login window's load step,
// the join set-up window's showing and loading, and the end of the program.
class WindowFlow final : public QObject {
public:
    WindowFlow(QString programFolder, Dialogs& dialogs);
    ~WindowFlow() override;

    // Loads the login window (its load step) and shows it, unless the saved
    // login worked and the join set-up window took its place.
    void start();

    Form1& loginWindow() const { return *m_form1; }
    // The join set-up window; none until it is first shown.
    Form2* setupWindow() const { return m_form2.get(); }
    const QString& programFolder() const { return m_programFolder; }
    EventLoopRunContext& runContext() { return m_runContext; }

private:
    void loginWindowLoad();
    void showSetupWindow();
    void loadSetupWindow();

    QString m_programFolder;
    Dialogs& m_dialogs;
    // Shared by both windows: closing either abandons what runs.
    EventLoopRunContext m_runContext;
    std::unique_ptr<Form1> m_form1;
    std::unique_ptr<Form2> m_form2;
    bool m_loginHidden = false;
};
