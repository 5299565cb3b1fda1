#pragma once

// The numbered lines of the login window's click handlers, as their error
// boxes name them.

// PushButton1_Click: the SID's help.
namespace SidHelpLine {
enum : int { ShowSidHelp = 126 };
}

// PushButton6_Click: the login's help, three messages.
namespace HelpLine {
enum : int { ShowSidHelp = 126, ShowLobHelp = 128, ShowStagingHelp = 130 };
}

// PushButton3_Click: "Next >".
namespace NextLine {
enum : int {
    CheckLogin = 100,
    ShowSetupWindow = 102,
    HideLoginWindow = 104,
    LoadSetupWindow = 106
};
}

// PushButton4_Click: the other software's web page.
namespace OtherSoftwareLine {
enum : int { OpenWebPage = 100 };
}
