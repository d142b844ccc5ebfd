#include "workflow/ClockLine.h"

namespace tavlo::workflow {

ClockLine::ClockLine(platform::Network& network, protocol::ProtocolState& state)
    : ClockLine(network, state, clockNonces_) {}

ClockLine::ClockLine(platform::Network& network, protocol::ProtocolState& state,
                     protocol::NonceSource& nonces)
    : network(network), state(state), clockNonces_(network), exchanges(network, state, nonces) {}

OwnedClockLine::OwnedClockLine(std::unique_ptr<platform::Network> network)
    : network_(std::move(network)), line_(*network_, state_) {
    state_.LocalAddressList = network_->localAddresses();
}

}  // namespace tavlo::workflow
