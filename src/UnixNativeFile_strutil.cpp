// Conversion of texts between UTF-8 and the code page of the process's locale.
#include "UnixNativeFile_strutil.h"

#include "NativeFile.h"
#include "NativeFile_helper.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <string_view>

namespace {

constexpr char kDefaultCodePage[] = "ISO8859-1";

// Code pages whose texts are taken as they stand. glibc names the C locale's
// code page ANSI_X3.4-1968.
constexpr std::array<const char *, 5> kPassThrough{"UTF-8", "ANSI_X3.4-1968", "C", "POSIX", "ASCII"};

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

int iconv_valid(iconv_t descriptor) { return descriptor == kNoDescriptor ? 0 : 1; }

// The calling thread's iconv descriptors, one for each pair of code-page
// names it converts between: opening one costs more than most conversions
// and allocates, so each is opened on first use and closed when the thread
// ends (or when a newer pair takes its slot).
class ThreadDescriptors {
public:
    ThreadDescriptors() = default;
    ~ThreadDescriptors() { closeAll(); }
    ThreadDescriptors(const ThreadDescriptors &) = delete;
    ThreadDescriptors &operator=(const ThreadDescriptors &) = delete;

    // Names that fit a slot and name their code page: iconv takes a name
    // whose code page is left empty ("" or "//TRANSLIT") as the locale's,
    // which may change.
    static bool keeps(const char *to, const char *from) { return names(to) && names(from); }

    void closeAll() {
        for (Slot &slot : slots_) slot.close();
    }

    // The descriptor for the pair, or kNoDescriptor with errno set.
    iconv_t get(const char *to, const char *from) {
        for (Slot &slot : slots_)
            if (slot.cd != kNoDescriptor && std::strcmp(slot.to.data(), to) == 0 &&
                std::strcmp(slot.from.data(), from) == 0)
                return slot.cd;
        const iconv_t cd = iconv_open(to, from);
        if (cd == kNoDescriptor) return cd;
        Slot &slot = slots_[next_];
        next_ = (next_ + 1) % slots_.size();
        slot.close();
        std::strcpy(slot.to.data(), to);
        std::strcpy(slot.from.data(), from);
        slot.cd = cd;
        return cd;
    }

private:
    static constexpr std::size_t kNameSize = 64;

    static bool names(const char *name) {
        return *name != '\0' && *name != '/' && strnlen(name, kNameSize) < kNameSize;
    }

    struct Slot {
        std::array<char, kNameSize> to{};
        std::array<char, kNameSize> from{};
        iconv_t cd = kNoDescriptor;
        void close() {
            if (cd != kNoDescriptor) iconv_close(cd);
            cd = kNoDescriptor;
        }
    };

