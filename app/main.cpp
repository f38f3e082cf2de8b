#include <memory>

#include "app/frmMain.h"
#include "app/frmMain_layout.h"
#include "platform/ports/adapter_hooks.h"

int main(int argc, char** argv) {
    return tw::RunApplication(argc, argv, tw::frmMainLayout(), [](tw::Form& form, tw::UiRuntime& runtime) {
        return std::make_unique<tw::frmMain>(form, runtime, tw::DesktopWindowSystem(), &tw::LocalNow);
    });
}
