#include "shell/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>
#include <QVariant>

#include <algorithm>
#include <utility>

namespace kestory::settings {

bool WindowPlacement::HasRectangle() const {
    return left != kUseDefault && top != kUseDefault && width != kUseDefault && height != kUseDefault && width > 0 &&
           height > 0;
}

QString BuildSettingsPath(const QString& programDir, const QString& name) {
    return QDir(programDir).filePath(name);
}

namespace {

// Nobody may write by the permission bits: read-only by the owner's choice, also for root.
bool MarkedReadOnly(const QFileInfo& info) {
    return (info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)) == 0;
}

QString FullKey(const char* section, const char* key) {
    return QStringLiteral("%1/%2").arg(QLatin1String(section), QLatin1String(key));
}

// A key in any spelling of section and key: the program's own first, then the first other one
// in QSettings' (sorted) order.
QVariant ValueOf(const QSettings& file, const QString& fullKey) {
    const QVariant exact = file.value(fullKey);
    if (exact.isValid()) {
        return exact;
    }
    const QStringList keys = file.allKeys();
    for (const QString& key : keys) {
        if (key.compare(fullKey, Qt::CaseInsensitive) == 0) {
            return file.value(key);
        }
    }
    return {};
}

// The key under the program's spelling and under no other.
void Put(QSettings& file, const QString& fullKey, const QVariant& value) {
    const QStringList keys = file.allKeys();
    for (const QString& key : keys) {
        if (key != fullKey && key.compare(fullKey, Qt::CaseInsensitive) == 0) {
            file.remove(key);
        }
    }
    file.setValue(fullKey, value);
}

// The key in every spelling.
void RemoveKey(QSettings& file, const QString& fullKey) {
    const QStringList keys = file.allKeys();
    for (const QString& key : keys) {
        if (key.compare(fullKey, Qt::CaseInsensitive) == 0) {
            file.remove(key);
        }
    }
}

// Links resolved where the folder exists, else only cleaned.
QString Resolved(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : canonical;
}

bool SameFolder(const QString& a, const QString& b) {
    return !a.isEmpty() && !b.isEmpty() && Resolved(a) == Resolved(b);
}

}  // namespace

QString InstallBinDir() {
    return QStringLiteral(KESTORY_INSTALL_BINDIR);
}

bool IsSystemProgramFolder(const QString& folder, const QString& installBinDir) {
    // A package installs into /usr/bin whatever prefix the build it came from was configured with.
    for (const char* system : {"/usr/bin", "/bin", "/usr/sbin", "/sbin", "/usr/local/bin", "/usr/local/sbin"}) {
        if (SameFolder(folder, QString::fromLatin1(system))) {
            return true;
        }
    }
    return SameFolder(folder, installBinDir);
}

bool CanCreateFileIn(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || MarkedReadOnly(info)) {
        return false;
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".kestory-probe-XXXXXX")));
    return probe.open();  // removed again when probe goes out of scope
}

bool CanWriteInPlace(const QString& file) {
    const QFileInfo info(file);
    if (!info.isFile() || MarkedReadOnly(info)) {
        return false;
    }
    QFile probe(file);
    return probe.open(QIODevice::WriteOnly | QIODevice::Append);  // neither truncates nor touches it
}

QString ChooseSettingsPath(const QString& programDir, const QString& fallbackDir, const FolderCheck& canCreateIn) {
    const QString beside = BuildSettingsPath(programDir);
    if (fallbackDir.isEmpty() || (canCreateIn && canCreateIn(programDir))) {
        return beside;
    }
    const QString own = BuildSettingsPath(fallbackDir);
    if (QFileInfo::exists(own) || !QFileInfo::exists(beside)) {
        return own;
    }
    return beside;
}

DisplaySettings ClampDisplaySettings(DisplaySettings settings) {
    settings.magnify = std::clamp(settings.magnify, kMagnifyMin, kMagnifyMax);
    settings.sizePict = std::clamp(settings.sizePict, kSizePictMin, kSizePictMax);
    settings.isoIndex = std::clamp(settings.isoIndex, kIsoIndexMin, kIsoIndexMax);
    if (settings.viewType != DisplaySettings::kViewThumbnails && settings.viewType != DisplaySettings::kViewMarks &&
        settings.viewType != DisplaySettings::kViewDensity) {
        settings.viewType = DisplaySettings::kViewThumbnails;
    }
    if (settings.markColour < DisplaySettings::kMarkRed || settings.markColour > DisplaySettings::kMarkByTimeOfDay) {
        settings.markColour = DisplaySettings::kMarkRed;
    }
    return settings;
}

