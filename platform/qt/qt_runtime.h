// The runtime's message box and program end over Qt.
#pragma once

#include <QPointer>
#include <QWidget>

#include <string>

#include "platform/ports/ui.h"

namespace tw::qt {

class QtRuntime final : public UiRuntime {
public:
    // Message boxes open centred over their owner, as on Windows.
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void MsgBox(const std::string& prompt, int style, const std::string& title) override;
    [[noreturn]] void End(int exitStatus) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace tw::qt
