#include "oracle/test_connection.h"

#include <optional>

#include "base/dialogs.h"
#include "base/error_message.h"
#include "base/failure.h"
#include "base/pointer_state.h"
#include "base/trapped_handler.h"
#include "db/connection.h"
#include "oracle/client_character_set.h"
#include "oracle/oracle_connection_string.h"
#include "oracle/oracle_lines.h"

void TestConnection(const OracleLogin& login, Dialogs& dialogs, WindowPointer& pointer) {
    TrappedHandler handler(
        LocationText(QStringLiteral("Form1"), QStringLiteral("PushButton5_Click")), dialogs);
    std::optional<db::Connection> connection;
    handler.step(TestConnectionLine::CreateConnection, [&] { connection.emplace(); });

    // From here on a failure goes to the message below, never to the error box.
    const std::optional<QString> failure = handler.ownHandling([&] {
        pointer.setPointerState(PointerState::Hourglass);
        if (!connection) throw Failure(QStringLiteral("No connection object."));
        connection->open(OracleConnectionString(login));
        // A client character set that loses characters is told beside the
        // success: it is not a failure, and only the text shows it.
        dialogs.message(QStringLiteral("Connection successful."), QString(), Dialogs::Icon::None,
                        ClientCharacterSetNote());
        pointer.setPointerState(PointerState::Default);
    });
    if (failure) {
        // The driver's reason in full behind the box's text, which stays as
        // users know it.
        dialogs.message(QStringLiteral("Could not connect. Please check with your administrator."),
                        QString(), Dialogs::Icon::None, *failure);
        pointer.setPointerState(PointerState::Default);
    }
}
