#pragma once

#include <QWidget>
#include <functional>

#include "oracle/oracle_login.h"
#include "ui/widget_pointer.h"

class Dialogs;
class EventLoopRunContext;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The login window: SID, user name and password, the connection test, two
// help texts, and "Next >" to the join set-up window.
class Form1 final : public QWidget {
public:
    // What "Next >" does once the login works; the window flow provides it.
    struct SetupWindowSteps {
        std::function<void()> show;
        std::function<void()> load;
    };

    // Closing the window abandons whatever runs in the run context.
    Form1(Dialogs& dialogs, EventLoopRunContext& context, QWidget* parent = nullptr);

    void setSetupWindowSteps(SetupWindowSteps steps) { m_setupWindow = std::move(steps); }
    void setOtherSoftwareOpener(std::function<bool(const QUrl&)> opener) {
        m_openUrl = std::move(opener);
    }

    // The three fields as they stand now.
    OracleLogin login() const;

    QLineEdit* sidField() const { return m_text1; }
    QLineEdit* userField() const { return m_text2; }
    QLineEdit* passwordField() const { return m_text3; }
    WidgetPointer& pointer() { return m_pointer; }
    Dialogs& dialogs() const { return m_dialogs; }

    static QUrl OtherSoftwareAddress();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void onSidHelp();
    void onHelp();
    void onTestConnection();
    void onNext();
    void onOtherSoftware();

    Dialogs& m_dialogs;
    EventLoopRunContext& m_context;
    WidgetPointer m_pointer{*this};
    SetupWindowSteps m_setupWindow;
    std::function<bool(const QUrl&)> m_openUrl;
    bool m_placed = false;

    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QPushButton* m_pushButton1 = nullptr;
    QPushButton* m_pushButton3 = nullptr;
    QPushButton* m_pushButton4 = nullptr;
    QPushButton* m_pushButton5 = nullptr;
    QPushButton* m_pushButton6 = nullptr;
};
