#pragma once

// The vendor's web site as the dialogs name it. The domain is a macro so that
// it can be joined into the dialog texts at compile time.
#define VENDRA_SITE_DOMAIN "vendrasoftware.example"

#include "platform/launcher.h"
#include "ui/dialog_host.h"

namespace VendraUi {

// The page where a person manages the account (password, authenticator,
// devices); opened by the dialogs' account buttons.
inline constexpr char16_t kAccountPageAddress[] =
    u"https://account." VENDRA_SITE_DOMAIN "/my-account";

// Opens the account page; where no browser can be started (a terminal
// without a desktop), a message gives its address to open elsewhere.
void OpenAccountPage(VendraPlatform::ILauncher& launcher, IDialogHost& host);

// The site's name as it appears in running text.
inline constexpr char16_t kSiteName[] = u"Vendra Software";

}  // namespace VendraUi
