#pragma once
// Object paths on web servers: their addresses, the names asked of them, and the name of the
// folder that keeps their files on disk. Untrusted input throughout: object paths come from world
// files and the command line, names from models.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pelorus {

// True when `objectPath` starts with "http://" or "https://" (letter case ignored; either slash
// or backslash): it names a folder on a web server rather than a local one.
bool IsWebObjectPath(std::string_view objectPath);

// An object path on a web server, written one way whatever way it was given.
struct WebObjectPath {
    // "scheme://host[:port]/folder/": scheme and host in lower case, a default port left out,
    // backslashes turned into slashes, "." and ".." components resolved, ending with "/".
    std::string address;
    // "scheme://host[:port]": what the limit of transfers at once counts by.
    std::string server;
    // The file name of its folder in the cache: only [a-z0-9._-], at most kCacheFolderNameLimit
    // bytes, never starting with a dot. The same for every spelling of the same address, different
    // (but for a 64-bit hash colliding) for different addresses; readable enough to tell which
    // server it is.
    std::string cacheFolder;
};

inline constexpr std::size_t kCacheFolderNameLimit = 96;
// The longest object path and the longest name that are accepted.
inline constexpr std::size_t kMaxAddressBytes = 2048;
inline constexpr std::size_t kMaxObjectNameBytes = 1024;

// The object path `objectPath` names, or nullopt with `*why` (when not null) saying why it is no
// usable web address: another scheme, no host, a port out of range, a query ("?") or fragment
// ("#"), control bytes, or more than kMaxAddressBytes bytes.
std::optional<WebObjectPath> ParseWebObjectPath(std::string_view objectPath, std::string* why = nullptr);

// `name` (a file of an object path, such as "models/tree.zip" or "textures\bark.jpg") in the form
// that is asked of the server and kept in the cache: backslashes turned into slashes, empty and "."
// components left out. nullopt, with `*why` saying why, for a name that could leave the object
// path or the cache folder, or names no file:
// - a ".." component, also when written with percent escapes in any case and any mix ("%2e%2e",
//   ".%2E"), escaped more than once ("%252e%252e") or with escaped separators ("..%2f", "%5c..");
// - an absolute name ("/etc/passwd", "\x", "C:\x", "C:x"), also once escapes are decoded;
// - control bytes (0x00 to 0x1F, 0x7F), also escaped ("%00");
// - no file at all ("", "/", "./") or a name ending with a separator (a folder);
// - a component longer than 255 bytes, or more than kMaxObjectNameBytes bytes in all.
// A name is checked, not decoded: "a%20b.jpg" is the file of that name, asked for as "a%2520b.jpg".
std::optional<std::string> SafeObjectName(std::string_view name, std::string* why = nullptr);

// The address of `safeName` (a result of SafeObjectName) in `path`: the object path's address
// followed by the name with every byte but letters, digits, "-", ".", "_", "~" and "/"
// percent-encoded.
std::string AddressOf(const WebObjectPath& path, std::string_view safeName);

}  // namespace pelorus
