#pragma once
// The flat interface of libkorvalin.so. A host includes this header alone and
// links the shared library.

#if defined(KORVALIN_BUILDING_LIBRARY) || defined(korvalin_EXPORTS)
#define KORVALIN_API __attribute__((visibility("default")))
#else
#define KORVALIN_API
#endif

#define KORVALIN_VERSION_STRING "0.1.0"

namespace TableExport
{

// The library's version, "major.minor.patch"; static storage, never freed.
KORVALIN_API const char* GetKorvalinVersion();

} // namespace TableExport