int NormaliseShowState(int state) {
    return state == kShowMinimized || state == kShowMaximized ? state : kShowNormal;
}

bool LiesOnAScreen(const QRect& rect, const QList<QRect>& screens, int minVisible) {
    for (const QRect& screen : screens) {
        const QRect visible = rect.intersected(screen);
        if (visible.width() >= minVisible && visible.height() >= minVisible) {
            return true;
        }
    }
    return false;
}

std::optional<QRect> RestoredRectangle(const WindowPlacement& placement, const QList<QRect>& screens) {
    // QRect's right and bottom edges must stay within int.
    if (!placement.HasRectangle() || int64_t(placement.left) + placement.width > INT32_MAX ||
        int64_t(placement.top) + placement.height > INT32_MAX) {
        return std::nullopt;
    }
    const QRect saved = placement.Rectangle();
    if (!LiesOnAScreen(saved, screens)) {
        return std::nullopt;
    }
    QRect screen;
    int64_t mostArea = -1;
    for (const QRect& candidate : screens) {
        const QRect visible = saved.intersected(candidate);
        const int64_t area = visible.isEmpty() ? 0 : int64_t(visible.width()) * visible.height();
        if (area > mostArea) {
            mostArea = area;
            screen = candidate;
        }
    }
    QRect rect(saved.topLeft(), saved.size().boundedTo(screen.size()));
    if (!LiesOnAScreen(rect, {screen})) {
        rect.moveTopLeft(screen.topLeft());
    }
    return rect;
}

SettingsFile::SettingsFile(QString path, QString fallbackPath, FolderCheck canCreateIn)
    : path(std::move(path)), fallbackPath(std::move(fallbackPath)), canCreateIn(std::move(canCreateIn)) {}

