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
};
