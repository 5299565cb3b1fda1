#include "ui/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QUrl>
#include <limits>

#include "base/dialogs.h"
#include "base/error_message.h"
#include "base/event_loop_run_context.h"
#include "base/failure.h"
#include "base/product.h"
#include "base/settings_store.h"
#include "base/trapped_handler.h"
#include "oracle/check_oracle_login.h"
#include "oracle/login_help_texts.h"
#include "oracle/test_connection.h"
#include "ui/centre_on_screen.h"
#include "ui/designed_controls.h"
#include "ui/form1_lines.h"
#include "ui/pointer_rule.h"
#include "ui/select_all_line_edit.h"
#include "ui/twips.h"

namespace {

// Qt masks passwords with a dot; this window shows one "*" per character.
class StarPasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

void paintWhite(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QString location(const char* handler) {
    return LocationText(QStringLiteral("Form1"), QString::fromLatin1(handler));
}

}  // namespace

Form1::Form1(Dialogs& dialogs, EventLoopRunContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_dialogs(dialogs),
      m_context(context),
      m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName(QStringLiteral("Form1"));
    setAccessibleName(ProductTitle());
    setFixedSize(Twips(8040), Twips(4110));
    paintWhite(this);
    buildControls();
}

void Form1::buildControls() {
    // Frames and labels are white as designed, until a skin says otherwise.
    auto frame = [this](const char* name, const QString& caption, QRect geometry) {
        QGroupBox* box = DesignedFrame(this, name, caption, geometry);
        paintWhite(box);
        return box;
    };
    auto label = [](QWidget* parent, const char* name, const QString& caption, QRect geometry) {
        QLabel* text = DesignedLabel(parent, name, caption);
        text->setGeometry(geometry);
        paintWhite(text);
        return text;
    };
    auto field = [](QWidget* parent, const char* name, QLabel* caption, QRect geometry) {
        auto* edit = new SelectAllLineEdit(parent);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setFont(ControlFont());
        edit->setGeometry(geometry);
        // A field keeps whatever was typed or saved, however long: Qt would
        // cut it at 32,767 characters.
        edit->setMaxLength(std::numeric_limits<int>::max());
        NameAfterLabel(edit, caption);
        return edit;
    };
    auto button = DesignedButton;

    m_frame1 = frame("Frame1", QStringLiteral("Oracle Login"), TwipsRect(120, 120, 7800, 2415));
    auto* label2 =
        label(m_frame1, "Label2", QStringLiteral("SID:"), TwipsRect(240, 405, 1095, 255));
    m_text1 = field(m_frame1, "Text1", label2, TwipsRect(1320, 360, 5535, 345));
    m_pushButton1 =
        button(m_frame1, "PushButton1", QStringLiteral("?"), TwipsRect(6960, 360, 615, 345));
    m_pushButton1->setAccessibleDescription(QStringLiteral("What is a SID?"));
    auto* label1 =
        label(m_frame1, "Label1", QStringLiteral("Username:"), TwipsRect(240, 885, 1095, 255));
    m_text2 = field(m_frame1, "Text2", label1, TwipsRect(1320, 840, 6255, 345));
    auto* label4 =
        label(m_frame1, "Label4", QStringLiteral("Password:"), TwipsRect(240, 1365, 1095, 255));
    m_text3 = field(m_frame1, "Text3", label4, TwipsRect(1320, 1320, 6255, 345));
    m_text3->setEchoMode(QLineEdit::Password);
    auto* starStyle = new StarPasswordStyle;
    starStyle->setParent(m_text3);
    m_text3->setStyle(starStyle);
    m_pushButton5 = button(m_frame1, "PushButton5", QStringLiteral("Test Connection"),
                           TwipsRect(240, 1800, 3600, 405));
    m_pushButton6 =
        button(m_frame1, "PushButton6", QStringLiteral("Help"), TwipsRect(3960, 1800, 3600, 405));

    m_frame2 = frame("Frame2", QStringLiteral("Other Software"), TwipsRect(120, 2600, 7800, 855));
    m_pushButton4 = button(m_frame2, "PushButton4", QStringLiteral("Quillmere Table Compare"),
                           TwipsRect(240, 300, 7300, 405));
    m_pushButton3 =
        button(this, "PushButton3", QStringLiteral("Next >"), TwipsRect(120, 3580, 7800, 405));

    QWidget::setTabOrder(m_text1, m_pushButton1);
    QWidget::setTabOrder(m_pushButton1, m_text2);
    QWidget::setTabOrder(m_text2, m_text3);
    QWidget::setTabOrder(m_text3, m_pushButton5);
    QWidget::setTabOrder(m_pushButton5, m_pushButton6);
    QWidget::setTabOrder(m_pushButton6, m_pushButton4);
    QWidget::setTabOrder(m_pushButton4, m_pushButton3);
    setFocusProxy(m_text1);
    m_text1->setFocus(Qt::OtherFocusReason);

    // Every change of a field is the saved login at once.
    connect(m_text1, &QLineEdit::textChanged, this,
            [](const QString& text) { SettingsStore::write(SettingsStore::OracleSID(), text); });
    connect(m_text2, &QLineEdit::textChanged, this,
            [](const QString& text) { SettingsStore::write(SettingsStore::OracleUser(), text); });
    connect(m_text3, &QLineEdit::textChanged, this, [](const QString& text) {
        SettingsStore::write(SettingsStore::OraclePassword(), text);
    });

    new PointerRule(*this, m_pointer,
                    {m_pushButton1, m_pushButton3, m_pushButton4, m_pushButton5, m_pushButton6},
                    {m_frame1, m_frame2, m_text1, m_text2, m_text3});

    connect(m_pushButton1, &QPushButton::clicked, this, &Form1::onSidHelp);
    connect(m_pushButton6, &QPushButton::clicked, this, &Form1::onHelp);
    connect(m_pushButton5, &QPushButton::clicked, this, &Form1::onTestConnection);
    connect(m_pushButton3, &QPushButton::clicked, this, &Form1::onNext);
    connect(m_pushButton4, &QPushButton::clicked, this, &Form1::onOtherSoftware);
}

OracleLogin Form1::login() const { return {m_text1->text(), m_text2->text(), m_text3->text()}; }

QUrl Form1::OtherSoftwareAddress() {
    return QUrl(QStringLiteral("https://www.varnholt.example/table-compare/"));
}

void Form1::onSidHelp() {
    TrappedHandler handler(location("PushButton1_Click"), m_dialogs, &m_context);
    handler.step(SidHelpLine::ShowSidHelp, [&] { m_dialogs.message(SidHelpText()); });
}

void Form1::onHelp() {
    TrappedHandler handler(location("PushButton6_Click"), m_dialogs, &m_context);
    handler.step(HelpLine::ShowSidHelp, [&] { m_dialogs.message(SidHelpText()); });
    handler.step(HelpLine::ShowLobHelp, [&] { m_dialogs.message(LobHelpText()); });
    handler.step(HelpLine::ShowStagingHelp, [&] { m_dialogs.message(StagingHelpText()); });
}

void Form1::onTestConnection() { TestConnection(login(), m_dialogs, m_pointer); }

void Form1::onNext() {
    TrappedHandler handler(location("PushButton3_Click"), m_dialogs, &m_context);
    // No hourglass here: the window simply waits for the answer.
    if (!handler.test(NextLine::CheckLogin, [&] { return CheckOracleLogin(login()); })) return;
    handler.step(NextLine::ShowSetupWindow, [&] {
        if (m_setupWindow.show) m_setupWindow.show();
    });
    handler.step(NextLine::HideLoginWindow, [&] { hide(); });
    handler.step(NextLine::LoadSetupWindow, [&] {
        if (m_setupWindow.load) m_setupWindow.load();
    });
}

void Form1::onOtherSoftware() {
    TrappedHandler handler(location("PushButton4_Click"), m_dialogs, &m_context);
    handler.step(OtherSoftwareLine::OpenWebPage, [&] {
        const QUrl address = OtherSoftwareAddress();
        if (!m_openUrl(address))
            throw Failure(QStringLiteral("The web browser could not be started for ") +
                          address.toString());
    });
}

void Form1::showEvent(QShowEvent* event) {
    // Centred when first shown, also when that is a return from the join
    // set-up window because the saved login skipped this window at start.
    if (!m_placed) {
        CentreOnScreen(*this);
        m_placed = true;
    }
    QWidget::showEvent(event);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    // Closing the login window ends the program, even with other windows
    // hidden; a run that is yielding stops at its next yield.
    m_context.abandon();
    QApplication::quit();
}
