#pragma once

namespace VendraPlatform {

// True when standard output is an interactive terminal (not a file or a
// pipe), where a line may be redrawn in place.
bool StandardOutputIsTerminal();

// The width of the terminal standard output shows on; 80 when unknown.
int TerminalColumns();

// Makes standard input count as absent for the rest of the process, so that
// nothing waits for a person to type (unattended runs).
void DisconnectStandardInput();

}  // namespace VendraPlatform
