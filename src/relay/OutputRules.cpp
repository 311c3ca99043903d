#include "relay/OutputRules.h"

#include "app/System.h"

OutputRules::OutputRules(System& system) : sys_(system) {}

void OutputRules::RelayToOutputs(const QByteArray& packet) {
    emit relayed(packet);
    // Sending to the output ports and storing what they cannot take come with
    // the output connections and the delayed store.
}
