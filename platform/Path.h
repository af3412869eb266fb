// Paths and local file URLs.
//
// Scene files written on other systems use '\' in their URLs, and browsers
// hand local files over as "file:" URLs with %-escapes. Every place that turns
// a URL or a name into a local path goes through this module, so the rules
// live in one place: '\' becomes '/', a "file:" URL loses its scheme (and an
// optional "localhost" authority) but keeps the leading '/', and every valid
// %XX escape is decoded.
//
// The product's folders all lie under one root: $VANTESSEL_ROOT when it is
// set, else $XDG_DATA_HOME, else ~/.local/share. Folder results end in '/', so
// callers may append file names directly.
#pragma once

#include <string>
#include <string_view>

#include "platform/PlatformExport.h"

namespace vx::path {

// '\' becomes '/'.
VX_PLATFORM_API std::string ToNativeSeparators(std::string_view text);

// Decodes every "%XX" with two hex digits; anything else stays as it is. An
// escape of the NUL byte is left undecoded, since it would cut the path.
VX_PLATFORM_API std::string DecodePercentEscapes(std::string_view text);

// True for "file:" URLs (the scheme compared without regard to case).
VX_PLATFORM_API bool IsFileUrl(std::string_view url);

// A "file:" URL as a local path ("file:///home/a.wrl" -> "/home/a.wrl"); any
// other text is taken as a path already. Escapes are decoded and separators
// made native in both cases.
VX_PLATFORM_API std::string LocalPathFromUrl(std::string_view url);

// The folder part of a path, with its trailing '/'; empty when there is none.
VX_PLATFORM_API std::string DirectoryOf(std::string_view path);

// What follows the last '/' (or '\').
VX_PLATFORM_API std::string FileNameOf(std::string_view path);

// The root of the product's folders, with a trailing '/'.
VX_PLATFORM_API std::string RootFolder();

// "<root>Orvanta/Vantessel Viewer/" and the folders under it.
VX_PLATFORM_API std::string ViewerFolder();
VX_PLATFORM_API std::string PreferencesFolder();
VX_PLATFORM_API std::string CacheFolder();
VX_PLATFORM_API std::string ComponentsFolder();

// "<root>Orvanta/Products Registry.txt".
VX_PLATFORM_API std::string ProductsRegistryFile();

}  // namespace vx::path
