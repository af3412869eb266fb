// The viewer's own dialogs: About and Load URL.
#pragma once

#include <optional>
#include <string>

#include "platform/Window.h"

class QWidget;

namespace vx::viewer {

// A warning box captioned "Error!" over the window.
void ShowError(WindowHandle owner, const std::string& text);
// The text of an error about one file or address: its name, then what went
// wrong, word for word.
std::string ErrorAbout(const std::string& subject, const std::string& reason);

// "About Vantessel Viewer", modal, with an OK button.
void ShowAboutDialog(QWidget* parent);

// "Load URL": asks for a location, proposing `proposed` with its first
// characters selected. The URL typed, or nothing when cancelled.
std::optional<std::string> AskForUrl(QWidget* parent, const std::string& proposed);

}  // namespace vx::viewer
