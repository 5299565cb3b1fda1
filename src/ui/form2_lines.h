#pragma once

// The numbered lines of the join set-up window's handlers, as their error
// boxes name them.

// Form_Load.
namespace SetupWindowLoadLine {
// A row for each part of the handler, in the order it runs them.
// clang-format off
enum : int {
    SetColours = 100, SetIcon = 102,
    TestPointerFile = 106, LoadPointer = 108, SetCaption = 110,
    ClearList1 = 112, ClearList3 = 114, FillList1 = 116, FillList3 = 118
};
// clang-format on
}  // namespace SetupWindowLoadLine

// PushButton5_Click: "< Back".
namespace BackLine {
enum : int { ShowLoginWindow = 100, HideSetupWindow = 102 };
}