    std::array<Slot, 4> slots_{};
    std::size_t next_ = 0;
};

thread_local ThreadDescriptors threadDescriptors;

// A descriptor for one conversion, in its initial state: the thread's own,
// reset, since a descriptor keeps the shift state a conversion left (one
// that failed midway too); else one opened for this conversion alone.
class Converter {
public:
    Converter(const char *to, const char *from) : kept_(ThreadDescriptors::keeps(to, from)) {
        cd_ = kept_ ? threadDescriptors.get(to, from) : iconv_open(to, from);
        if (kept_ && valid()) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    ~Converter() {
        if (!kept_ && valid()) iconv_close(cd_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    bool valid() const { return iconv_valid(cd_) != 0; }
    iconv_t get() const { return cd_; }

private:
    bool kept_;
    iconv_t cd_;
};

}  // namespace

namespace nf {

const char *localeCodePage() {
    const char *name = nl_langinfo(CODESET);
    return name == nullptr || *name == '\0' ? kDefaultCodePage : name;
}

bool isPassThrough(const char *codePage) {
    for (const char *name : kPassThrough)
        if (std::strcmp(name, codePage) == 0) return true;
    return false;
}

int encodeUTF8(const jchar *units, std::size_t count, char *out, std::size_t room) {
    std::size_t at = 0;
    auto put = [&](std::initializer_list<unsigned> bytes) {
        if (at + bytes.size() >= room) return false;
        for (unsigned byte : bytes) out[at++] = static_cast<char>(byte);
        return true;
    };
    auto fail = [&](int err) {
        out[0] = '\0';
        return err;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned u = units[i];
        // Paths are mostly ASCII: one test for U+0001..U+007F.
        if (u - 1 < 0x7F) {
            if (at + 1 >= room) return fail(ENAMETOOLONG);
            out[at++] = static_cast<char>(u);
            continue;
        }
        const bool pair = u >= 0xD800 && u <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
                          units[i + 1] <= 0xDFFF;
        bool fits;
        if (u == 0 || (u >= 0xD800 && u <= 0xDFFF && !pair && (u < 0xDC80 || u > 0xDCFF))) {
            return fail(EINVAL);
        } else if (u < 0x800) {
            fits = put({0xC0 | (u >> 6), 0x80 | (u & 0x3F)});
        } else if (pair) {
            const unsigned c = 0x10000 + ((u - 0xD800) << 10) + (units[++i] - 0xDC00u);
            fits = put({0xF0 | (c >> 18), 0x80 | ((c >> 12) & 0x3F), 0x80 | ((c >> 6) & 0x3F),
                        0x80 | (c & 0x3F)});
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            fits = put({u - 0xDC00});
        } else {
            fits = put({0xE0 | (u >> 12), 0x80 | ((u >> 6) & 0x3F), 0x80 | (u & 0x3F)});
        }
        if (!fits) return fail(ENAMETOOLONG);
    }
    out[at] = '\0';
    return 0;
}

std::size_t decodeUTF8(const char *bytes, std::size_t length, jchar *out) {
    const auto *b = reinterpret_cast<const unsigned char *>(bytes);
    auto continuation = [&](std::size_t i) { return i < length && (b[i] & 0xC0) == 0x80; };
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < length) {
        const unsigned b0 = b[i];
        // The second byte's range excludes overlong forms, encoded surrogates
        // and values above U+10FFFF.
        unsigned low = 0x80;
        unsigned high = 0xBF;
        std::size_t size = 0;
        if (b0 < 0x80) {
            size = 1;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            size = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            size = 3;
            if (b0 == 0xE0) low = 0xA0;
            if (b0 == 0xED) high = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            size = 4;
            if (b0 == 0xF0) low = 0x90;
            if (b0 == 0xF4) high = 0x8F;
        }
        bool valid = size != 0;
        if (size > 1) valid = i + 1 < length && b[i + 1] >= low && b[i + 1] <= high;
        for (std::size_t k = 2; valid && k < size; ++k) valid = continuation(i + k);
        if (!valid) {
            out[n++] = static_cast<jchar>(0xDC00 + b0);
            ++i;
            continue;
        }
        unsigned c = size == 1 ? b0 : b0 & (0xFFu >> (size + 1));
        for (std::size_t k = 1; k < size; ++k) c = (c << 6) | (b[i + k] & 0x3Fu);
        if (c >= 0x10000) {
            c -= 0x10000;
            out[n++] = static_cast<jchar>(0xD800 + (c >> 10));
            out[n++] = static_cast<jchar>(0xDC00 + (c & 0x3FF));
        } else {
            out[n++] = static_cast<jchar>(c);
        }
        i += size;
    }
    return n;
}

void closeThreadConverters() { threadDescriptors.closeAll(); }

int convertCodePage(char *dest, std::size_t len, const char *source, const char *from,
                    const char *to) {
    dest[0] = '\0';
    Converter converter(to, from);
    if (!converter.valid()) return errno != 0 ? errno : EINVAL;
    NativeFile_log("Converting string from codepage: [%s] to codepage [%s]\n", from, to);
    char *in = const_cast<char *>(source);
    std::size_t inLeft = std::strlen(source) + 1;
    char *out = dest;
    std::size_t outLeft = len;
    const std::size_t rc = iconv(converter.get(), &in, &inLeft, &out, &outLeft);
    dest[len - 1] = '\0';
    if (rc != static_cast<std::size_t>(-1)) return 0;
    const int err = errno;
    NativeFile_log("There was a conversion error during string codepage conversion.  iconv "
                   "return code: [%d].   errno: [%d]\n",
                   -1, err);
    return err;
}

}  // namespace nf

namespace {

// Direction-independent body of the two locale converters.
char *convertWithLocale(const char *name, char *dest, const char *source, int len, bool fromUTF8) {
    const char *codePage = nf::localeCodePage();
    NativeFile_log_entry(name);
    char *result = nullptr;
    if (source != nullptr && dest != nullptr) {
        if (fromUTF8) NativeFile_log("Converting to charset: [%s]\n", nl_langinfo(CODESET));
        if (nf::isPassThrough(codePage)) {
            nf::copyText(dest, source, static_cast<std::size_t>(len));
            result = dest;
        } else if (fromUTF8) {
            result = NativeFile_stringConverter(dest, source, len, "UTF-8", codePage);
        } else {
            result = NativeFile_stringConverter(dest, source, len, codePage, "UTF-8");
        }
    }
    NativeFile_log_exit(name);
    return result;
}

}  // namespace

extern "C" {

char *NativeFile_stringConverterFromUTF8(char *dest, const char *source, int len) {
    return convertWithLocale("NativeFile_stringConverterFromUTF8", dest, source, len, true);
}

char *NativeFile_stringConverterToUTF8(char *dest, const char *source, int len) {
    return convertWithLocale("NativeFile_stringConverterToUTF8", dest, source, len, false);
}

char *NativeFile_stringConverter(char *dest, const char *source, int len, const char *from,
                                 const char *to) {
    static constexpr char kName[] = "NativeFile_stringConverter";
    NativeFile_log_entry(kName);
    char *result = nullptr;
    if (source != nullptr && dest != nullptr) {
        if (from == nullptr) from = kDefaultCodePage;
        if (to == nullptr) to = kDefaultCodePage;
        NativeFile_log("Converting to charset: [%s]\n", nl_langinfo(CODESET));
        if (std::string_view(from) == to) {
            nf::copyText(dest, source, static_cast<std::size_t>(len));
            result = dest;
        } else if (nf::convertCodePage(dest, static_cast<std::size_t>(len), source, from, to) == 0) {
            result = dest;
        }
    }
    NativeFile_log_exit(kName);
    return result;
}

}  // extern "C"
