// Nonce sources with chosen values for protocol tests.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/Chunks.h"

namespace tavlo::protocol::testing {

// Hands out the given nonces in turn, repeating the last one.
class ScriptedNonces final : public NonceSource {
  public:
    explicit ScriptedNonces(std::vector<std::uint32_t> values) : values_(std::move(values)) {}
    std::uint32_t nextNonce() override {
        const std::uint32_t value = values_.at(next_ < values_.size() ? next_ : values_.size() - 1);
        ++next_;
        ++drawn;
        return value;
    }
    int drawn = 0;

  private:
    std::vector<std::uint32_t> values_;
    std::size_t next_ = 0;
};

}  // namespace tavlo::protocol::testing
