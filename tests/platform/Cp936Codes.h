// Every code of code page 936: each single byte, and each lead byte with each trail byte.
#pragma once

#include <string>
#include <vector>

namespace tavlo::test {

inline std::vector<std::string> EveryCp936Code() {
    constexpr int kBytes = 256;
    constexpr int kLeadFirst = 0x81;
    constexpr int kLeadLast = 0xFE;
    constexpr int kTrailFirst = 0x40;
    constexpr int kTrailLast = 0xFE;
    constexpr int kTrailGap = 0x7F;
    std::vector<std::string> codes;
    for (int byte = 0; byte < kBytes; ++byte) {
        codes.emplace_back(1, static_cast<char>(byte));
    }
    for (int lead = kLeadFirst; lead <= kLeadLast; ++lead) {
        for (int trail = kTrailFirst; trail <= kTrailLast; ++trail) {
            if (trail != kTrailGap) {
                codes.push_back({static_cast<char>(lead), static_cast<char>(trail)});
            }
        }
    }
    return codes;
}

}  // namespace tavlo::test
