#pragma once

#include "collection/Notifier.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QMessageBox;

// The messages the user must see, as modal message boxes captioned "Kestory" with one OK button.
class QtNotifier : public Notifier {
public:
    explicit QtNotifier(QWidget* parent = nullptr) : parent(parent) {}
    void SetParent(QWidget* widget) { parent = widget; }

    void Notify(const std::string& utf8Text, Icon icon) override;

    // The box Notify runs, not yet shown.
    static std::unique_ptr<QMessageBox> MakeBox(const std::string& utf8Text, Icon icon, QWidget* parent);

private:
    QPointer<QWidget> parent;
};
