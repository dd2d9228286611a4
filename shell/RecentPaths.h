#pragma once

#include <QList>
#include <QString>

// One folder or file the user imported, as "最近使ったフォルダ" offers it again.
struct RecentEntry {
    QString path;
    bool tree = false;  // a folder imported with every folder below it

    bool operator==(const RecentEntry& other) const = default;
};

// The last imports, most recent first: a path is listed once (its newest way of import), and at
// most kMax are kept.
class RecentPaths {
public:
    static constexpr int kMax = 8;

    explicit RecentPaths(QList<RecentEntry> entries = {});

    void Add(const RecentEntry& entry);
    void Remove(const QString& path);
    const QList<RecentEntry>& Entries() const { return entries; }

private:
    QList<RecentEntry> entries;
};
