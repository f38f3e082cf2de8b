// The main window's handlers: load, mouse-down, the countdown tick and the
// pop-up menu's items.
#pragma once

#include <cstdint>
#include <string>

#include "platform/portable/datetime.h"
#include "platform/ports/ui.h"
#include "platform/ports/window_system.h"

namespace tw {

class frmMain final : public FormHandlers {
public:
    frmMain(Form& form, UiRuntime& runtime, WindowSystem& windowSystem, TimeSource clock);

    void Form_Load() override;
    void Form_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y) override;
    void Timer_Tick(const std::string& timerName) override;
    void Menu_Click(const std::string& itemName) override;

    void Timer1_Timer();
    void menuAbout_Click();
    void menuExit_Click();

    static const std::string& AboutPrompt();

private:
    static void SplitSeconds(std::int32_t total, std::int32_t& days, std::int32_t& hours,
                             std::int32_t& minutes, std::int32_t& seconds);

    Form& form_;
    UiRuntime& runtime_;
    WindowSystem& windowSystem_;
    TimeSource clock_;
    Label& Label1;
    Label& Label2;
};

}  // namespace tw
