#include "app/frmMain.h"

#include "app/frmMain_layout.h"
#include "platform/portable/errors.h"
#include "shaping/clsTransForm.h"

namespace tw {

frmMain::frmMain(Form& form, UiRuntime& runtime, WindowSystem& windowSystem, TimeSource clock)
    : form_(form),
      runtime_(runtime),
      windowSystem_(windowSystem),
      clock_(std::move(clock)),
      Label1(form.GetLabel("Label1")),
      Label2(form.GetLabel("Label2")) {}

void frmMain::Form_Load() {
    // Any failure here leaves the window rectangular and the program runs
    // on. Making the shaper cannot fail short of memory, and then shaping is
    // skipped just the same: one resume-next step covers both.
    ResumeNext([&] {
        clsTransForm shaper(windowSystem_);
        const Colour colr = kKeyColour;
        shaper.SetRegion(form_, colr);
    });
}

void frmMain::Form_MouseDown(std::int16_t Button, std::int16_t /*Shift*/, float /*X*/, float /*Y*/) {
    windowSystem_.ReleaseCapture();
    const WindowHandle hWnd = form_.hWnd();
    windowSystem_.SendMessageA(hWnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    if (Button == vbRightButton) form_.PopupMenu("menu");
}

void frmMain::Timer_Tick(const std::string& timerName) {
    if (timerName == "Timer1") Timer1_Timer();
}

void frmMain::Menu_Click(const std::string& itemName) {
    if (itemName == "menuAbout") menuAbout_Click();
    else if (itemName == "menuExit") menuExit_Click();
}

const std::string& frmMain::AboutPrompt() {
    static const std::string prompt =
        "Tallowind was designed by Orlevask.\r\n"
        "Share it with others.\r\n"
        "I got this idea from the MacOS X\r\n"
        "For any more informations, visit our website: \r\n"
        "https://tallowind.example/";
    return prompt;
}

void frmMain::menuAbout_Click() { runtime_.MsgBox(AboutPrompt(), vbOKOnly | vbInformation, "About..."); }

void frmMain::menuExit_Click() { runtime_.End(); }

}  // namespace tw
