#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorq::simcam {

// Bytes as lower-case hex, the way the trace and the external-device
// protocol carry them.
void appendHex(std::string& out, const uint8_t* data, size_t size);
std::string toHex(const uint8_t* data, size_t size);
// Even number of hex digits (either case), nothing else; false leaves `out`
// unspecified.
bool fromHex(const std::string& text, std::vector<uint8_t>& out);

} // namespace vorq::simcam
