#pragma once

#include "shell/RecentPaths.h"

#include <QMenu>

namespace kestory::settings {
class SettingsFile;
}

// "最近使ったフォルダ" in the ファイル menu: the last imports, newest first, kept in the settings
// file. An entry whose file or folder is gone is shown disabled.
class RecentMenu : public QMenu {
    Q_OBJECT
public:
    RecentMenu(kestory::settings::SettingsFile& settings, QWidget* parent = nullptr);

    void Add(const RecentEntry& entry);
    void Remove(const QString& path);
    const RecentPaths& List() const { return list; }

signals:
    void chosen(const RecentEntry& entry);

private:
    void rebuild();

    kestory::settings::SettingsFile& settings;
    RecentPaths list;
};
