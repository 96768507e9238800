// Internal converters between Java's UTF-16, UTF-8 and the locale's code page.
#ifndef UNIXNATIVEFILE_STRUTIL_H
#define UNIXNATIVEFILE_STRUTIL_H

#include <jni.h>

#include <cstddef>

namespace nf {

// The locale's code page ("ISO8859-1" when it names none), and whether its
// texts are taken as they stand.
const char *localeCodePage();
bool isPassThrough(const char *codePage);

// UTF-16 into standard UTF-8 and a NUL, within room bytes. A surrogate pair
// becomes one 4-byte sequence; a lone U+DC80..U+DCFF becomes the raw byte it
// escapes. Returns 0, ENAMETOOLONG when the text and its NUL need more than
// room bytes, or EINVAL for U+0000 or any other lone surrogate.
int encodeUTF8(const jchar *units, std::size_t count, char *out, std::size_t room);

// length bytes of UTF-8 into UTF-16; out needs room for length units. Every
// byte that is not part of a valid sequence becomes U+DC00 plus the byte, so
// that no byte is lost. Returns the count of units.
std::size_t decodeUTF8(const char *bytes, std::size_t length, jchar *out);

// One iconv conversion of a NUL-terminated text, its NUL included, into len
// bytes. Returns 0, or the errno of the failure (E2BIG when it does not fit).
int convertCodePage(char *dest, std::size_t len, const char *source, const char *from,
                    const char *to);

// Closes the calling thread's iconv descriptors, so that its next
// conversion opens one anew: for tests that make iconv_open fail.
void closeThreadConverters();

}  // namespace nf

#endif
