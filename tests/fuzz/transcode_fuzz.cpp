// The transcoders between native bytes and Java's UTF-16. Any native text
// (bytes up to a NUL) must come back byte for byte from Java, its UTF-16 form
// never has more units than it had bytes, and it needs exactly its own length
// plus a NUL of room. The input read as UTF-16 must encode unless it holds
// U+0000 or a lone surrogate outside U+DC80..U+DCFF; its bytes then read back
// as the same string (as one that encodes to the same bytes, where escapes of
// raw bytes form valid UTF-8).
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "UnixNativeFile_strutil.h"
#include "fuzz_support.h"

namespace {

void bytesRoundTrip(const char *text, std::size_t length) {
    std::vector<jchar> units(length + 1);
    const std::size_t count = nf::decodeUTF8(text, length, units.data());
    require(count <= length, "decoding never makes more units than there were bytes");

    std::vector<char> bytes(length + 1, '\x7f');
    require(nf::encodeUTF8(units.data(), count, bytes.data(), bytes.size()) == 0,
            "a decoded text encodes into its own length and a NUL");
    require(std::memcmp(bytes.data(), text, length) == 0 && bytes[length] == '\0',
            "bytes to UTF-16 and back is the identity");
    if (length > 0)
        require(nf::encodeUTF8(units.data(), count, bytes.data(), length) == ENAMETOOLONG,
                "a text that does not fit with its NUL is refused");
}

// Whether the units can name no file: U+0000, or a surrogate that is neither
// half of a pair nor a raw-byte escape.
bool namesNoFile(const std::vector<jchar> &units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        const unsigned u = units[i];
        if (u == 0) return true;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
                ++i;
            else
                return true;
        } else if (u >= 0xDC00 && u <= 0xDFFF && (u < 0xDC80 || u > 0xDCFF)) {
            return true;
        }
    }
    return false;
}

void unitsRoundTrip(const std::uint8_t *data, std::size_t size) {
    std::vector<jchar> units(size / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<jchar>(data[2 * i] | data[2 * i + 1] << 8);
    // Three bytes a unit is the most any string needs.
    std::vector<char> bytes(3 * units.size() + 1);
    const int err = nf::encodeUTF8(units.data(), units.size(), bytes.data(), bytes.size());
    if (namesNoFile(units)) {
        require(err == EINVAL && bytes[0] == '\0', "a string that names no file is refused with EINVAL");
        return;
    }
    require(err == 0, "every other string encodes");
    const std::size_t length = std::strlen(bytes.data());
    std::vector<jchar> decoded(length + 1);
    decoded.resize(nf::decodeUTF8(bytes.data(), length, decoded.data()));
    bool escapes = false;
    for (jchar u : units) escapes = escapes || (u >= 0xDC80 && u <= 0xDCFF);
    if (!escapes) require(decoded == units, "a string without raw-byte escapes comes back unchanged");
    std::vector<char> again(length + 1);
    require(nf::encodeUTF8(decoded.data(), decoded.size(), again.data(), again.size()) == 0 &&
                std::memcmp(again.data(), bytes.data(), length + 1) == 0,
            "the native form of a string is stable through Java");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const char *text = reinterpret_cast<const char *>(data);
    bytesRoundTrip(text, strnlen(text, size));
    unitsRoundTrip(data, size);
    return 0;
}
