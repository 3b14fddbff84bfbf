// The pieces of server text the HTTP layer and the download read: the status line, header lines, lengths,
// Content-Range and the media type. Every function takes any bytes (a server may send anything) and
// answers false or none for what it cannot read; none of them trusts a length it has not checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::http {

// "HTTP/1.1 206 Partial Content": the status code (0 when the line has no digits where it belongs) and the
// reason phrase (may be empty). False for a line that is no status line (it does not begin with "HTTP/").
bool ParseStatusLine(const std::string& Line, int& Code, std::string& Reason);
// "Name: value": the name and the value, both without blanks at their ends. False without a colon.
bool SplitHeaderLine(const std::string& Line, std::string& Name, std::string& Value);
// The value of the first line of that name (letter case ignored) in a header block (lines without their
// ends; a status line among them is passed over); none when there is no such line.
std::optional<std::string> FindHeader(const std::vector<std::string>& Lines, const std::string& Name);
// A length or offset: 1 to 19 decimal digits and nothing else (no sign, no blanks).
bool ParseLength(const std::string& Text, std::uint64_t& Value);

// A Content-Range "bytes FIRST-LAST/COMPLETE" (COMPLETE "*" when the server does not know it).
struct TContentRange {
    std::uint64_t First = 0;
    std::uint64_t Last = 0;
    std::optional<std::uint64_t> Complete;
};
// False unless FIRST <= LAST and, with a complete length, LAST < COMPLETE. Blanks at the ends are allowed.
bool ParseContentRange(const std::string& Text, TContentRange& Range);

// Whether a Content-Type names a web page: text/html, parameters (a charset) aside, letter case ignored.
bool IsHtmlMediaType(const std::string& ContentType);

} // namespace platform::http
