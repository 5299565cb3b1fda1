#pragma once

// The numbered lines of the join run (Form2's PushButton2_Click), as its
// error boxes name them. The writing of the result table goes on with the
// run's own numbers, from OpenOracle to CloseOracle.
namespace JoinLine {
// A row for each part of the handler, in the order it runs them.
// clang-format off
enum : int {
    // The selections, and the copies of both tables.
    CheckSelections = 120, ShowSelectionMessage = 376, ShowHourglass = 122,
    CopyTable1 = 124, CopyTable2 = 126,
    // The join in the staging file.
    MakeField1Text = 128, MakeField2Text = 130,
    OpenStaging = 134, BuildJoinQuery = 136, OpenJoin = 138,
    // The new table's name, and the staged result.
    AskTableName = 140, TestNameEmpty = 142, TestStagedTableExists = 144, DropStagedTable = 146,
    NameResultColumns = 148, StageResult = 252, CloseStaging = 256,
    // The writing: its connections, and whether to overwrite a listed table.
    OpenOracle = 260, OpenStagingForReading = 266,
    TakeTableName = 268, TestTableListed = 270, AskOverwrite = 272,
    TestAnswerNo = 276, TestAnswerYes = 278,
    DropOracleTable = 280, RemoveFromList1 = 282, RemoveFromList3 = 284,
    // The server's table and its rows.
    OpenStagedRows = 286, BuildCreateTable = 288, CreateOracleTable = 306, CountStagedRows = 314,
    SendRows = 316, InsertRow = 348, ReadNextRow = 350,
    // The end of the writing, and of the run.
    ResetProgress = 354, CloseStagedRows = 356, AddToList1 = 358, AddToList3 = 360,
    RestorePointerAfterWriting = 368, CloseStagingForReading = 370, CloseOracle = 372,
    RestorePointer = 374
};
// clang-format on
}  // namespace JoinLine
