#include "installer/installer_help.h"

namespace VendraInstaller {

bool AsksForHelp(const std::vector<std::u16string>& args) {
  for (const std::u16string& arg : args)
    if (arg == u"--help" || arg == u"-h" || arg == u"/?") return true;
  return false;
}

const char kInstallerHelp[] =
    "usage: TandoryInstaller [--help]\n"
    "\n"
    "Installs Tandory (Vendra Software) into the folder that holds this program.\n"
    "In order: lists Tandory among the machine's installed programs (the uninstall\n"
    "entry \"Tandory\"), signs in to the Vendra Software service (the Login window),\n"
    "authorises this device (the Device Authorization window, the first time on a\n"
    "machine), installs or updates the package manager VendraBuild in the vendor's\n"
    "shared data folder, reads the version of Tandory's \"live\" build and hands over\n"
    "to VendraBuild, which downloads, checks and installs that build.\n"
    "It needs administrator rights (root) and the machine's identifier\n"
    "(/etc/machine-id on Linux, the system's MachineGuid on Windows).\n"
    "\n"
    "--help (also -h and /?) prints this text and does nothing else; every other\n"
    "argument is ignored.\n"
    "\n"
    "Environment:\n"
    "  VENDRA_SERVICE_URL     the service's address instead of the vendor's own\n"
    "  VENDRA_CA_FILE         a CA certificate file trusted for the service, in\n"
    "                         addition to the system's\n"
    "  VENDRA_MACHINE_ROOT    moves the machine-wide places into this folder: the\n"
    "                         shared data folder, the list of installed programs\n"
    "                         and, on Linux, the identifier ROOT/etc/machine-id\n"
    "  https_proxy, no_proxy  the proxy on the way to the service\n"
    "VendraBuild, started at the end, reads them too, and VENDRA_BUILD_CONFIG.\n"
    "\n"
    "Exit: always 0. A failure is shown in a message box (at a terminal: on\n"
    "standard error, confirmed with Enter) and ends the run; a first run that fails\n"
    "before the package manager is in place takes its uninstall entry back. After\n"
    "the hand-over the installer ends at once and VendraBuild carries on alone; its\n"
    "own exit code and log tell how the install went.\n";

}  // namespace VendraInstaller
