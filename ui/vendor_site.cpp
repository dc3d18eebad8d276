#include "ui/vendor_site.h"

#include <string>

namespace VendraUi {

void OpenAccountPage(VendraPlatform::ILauncher& launcher, IDialogHost& host) {
  // The launcher answers above 32 when the page was handed to a browser.
  if (launcher.OpenAddress(kAccountPageAddress) > 32) return;
  host.ShowMessage(MessageOwner::None, kSiteName,
                   std::u16string(u"No web browser could be started here. Open this address "
                                  u"in a browser to manage your account:\n") +
                       kAccountPageAddress);
}

}  // namespace VendraUi
