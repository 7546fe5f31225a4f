#pragma once

#include <functional>
#include <string>

enum class MessageBoxIcon { Error, Exclamation, Information };

// Shows a message box with the exact text. The front end installs the way it is shown (a modal
// box on the UI thread, a line on stderr); may be called from any thread.
void ShowMessageBox(const std::string& text, MessageBoxIcon icon);

using MessageBoxHook = std::function<void(const std::string&, MessageBoxIcon)>;
// Installs the front end's hook; an empty hook restores the default (stderr).
void SetMessageBoxHook(MessageBoxHook hook);
