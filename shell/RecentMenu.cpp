#include "shell/RecentMenu.h"

#include "shell/SettingsFile.h"

#include <QDir>
#include <QFileInfo>

RecentMenu::RecentMenu(kestory::settings::SettingsFile& file, QWidget* parent)
    : QMenu(QStringLiteral("最近使ったフォルダ(&R)"), parent), settings(file), list(file.ReadRecent()) {
    setObjectName(QStringLiteral("recentMenu"));
    // Looked at as the menu opens, so a disk plugged in since shows its folders enabled.
    connect(this, &QMenu::aboutToShow, this, &RecentMenu::rebuild);
    rebuild();
}

void RecentMenu::Add(const RecentEntry& entry) {
    list.Add(entry);
    settings.WriteRecent(list.Entries());
}

void RecentMenu::Remove(const QString& path) {
    list.Remove(path);
    settings.WriteRecent(list.Entries());
}

void RecentMenu::rebuild() {
    clear();
    if (list.Entries().isEmpty()) {
        addAction(QStringLiteral("（なし）"))->setEnabled(false);
        return;
    }
    int number = 0;
    for (const RecentEntry& entry : list.Entries()) {
        QString text = QStringLiteral("&%1 %2").arg(++number).arg(
            QDir::toNativeSeparators(entry.path).replace(QLatin1Char('&'), QLatin1String("&&")));
        if (entry.tree) {
            text += QStringLiteral("（サブフォルダも含む）");
        }
        QAction* action = addAction(text);
        action->setEnabled(QFileInfo::exists(entry.path));
        connect(action, &QAction::triggered, this, [this, entry] { emit chosen(entry); });
    }
}
