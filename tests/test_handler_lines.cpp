// The handlers' line tables against the numbers their error boxes show. The
// handlers and the benchmark take their lines from the tables, so a wrong
// constant would pass everywhere else: here each is pinned to its number.
#include <QtTest>

#include "app/login_window_load_lines.h"
#include "join/join_lines.h"
#include "oracle/oracle_lines.h"
#include "support/private_home.h"
#include "ui/form1_lines.h"
#include "ui/form2_lines.h"

class TestHandlerLines : public QObject {
    Q_OBJECT

public:
    // Before the application object: the program's home is a temporary one.
    static void initMain() { UsePrivateHome(); }

private slots:
    void linesKeepTheirNumbers_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("number");
        const auto row = [](const char* name, int line, int number) {
            QTest::newRow(name) << line << number;
        };
        using namespace JoinLine;
        row("join: CheckSelections", CheckSelections, 120);
        row("join: ShowHourglass", ShowHourglass, 122);
        row("join: CopyTable1", CopyTable1, 124);
        row("join: CopyTable2", CopyTable2, 126);
        row("join: MakeField1Text", MakeField1Text, 128);
        row("join: MakeField2Text", MakeField2Text, 130);
        row("join: OpenStaging", OpenStaging, 134);
        row("join: BuildJoinQuery", BuildJoinQuery, 136);
        row("join: OpenJoin", OpenJoin, 138);
        row("join: AskTableName", AskTableName, 140);
        row("join: TestNameEmpty", TestNameEmpty, 142);
        row("join: TestStagedTableExists", TestStagedTableExists, 144);
        row("join: DropStagedTable", DropStagedTable, 146);
        row("join: NameResultColumns", NameResultColumns, 148);
        row("join: StageResult", StageResult, 252);
        row("join: CloseStaging", CloseStaging, 256);
        row("join: OpenOracle", OpenOracle, 260);
        row("join: OpenStagingForReading", OpenStagingForReading, 266);
        row("join: TakeTableName", TakeTableName, 268);
        row("join: TestTableListed", TestTableListed, 270);
        row("join: AskOverwrite", AskOverwrite, 272);
        row("join: TestAnswerNo", TestAnswerNo, 276);
        row("join: TestAnswerYes", TestAnswerYes, 278);
        row("join: DropOracleTable", DropOracleTable, 280);
        row("join: RemoveFromList1", RemoveFromList1, 282);
        row("join: RemoveFromList3", RemoveFromList3, 284);
        row("join: OpenStagedRows", OpenStagedRows, 286);
        row("join: BuildCreateTable", BuildCreateTable, 288);
        row("join: CreateOracleTable", CreateOracleTable, 306);
        row("join: CountStagedRows", CountStagedRows, 314);
        row("join: SendRows", SendRows, 316);
        row("join: InsertRow", InsertRow, 348);
        row("join: ReadNextRow", ReadNextRow, 350);
        row("join: ResetProgress", ResetProgress, 354);
        row("join: CloseStagedRows", CloseStagedRows, 356);
        row("join: AddToList1", AddToList1, 358);
        row("join: AddToList3", AddToList3, 360);
        row("join: RestorePointerAfterWriting", RestorePointerAfterWriting, 368);
        row("join: CloseStagingForReading", CloseStagingForReading, 370);
        row("join: CloseOracle", CloseOracle, 372);
        row("join: RestorePointer", RestorePointer, 374);
        row("join: ShowSelectionMessage", ShowSelectionMessage, 376);

        row("login load: ApplySkin", LoginWindowLoadLine::ApplySkin, 100);
        row("login load: SetCaptionAndIcon", LoginWindowLoadLine::SetCaptionAndIcon, 104);
        row("login load: TestPointerFile", LoginWindowLoadLine::TestPointerFile, 124);
        row("login load: LoadPointer", LoginWindowLoadLine::LoadPointer, 126);
        row("login load: FillSid", LoginWindowLoadLine::FillSid, 128);
        row("login load: FillUser", LoginWindowLoadLine::FillUser, 130);
        row("login load: FillPassword", LoginWindowLoadLine::FillPassword, 132);
        row("login load: TestFieldsFilled", LoginWindowLoadLine::TestFieldsFilled, 134);
        row("login load: CheckLogin", LoginWindowLoadLine::CheckLogin, 136);
        row("login load: ShowSetupWindow", LoginWindowLoadLine::ShowSetupWindow, 138);
        row("login load: HideLoginWindow", LoginWindowLoadLine::HideLoginWindow, 140);

        row("SID help: ShowSidHelp", SidHelpLine::ShowSidHelp, 126);
        row("help: ShowSidHelp", HelpLine::ShowSidHelp, 126);
        row("help: ShowLobHelp", HelpLine::ShowLobHelp, 128);
        row("help: ShowStagingHelp", HelpLine::ShowStagingHelp, 130);
        row("next: CheckLogin", NextLine::CheckLogin, 100);
        row("next: ShowSetupWindow", NextLine::ShowSetupWindow, 102);
        row("next: HideLoginWindow", NextLine::HideLoginWindow, 104);
        row("next: LoadSetupWindow", NextLine::LoadSetupWindow, 106);
        row("other software: OpenWebPage", OtherSoftwareLine::OpenWebPage, 100);
        row("test connection: CreateConnection", TestConnectionLine::CreateConnection, 100);

        row("set-up load: SetColours", SetupWindowLoadLine::SetColours, 100);
        row("set-up load: SetIcon", SetupWindowLoadLine::SetIcon, 102);
        row("set-up load: TestPointerFile", SetupWindowLoadLine::TestPointerFile, 106);
        row("set-up load: LoadPointer", SetupWindowLoadLine::LoadPointer, 108);
        row("set-up load: SetCaption", SetupWindowLoadLine::SetCaption, 110);
        row("set-up load: ClearList1", SetupWindowLoadLine::ClearList1, 112);
        row("set-up load: ClearList3", SetupWindowLoadLine::ClearList3, 114);
        row("set-up load: FillList1", SetupWindowLoadLine::FillList1, 116);
        row("set-up load: FillList3", SetupWindowLoadLine::FillList3, 118);
        row("back: ShowLoginWindow", BackLine::ShowLoginWindow, 100);
        row("back: HideSetupWindow", BackLine::HideSetupWindow, 102);
        row("field list: ListFields", ListFieldsLine::ListFields, 100);
    }

    void linesKeepTheirNumbers() {
        QFETCH(int, line);
        QFETCH(int, number);
        QCOMPARE(line, number);
    }
};

QTEST_APPLESS_MAIN(TestHandlerLines)
#include "test_handler_lines.moc"
