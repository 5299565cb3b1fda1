#pragma once

// Ctrl-C (SIGINT) and SIGTERM for the join command. Before the run starts
// nothing has been done, so the command ends at once (exit code 130), giving
// the terminal its echo back if a password prompt had taken it. Once the run
// is armed, a signal only sets a flag that the run context reads before each
// step and at its yields: the run then ends as it does when its window is
// closed.
namespace Interrupts {

void install();
void setRunArmed(bool armed);
// Whether SIGINT or SIGTERM came while the run was armed.
bool requested();

// The prompt for a password: echo is off in between, and an interrupt puts
// it back before the command ends.
void echoOff();
void echoBack();

}  // namespace Interrupts
