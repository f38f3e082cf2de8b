// Built, never run: it links only if the ports' own code needs nothing of
// the layers that stand on them. The pointers are volatile so that the
// compiler keeps the references it could otherwise fold away.
#include "platform/ports/startup.h"

int main() {
    decltype(&tw::RunStartUp) volatile startUp = &tw::RunStartUp;
    decltype(&tw::RunHandler) volatile runHandler = &tw::RunHandler;
    return startUp == nullptr || runHandler == nullptr ? 1 : 0;
}
