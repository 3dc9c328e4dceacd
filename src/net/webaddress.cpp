#include "net/webaddress.h"

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/paths.h"

namespace pelorus {
namespace {

constexpr std::size_t kComponentLimit = 255;
// Escapes are decoded this many times over when a name is checked; a name that still holds
// escapes after that is refused rather than trusted.
constexpr int kDecodeRounds = 4;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != prefix[i]) return false;
    return true;
}

bool HasControlBytes(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// `text` with every "%XX" (two hex digits) replaced by its byte; other "%" stay.
std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::vector<std::string_view> Components(std::string_view slashed) {
    std::vector<std::string_view> out;
    while (true) {
        const std::size_t slash = slashed.find('/');
        out.push_back(slashed.substr(0, slash));
        if (slash == std::string_view::npos) break;
        slashed.remove_prefix(slash + 1);
    }
    return out;
}

// Why `slashed` (a name in slash form, escapes decoded or not) could leave its folder; "" when
// it cannot.
std::string_view Escape(std::string_view slashed) {
    if (HasControlBytes(slashed)) return "it holds control characters";
    if (slashed.starts_with('/')) return "it is an absolute name";
    const std::vector<std::string_view> parts = Components(slashed);
    const std::string_view first = parts.front();
    if (first.size() >= 2 && first[1] == ':' &&
        ((first[0] >= 'a' && first[0] <= 'z') || (first[0] >= 'A' && first[0] <= 'Z')))
        return "it starts with a drive letter";
    for (const std::string_view part : parts)
        if (part == "..") return "it leads out of its folder (\"..\")";
    return {};
}

std::nullopt_t Refused(std::string* why, std::string_view reason) {
    if (why) *why = std::string(reason);
    return std::nullopt;
}

// 64-bit FNV-1a: stable across runs, builds and machines, unlike std::hash.
uint64_t StableHash(std::string_view text) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string CacheFolderFor(std::string_view hostPortPath, std::string_view address) {
    std::string readable;
    for (const char raw : hostPortPath) {
        const char c = Lower(raw);
        const bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (keep)
            readable.push_back(c);
        else if (!readable.empty() && readable.back() != '_')
            readable.push_back('_');
    }
    while (!readable.empty() && (readable.front() == '.' || readable.front() == '_')) readable.erase(0, 1);
    while (!readable.empty() && readable.back() == '_') readable.pop_back();
    constexpr std::size_t kHashDigits = 16;
    if (readable.size() > kCacheFolderNameLimit - kHashDigits - 1)
        readable.resize(kCacheFolderNameLimit - kHashDigits - 1);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hash(kHashDigits, '0');
    uint64_t value = StableHash(address);
    for (std::size_t i = kHashDigits; i-- > 0; value >>= 4) hash[i] = kDigits[value & 15];
    return readable.empty() ? hash : readable + "-" + hash;
}

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// One part of `url`, "" when it has none.
std::string PartOf(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || !text) return {};
    std::string out(text);
    curl_free(text);
    return out;
}

}  // namespace

bool IsWebObjectPath(std::string_view objectPath) {
    const std::string slashed = ToSlashes(objectPath.substr(0, 8));
    return StartsWithNoCase(slashed, "http://") || StartsWithNoCase(slashed, "https://");
}

std::optional<WebObjectPath> ParseWebObjectPath(std::string_view objectPath, std::string* why) {
    if (objectPath.size() > kMaxAddressBytes) return Refused(why, "the address is too long");
    if (HasControlBytes(objectPath)) return Refused(why, "the address holds control characters");
    if (!IsWebObjectPath(objectPath)) return Refused(why, "only http:// and https:// addresses are read");
    const std::string slashed = ToSlashes(objectPath);
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url) return Refused(why, "out of memory");
    if (curl_url_set(url.get(), CURLUPART_URL, slashed.c_str(), CURLU_URLENCODE) != CURLUE_OK)
        return Refused(why, "it is not a valid address");
    const std::string scheme = PartOf(url.get(), CURLUPART_SCHEME);
    if (scheme != "http" && scheme != "https") return Refused(why, "only http:// and https:// addresses are read");
    std::string host = PartOf(url.get(), CURLUPART_HOST);
    if (host.empty()) return Refused(why, "the address names no server");
    for (char& c : host) c = Lower(c);
    if (!PartOf(url.get(), CURLUPART_USER).empty() || !PartOf(url.get(), CURLUPART_PASSWORD).empty())
        return Refused(why, "user names and passwords in object paths are not supported");
    if (!PartOf(url.get(), CURLUPART_QUERY).empty() || slashed.find('?') != std::string::npos)
        return Refused(why, "an object path is a folder and has no query (\"?\")");
    if (!PartOf(url.get(), CURLUPART_FRAGMENT).empty() || slashed.find('#') != std::string::npos)
        return Refused(why, "an object path is a folder and has no fragment (\"#\")");
    const std::string port = PartOf(url.get(), CURLUPART_PORT, CURLU_NO_DEFAULT_PORT);
    std::string path = PartOf(url.get(), CURLUPART_PATH);
    if (path.empty() || path.front() != '/') path.insert(0, "/");
    if (path.back() != '/') path.push_back('/');

    WebObjectPath out;
    out.server = scheme + "://" + host + (port.empty() ? "" : ":" + port);
    out.address = out.server + path;
    out.cacheFolder = CacheFolderFor(host + (port.empty() ? "" : "_" + port) + path, out.address);
    return out;
}

std::optional<std::string> SafeObjectName(std::string_view name, std::string* why) {
    if (name.size() > kMaxObjectNameBytes) return Refused(why, "the name is too long");
    std::string form = ToSlashes(name);
    for (int round = 0;; ++round) {
        if (const std::string_view reason = Escape(form); !reason.empty()) return Refused(why, reason);
        std::string decoded = ToSlashes(PercentDecoded(form));
        if (decoded == form) break;
        if (round == kDecodeRounds) return Refused(why, "it is escaped too many times over");
        form = std::move(decoded);
    }
    std::string out;
    const std::string slashed = ToSlashes(name);
    if (slashed.ends_with('/')) return Refused(why, "it names a folder");
    for (const std::string_view part : Components(slashed)) {
        if (part.empty() || part == ".") continue;
        if (part.size() > kComponentLimit) return Refused(why, "a part of it is too long");
        if (!out.empty()) out.push_back('/');
        out.append(part);
    }
    if (out.empty()) return Refused(why, "it names no file");
    return out;
}

std::string AddressOf(const WebObjectPath& path, std::string_view safeName) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = path.address;
    for (const char c : safeName) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kDigits[byte >> 4]);
            out.push_back(kDigits[byte & 15]);
        }
    }
    return out;
}

}  // namespace pelorus
