#pragma once

#include <cstddef>
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
    // How many files an import left out because the collection holds them already, as they are
    // now; told once, at the import's end, when there were any. The window tells it with the
    // import's summary or on its status line; the exporter takes each file once without a word.
    virtual void NotifyAlreadyLoaded(size_t count) { static_cast<void>(count); }
    // One import's refusals come between these two; the window tells what it gathered at the end.
    virtual void BeginImport() {}
    virtual void EndImport() {}
};