std::unique_ptr<QSettings> SettingsFile::openForReading() const {
    if (!QFileInfo(path).isFile()) {
        return nullptr;
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

int32_t SettingsFile::readInt(const QSettings* file, const Key& key) {
    const QVariant value = file != nullptr ? ValueOf(*file, FullKey(kMainWndSection, key.name)) : QVariant();
    if (!value.isValid()) {
        return key.defaultValue;
    }
    bool ok = false;
    const int32_t number = value.toString().trimmed().toInt(&ok, 10);
    return ok ? number : key.defaultValue;
}

int32_t SettingsFile::ReadMainWndInt(const Key& key) const {
    return readInt(openForReading().get(), key);
}

bool SettingsFile::update(const std::function<void(QSettings&)>& change) {
    // At most twice: the file itself, then the fallback copy of it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QFileInfo info(path);
        if (info.exists() && !info.isFile()) {
            return false;
        }
        const QString folder = info.absolutePath();
        QDir().mkpath(folder);
        bool replace = true;
        const bool keptOut = SameFolder(folder, readOnlyFolder);
        // The user's own folder is taken as it is: it is the last place left.
        if (path != fallbackPath && (keptOut || (canCreateIn && !canCreateIn(folder)))) {
            if (keptOut || !info.exists() || !CanWriteInPlace(path)) {
                if (fallbackPath.isEmpty()) {
                    return false;
                }
                // The user's copy starts from what this file holds, so no key of others is lost.
                const QFileInfo fallback(fallbackPath);
                if (!fallback.exists() && info.exists()) {
                    QFile from(path);
                    QDir().mkpath(fallback.absolutePath());
                    QFile to(fallbackPath);
                    if (from.open(QIODevice::ReadOnly) && to.open(QIODevice::WriteOnly)) {
                        to.write(from.readAll());
                    }
                }
                path = fallbackPath;
                continue;
            }
            replace = false;
        }
        QSettings file(path, QSettings::IniFormat);
        change(file);
        // With atomic sync required QSettings writes a save file renamed into place and never
        // writes in place; without, it writes in place where no save file can be made beside.
        file.setAtomicSyncRequired(replace);
        file.sync();
        return file.status() == QSettings::NoError;
    }
    return false;
}

bool SettingsFile::WriteMainWndInt(const Key& key, int32_t value) {
    return update([&key, value](QSettings& file) { Put(file, FullKey(kMainWndSection, key.name), QString::number(value)); });
}

QList<RecentEntry> SettingsFile::ReadRecent() const {
    const std::unique_ptr<QSettings> file = openForReading();
    QList<RecentEntry> entries;
    for (int i = 1; file != nullptr && i <= RecentPaths::kMax; ++i) {
        const QByteArray number = QByteArray::number(i);
        const QString path = ValueOf(*file, FullKey(kRecentSection, ("Path" + number).constData())).toString();
        if (!path.isEmpty()) {
            entries.append({path, ValueOf(*file, FullKey(kRecentSection, ("Tree" + number).constData())).toInt() == 1});
        }
    }
    return entries;
}

bool SettingsFile::WriteRecent(const QList<RecentEntry>& entries) {
    return update([&entries](QSettings& file) {
        for (int i = 1; i <= RecentPaths::kMax; ++i) {
            const QByteArray number = QByteArray::number(i);
            const QString pathKey = FullKey(kRecentSection, ("Path" + number).constData());
            const QString treeKey = FullKey(kRecentSection, ("Tree" + number).constData());
            if (i <= entries.size()) {
                Put(file, pathKey, entries.at(i - 1).path);
                Put(file, treeKey, QString::number(entries.at(i - 1).tree ? 1 : 0));
            } else {
                RemoveKey(file, pathKey);
                RemoveKey(file, treeKey);
            }
        }
    });
}

size_t SettingsFile::ReadPictureCacheBytes() const {
    const int32_t mib = std::clamp(ReadMainWndInt(kPictureCacheMiB), kPictureCacheMiBMin, kPictureCacheMiBMax);
    return static_cast<size_t>(mib) << 20;
}

int64_t SettingsFile::ReadCacheLimitBytes() const {
    const int32_t mib = std::clamp(ReadMainWndInt(kCacheLimitMiB), kCacheLimitMinMiB, kCacheLimitMaxMiB);
    return int64_t{mib} << 20;
}

bool SettingsFile::HasMainWndKey(const Key& key) const {
    const std::unique_ptr<QSettings> file = openForReading();
    return file != nullptr && ValueOf(*file, FullKey(kMainWndSection, key.name)).isValid();
}

WindowPlacement SettingsFile::ReadPlacement() const {
    const std::unique_ptr<QSettings> file = openForReading();
    WindowPlacement placement;
    placement.left = readInt(file.get(), kLeft);
    placement.top = readInt(file.get(), kTop);
    placement.width = readInt(file.get(), kWidth);
    placement.height = readInt(file.get(), kHeight);
    placement.state = readInt(file.get(), kState);
    return placement;
}

void SettingsFile::ReadDisplaySettings(DisplaySettings& settings) const {
    const std::unique_ptr<QSettings> file = openForReading();
    DisplaySettings read = settings;
    read.magnify = readInt(file.get(), kMagnify);
    read.sizePict = readInt(file.get(), kSizePict);
    read.viewType = readInt(file.get(), kViewType);
    read.isoIndex = readInt(file.get(), kIsoIndex);
    read.markColour = readInt(file.get(), kMarkColour);
    settings = ClampDisplaySettings(std::move(read));
}

QByteArray SettingsFile::ReadDockState() const {
    const std::unique_ptr<QSettings> file = openForReading();
    return file != nullptr ? ValueOf(*file, FullKey(kDockSection, kDockStateKey)).toByteArray() : QByteArray();
}

bool SettingsFile::WriteAll(const WindowPlacement& placement, const DisplaySettings& settings,
                            const QByteArray& dockState) {
    return update([&](QSettings& file) {
        const auto put = [&file](const Key& key, int32_t value) {
            Put(file, FullKey(kMainWndSection, key.name), QString::number(value));
        };
        put(kLeft, placement.left);
        put(kTop, placement.top);
        put(kWidth, placement.width);
        put(kHeight, placement.height);
        put(kState, placement.state);
        put(kMagnify, settings.magnify);
        put(kSizePict, settings.sizePict);
        put(kViewType, settings.viewType);
        put(kIsoIndex, settings.isoIndex);
        put(kMarkColour, settings.markColour);
        Put(file, FullKey(kDockSection, kDockStateKey), dockState);
    });
}

}  // namespace kestory::settings
