// Built, never run: it links only if the ports' own code needs nothing of
// the layers that stand on them.
#include "platform/ports/startup.h"

int main() {
    auto* startUp = &tw::RunStartUp;
    auto* runHandler = &tw::RunHandler;
    return startUp != nullptr && runHandler != nullptr ? 0 : 1;
}
