// Conversion of texts between UTF-8 and the code page of the process's locale.
#include "NativeFile.h"
#include "NativeFile_helper.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <string_view>

namespace {

constexpr char kDefaultCodePage[] = "ISO8859-1";

// Code pages whose texts are taken as they stand. glibc names the C locale's
// code page ANSI_X3.4-1968.
constexpr std::array<std::string_view, 5> kPassThrough{"C", "POSIX", "UTF-8", "ASCII",
                                                        "ANSI_X3.4-1968"};

const char *localeCodePage() {
    const char *name = nl_langinfo(CODESET);
    return name == nullptr || *name == '\0' ? kDefaultCodePage : name;
}

bool isPassThrough(std::string_view codePage) {
    for (auto name : kPassThrough)
        if (name == codePage) return true;
    return false;
}

int iconv_valid(iconv_t descriptor) { return descriptor == reinterpret_cast<iconv_t>(-1) ? 0 : 1; }

// Owns one iconv descriptor for the length of one conversion.
class Converter {
public:
    Converter(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    bool valid() const { return iconv_valid(cd_) != 0; }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Direction-independent body of the two locale converters.
char *convertWithLocale(const char *name, char *dest, const char *source, int len, bool fromUTF8) {
    const char *codePage = localeCodePage();
    NativeFile_log_entry(name);
    char *result = nullptr;
    if (source != nullptr && dest != nullptr) {
        if (fromUTF8) NativeFile_log("Converting to charset: [%s]\n", nl_langinfo(CODESET));
        if (isPassThrough(codePage)) {
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
        } else {
            std::size_t inLeft = std::strlen(source) + 1;
            std::size_t outLeft = static_cast<std::size_t>(len);
            dest[0] = '\0';
            Converter converter(to, from);
            if (converter.valid()) {
                NativeFile_log("Converting string from codepage: [%s] to codepage [%s]\n", from, to);
                char *in = const_cast<char *>(source);
                char *out = dest;
                const std::size_t rc = iconv(converter.get(), &in, &inLeft, &out, &outLeft);
                dest[len - 1] = '\0';
                if (rc == static_cast<std::size_t>(-1)) {
                    NativeFile_log("There was a conversion error during string codepage "
                                   "conversion.  iconv return code: [%d].   errno: [%d]\n",
                                   -1, errno);
                } else {
                    result = dest;
                }
            }
        }
    }
    NativeFile_log_exit(kName);
    return result;
}

}  // extern "C"
