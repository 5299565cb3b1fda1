#pragma once

// The numbered lines of the login window's load step (Form1's Form_Load), as
// its error boxes name them.
namespace LoginWindowLoadLine {
// A row for each part of the handler, in the order it runs them.
// clang-format off
enum : int {
    ApplySkin = 100, SetCaptionAndIcon = 104,
    TestPointerFile = 124, LoadPointer = 126,
    FillSid = 128, FillUser = 130, FillPassword = 132,
    TestFieldsFilled = 134, CheckLogin = 136, ShowSetupWindow = 138, HideLoginWindow = 140
};
// clang-format on
}  // namespace LoginWindowLoadLine
