// The one fake runtime and the one fake window system of the tests. Both
// write every call to a call log, which a test may share between them (and
// its own fakes) to see the order of calls across them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/portable/errors.h"
#include "platform/ports/ui.h"
#include "platform/ports/window_system.h"

namespace tw::testing {

using CallLog = std::vector<std::string>;

// What a FakeRuntime's End throws, unless it ends the process.
struct EndCalled {
    int status;
};

// Keeps each box's prompt. End either throws EndCalled, so that a test sees
// the end and goes on, or, for death tests and for windows whose events
// would otherwise unwind through the toolkit, ends the process at once; such
// a runtime shows each box on stderr too, where a death test reads it.
class FakeRuntime final : public UiRuntime {
public:
    enum class OnEnd { Throw, Exit };
    explicit FakeRuntime(OnEnd onEnd = OnEnd::Throw, CallLog* shared = nullptr)
        : log(shared != nullptr ? *shared : ownLog_), onEnd_(onEnd) {}

    void MsgBox(const std::string& prompt, int style, const std::string& title) override {
        log.push_back("MsgBox " + std::to_string(style) + " " + title);
        prompts.push_back(prompt);
        if (onEnd_ == OnEnd::Exit) {
            std::fprintf(stderr, "[%s|%d] %s", title.c_str(), style, prompt.c_str());
            std::fflush(stderr);
        }
    }
    [[noreturn]] void End(int exitStatus) override {
        log.push_back("End " + std::to_string(exitStatus));
        if (onEnd_ == OnEnd::Exit) std::_Exit(exitStatus);
        throw EndCalled{exitStatus};
    }
    std::string ExeName() const override { return exeName; }

private:
    CallLog ownLog_;

public:
    CallLog& log;
    std::vector<std::string> prompts;
    std::string exeName = "tallowind";

private:
    OnEnd onEnd_;
};

// Keeps every region it is handed, so that a region freed too early shows up
// as a wrong or poisoned one; each call can be made to fail.
class FakeWindowSystem final : public WindowSystem {
public:
    struct Handed {
        WindowHandle window;
        RegionHandle region;
        bool redraw;
    };

    explicit FakeWindowSystem(CallLog* shared = nullptr) : log(shared != nullptr ? *shared : ownLog_) {}

    void SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) override {
        log.push_back("SetWindowRgn " + std::to_string(window) + (redraw ? " redraw" : ""));
        if (onSetWindowRgn) onSetWindowRgn(region.get());
        if (setWindowRgnThrows) throw ClassicError(5);
        handed.push_back({window, std::move(region), redraw});
    }
    void ReleaseCapture() override {
        log.push_back("ReleaseCapture");
        if (releaseCaptureThrows) throw std::runtime_error("capture");
    }
    std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) override {
        log.push_back("SendMessageA " + std::to_string(window) + " " + std::to_string(message) + " " +
                      std::to_string(wParam) + " " + std::to_string(lParam));
        if (sendMessageThrows) throw ClassicError(5);
        return 0;
    }

private:
    CallLog ownLog_;

public:
    CallLog& log;
    std::vector<Handed> handed;
    std::function<void(const Region*)> onSetWindowRgn;
    bool setWindowRgnThrows = false;
    bool releaseCaptureThrows = false;
    bool sendMessageThrows = false;
};

}  // namespace tw::testing
