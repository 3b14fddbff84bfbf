// Base64 text (RFC 4648, the "+/" alphabet with "=" padding), as keys and signatures are written down.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The bytes of a base64 text. Blanks, tabs and line ends anywhere in it are ignored (a file that ends with a
// line end, a text wrapped at 64 or 76 columns); anything else outside the alphabet, a length that is not a
// whole number of four-character groups, padding other than at the end, and unused bits that are not zero
// make it no base64 (none).
std::optional<std::string> DecodeBase64(std::string_view Text);
// The padded base64 text of the bytes, on one line.
std::string EncodeBase64(std::string_view Bytes);

} // namespace platform
