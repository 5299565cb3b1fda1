#include "app/window_flow.h"

#include <QLineEdit>

#include "app/login_window_load_lines.h"
#include "base/app_title.h"
#include "base/error_message.h"
#include "base/file_exists.h"
#include "base/product.h"
#include "base/program_files.h"
#include "base/settings_store.h"
#include "base/trapped_handler.h"
#include "join/join_run.h"
#include "oracle/check_oracle_login.h"
#include "ui/apply_skin.h"
#include "ui/centre_on_screen.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/pointer_image.h"
#include "ui/program_icon.h"

namespace {
// Far past the 8,000 characters any working login can have; a longer saved
// value would only stall or crash the text field that shows it.
constexpr qsizetype MaxSavedFieldLength = 65536;

// The saved text for a login field, or nothing when it is too long to show.
// An empty field stays unchanged, so the store keeps what it holds.
QString savedFieldText(const QString& key) {
    QString text = SettingsStore::read(key);
    if (text.size() > MaxSavedFieldLength) return {};
    return text;
}
}  // namespace

WindowFlow::WindowFlow(QString programFolder, Dialogs& dialogs)
    : m_programFolder(std::move(programFolder)),
      m_dialogs(dialogs),
      m_form1(std::make_unique<Form1>(dialogs, m_runContext)) {
    m_form1->setSetupWindowSteps({[this] { showSetupWindow(); }, [this] { loadSetupWindow(); }});
}

WindowFlow::~WindowFlow() = default;

void WindowFlow::start() {
    loginWindowLoad();
    if (m_loginHidden) return;
    Form1& form = *m_form1;
    form.show();
    form.activateWindow();
    form.sidField()->setFocus(Qt::ActiveWindowFocusReason);
}

void WindowFlow::loginWindowLoad() {
    Form1& form = *m_form1;
    TrappedHandler handler(LocationText(QStringLiteral("Form1"), QStringLiteral("Form_Load")),
                           m_dialogs, &m_runContext);
    handler.step(LoginWindowLoadLine::ApplySkin, [&] { ApplySkin(form, m_programFolder); });
    handler.step(LoginWindowLoadLine::SetCaptionAndIcon, [&] {
        form.setWindowTitle(ProductTitle());
        form.setWindowIcon(ProgramIcon());
        SetAppTitle();
    });
    const QString pointerFile = HandPointerFile(m_programFolder);
    if (handler.test(LoginWindowLoadLine::TestPointerFile, [&] { return FileExists(pointerFile); }))
        handler.step(LoginWindowLoadLine::LoadPointer,
                     [&] { form.pointer().setImage(LoadPointerImage(pointerFile)); });
    handler.step(LoginWindowLoadLine::FillSid,
                 [&] { form.sidField()->setText(savedFieldText(SettingsStore::OracleSID())); });
    handler.step(LoginWindowLoadLine::FillUser,
                 [&] { form.userField()->setText(savedFieldText(SettingsStore::OracleUser())); });
    handler.step(LoginWindowLoadLine::FillPassword, [&] {
        form.passwordField()->setText(savedFieldText(SettingsStore::OraclePassword()));
    });
    // A field of blanks counts as filled; only a field without any character stops here.
    if (!handler.test(LoginWindowLoadLine::TestFieldsFilled, [&] {
            const OracleLogin login = form.login();
            return !login.sid.isEmpty() && !login.user.isEmpty() && !login.password.isEmpty();
        }))
        return;
    if (!handler.test(LoginWindowLoadLine::CheckLogin,
                      [&] { return CheckOracleLogin(form.login()); }))
        return;
    handler.step(LoginWindowLoadLine::ShowSetupWindow, [&] { showSetupWindow(); });
    handler.step(LoginWindowLoadLine::HideLoginWindow, [&] {
        form.hide();
        m_loginHidden = true;
    });
}

void WindowFlow::showSetupWindow() {
    if (!m_form2) {
        // Loaded at its first showing. It is in place before its load step
        // runs, so a "Next >" pressed while the load yields finds it.
        m_form2 = std::make_unique<Form2>(
            m_programFolder, m_dialogs, [this] { return m_form1->login(); }, m_runContext);
        m_runContext.setProgressSink([this](int value) { m_form2->setProgress(value); });
        m_form2->setShowLoginWindow([this] { m_form1->show(); });
        m_form2->setStartJoining(
            [this] { PushButton2_Click(*m_form2, m_dialogs, m_runContext, m_programFolder); });
        m_form2->load();
        CentreOnScreen(*m_form2);
    }
    m_form2->show();
    m_form2->activateWindow();
}

void WindowFlow::loadSetupWindow() {
    if (m_form2) m_form2->load();
}
