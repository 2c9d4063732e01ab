#pragma once

// SHA-256 for freezing exact output in tests (the codec core's tests link nothing but the core).

#include <cstdint>
#include <span>
#include <string>

namespace kaptiv::gif::test {

// Lower-case hex digest of the bytes.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

} // namespace kaptiv::gif::test
