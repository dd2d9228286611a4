#include "shell/RecentPaths.h"

#include <utility>

RecentPaths::RecentPaths(QList<RecentEntry> list) {
    // A hand-edited file may repeat a path or list too many: the first of each path wins.
    for (auto it = list.crbegin(); it != list.crend(); ++it) {
        if (!it->path.isEmpty()) {
            Add(*it);
        }
    }
}

void RecentPaths::Add(const RecentEntry& entry) {
    Remove(entry.path);
    entries.prepend(entry);
    while (entries.size() > kMax) {
        entries.removeLast();
    }
}

void RecentPaths::Remove(const QString& path) {
    entries.removeIf([&path](const RecentEntry& entry) { return entry.path == path; });
}
