#pragma once

namespace VendraPlatform {

// True when standard output is an interactive terminal (not a file or a
// pipe), where a line may be redrawn in place.
bool StandardOutputIsTerminal();

// True when standard output goes to a file or a pipe, where a script or a
// log reads it.
bool StandardOutputIsCaptured();

// True when standard output leads anywhere (a terminal, a file, a pipe, a
// device); a windowed program started from a window has none.
bool StandardOutputIsOpen();

// Lets go of a console the system opened for this program alone (a console
// program started from a window gets one), so that no empty console window
// stays open beside the program's own window. A console shared with the
// shell the program was started from stays.
void ReleaseOwnConsole();

// The width of the terminal standard output shows on; 80 when unknown.
int TerminalColumns();

// Makes standard input count as absent for the rest of the process, so that
// nothing waits for a person to type (unattended runs).
void DisconnectStandardInput();

}  // namespace VendraPlatform
