#pragma once

// The numbered lines of the join set-up window's handlers, as their error
// boxes name them.

// Form_Load.
namespace SetupWindowLoadLine {
enum : int {
    SetColours = 100,
    SetIcon = 102,
    TestPointerFile = 106,
    LoadPointer = 108,
    SetCaption = 110,
    ClearList1 = 112,
    ClearList3 = 114,
    FillList1 = 116,
    FillList3 = 118,
};
}

// PushButton5_Click: "< Back".
namespace BackLine {
enum : int { ShowLoginWindow = 100, HideSetupWindow = 102 };
}
