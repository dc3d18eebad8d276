#pragma once

#include <cstdint>
#include <string>

namespace VendraPlatform {

// The text that identifies this machine for as long as its system is
// installed, as stored by the system; false when there is none.
//
// Windows: the value "MachineGuid" of the machine's cryptography key
// (HKEY_LOCAL_MACHINE, "SOFTWARE\Microsoft\Cryptography") in the 64-bit
// view, read as narrow text into a 128-byte buffer (so at most 127 bytes),
// only when it is a plain string.
// POSIX: the first line of /etc/machine-id (of the file etc/machine-id below
// VENDRA_MACHINE_ROOT when the machine-wide places are relocated).
bool MachineIdentifier(std::string& text);

// For a person, when MachineIdentifier finds none: where it is read from and
// how the machine gets one, as a clause ("it is read from PLACE, which ...;
// give ..., then run this again.").
std::u16string MissingMachineIdentifierText();

// The computer's network name, at most 63 characters. Answers a system error
// number, 0 on success.
uint32_t ComputerName(std::u16string& name);

}  // namespace VendraPlatform
