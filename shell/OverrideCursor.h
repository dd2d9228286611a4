#pragma once

#include <QApplication>

// A cursor over the whole application for the lifetime of the guard; the one before comes back.
class OverrideCursor {
public:
    explicit OverrideCursor(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~OverrideCursor() { QApplication::restoreOverrideCursor(); }
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;
};
