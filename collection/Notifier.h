#pragma once

#include <string>

// The messages the user must see (per-file import refusals, CSV failures). The window shows them
// as modal message boxes captioned "Kestory"; the exporter prints them; tests record them.
class Notifier {
public:
    enum class Icon { None, Warning };
    virtual ~Notifier() = default;
    // Returns once the user has acknowledged the message.
    virtual void Notify(const std::string& utf8Text, Icon icon) = 0;

    // A file an import refused: utf8Text names the file and the reason. Told like any message,
    // unless the user asked the window to gather the rest of this import's refusals.
    virtual void NotifyRefusal(const std::string& path, const std::string& utf8Text) {
        static_cast<void>(path);
        Notify(utf8Text, Icon::None);
    }
    // One import's refusals come between these two; the window tells what it gathered at the end.
    virtual void BeginImport() {}
    virtual void EndImport() {}
};
