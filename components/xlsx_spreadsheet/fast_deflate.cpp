#include "fast_deflate.h"

#include <atomic>
#include <dlfcn.h>

// libxlsxwriter offers no compression level: it opens every part of the
// file through minizip's zipOpenNewFileInZip4_64 with zlib's default level.
// A program's own definition of a function comes before a shared library's,
// so this one takes those calls and passes them on to minizip's with the
// fastest level. Where the library carries a minizip of its own inside, it
// never calls this, and files are written as before.

namespace {

std::atomic<bool> fast{false};

using OpenInZip = int (*)(void *, const char *, const void *, const void *, unsigned, const void *, unsigned,
                          const char *, int, int, int, int, int, int, const char *, unsigned long, unsigned long,
                          unsigned long, int);

constexpr int fastestLevel = 1;

} // namespace

extern "C" int zipOpenNewFileInZip4_64(void *file, const char *fileName, const void *fileInfo,
                                       const void *extraFieldLocal, unsigned sizeExtraFieldLocal,
                                       const void *extraFieldGlobal, unsigned sizeExtraFieldGlobal,
                                       const char *comment, int method, int level, int raw, int windowBits,
                                       int memLevel, int strategy, const char *password,
                                       unsigned long crcForCrypting, unsigned long versionMadeBy,
                                       unsigned long flagBase, int zip64)
{
    static const auto minizip = reinterpret_cast<OpenInZip>(::dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    return minizip(file, fileName, fileInfo, extraFieldLocal, sizeExtraFieldLocal, extraFieldGlobal,
                   sizeExtraFieldGlobal, comment, method, fast ? fastestLevel : level, raw, windowBits, memLevel,
                   strategy, password, crcForCrypting, versionMadeBy, flagBase, zip64);
}

namespace xlsx {

void deflateFast() { fast = true; }

} // namespace xlsx
