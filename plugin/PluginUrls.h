// The names the plug-in forms from the browser's URLs and the engine's links.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vx::plugin {

// Whether a stream's URL names a scene file by its last three characters
// ("tsw", "wrl", or ".gz" of a compressed one; any case).
bool IsSceneFileName(std::string_view url);

// The path the engine loads a stream from: its URL when the browser saved no
// file or the URL is a local file's, else the file the browser saved. A URL
// with four slashes after "file:" (a shared folder) keeps them all after the
// "file:///" the engine takes away. Nothing when the path does not fit the
// engine's path buffer.
std::optional<std::string> StreamPath(std::string_view url, const char* savedFile);

// The URL the browser is asked to open for a link of the scene: web and file
// URLs as they are; anything else is a local path, turned into a file URL
// with ':' and '\' as '/' ("/home/a.htm" is "file:///home/a.htm"). Nothing
// when the URL would not fit the link buffer.
std::optional<std::string> LinkUrlFor(std::string_view url);

}  // namespace vx::plugin
