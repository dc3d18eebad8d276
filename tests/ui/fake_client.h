#pragma once

#include "tests/support/fake_client.h"
#include "tests/ui/scripted_dialogs.h"
#include "ui/sign_in_windows.h"

namespace VendraUiTest {

using VendraTest::Answer;
using VendraTest::FakeClient;
using VendraTest::RecordingLauncher;

// The client's Login window shown for real, on the backend the test drives.
inline void ShowLoginOn(FakeClient& client, VendraUi::IDialogBackend& backend,
                        VendraPlatform::ILauncher& launcher) {
  client.loginWindow = [&client, &backend, &launcher,
                        state = VendraUi::WindowState()](std::u16string& error) mutable {
    return VendraUi::ShowLoginWindow(client, {backend, launcher, state}, error);
  };
}

}  // namespace VendraUiTest
