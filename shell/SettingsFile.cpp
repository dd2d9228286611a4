#include "shell/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

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

bool CanCreateFileIn(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return false;
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".kestory-probe-XXXXXX")));
    return probe.open();  // removed again when probe goes out of scope
}

QString ChooseSettingsPath(const QString& programDir, const QString& fallbackDir, const FolderCheck& canCreateIn) {
    const QString beside = BuildSettingsPath(programDir);
    if (QFileInfo::exists(beside) || fallbackDir.isEmpty() || (canCreateIn && canCreateIn(programDir))) {
        return beside;
    }
    return BuildSettingsPath(fallbackDir);
}

DisplaySettings ClampDisplaySettings(DisplaySettings settings) {
    settings.magnify = std::clamp(settings.magnify, kMagnifyMin, kMagnifyMax);
    settings.sizePict = std::clamp(settings.sizePict, kSizePictMin, kSizePictMax);
    settings.isoIndex = std::clamp(settings.isoIndex, kIsoIndexMin, kIsoIndexMax);
    if (settings.viewType != DisplaySettings::kViewThumbnails && settings.viewType != DisplaySettings::kViewMarks) {
        settings.viewType = DisplaySettings::kViewThumbnails;
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

SettingsFile::SettingsFile(QString path) : path(std::move(path)) {}

int32_t SettingsFile::readInt(const QSettings& file, const Key& key) const {
    const QVariant value = file.value(QStringLiteral("%1/%2").arg(QLatin1String(kMainWndSection), QLatin1String(key.name)));
    if (!value.isValid()) {
        return key.defaultValue;
    }
    bool ok = false;
    const int32_t number = value.toString().trimmed().toInt(&ok, 10);
    return ok ? number : key.defaultValue;
}

int32_t SettingsFile::ReadMainWndInt(const Key& key) const {
    const QSettings file(path, QSettings::IniFormat);
    return readInt(file, key);
}

bool SettingsFile::sync(QSettings& file) {
    // QSettings writes the whole file through a save file renamed into place; with atomic sync
    // required (its default) it never falls back to writing the file in place.
    file.setAtomicSyncRequired(true);
    QDir().mkpath(QFileInfo(path).absolutePath());
    file.sync();
    return file.status() == QSettings::NoError;
}

bool SettingsFile::WriteMainWndInt(const Key& key, int32_t value) {
    QSettings file(path, QSettings::IniFormat);
    file.setValue(QStringLiteral("%1/%2").arg(QLatin1String(kMainWndSection), QLatin1String(key.name)),
                  QString::number(value));
    return sync(file);
}

WindowPlacement SettingsFile::ReadPlacement() const {
    const QSettings file(path, QSettings::IniFormat);
    WindowPlacement placement;
    placement.left = readInt(file, kLeft);
    placement.top = readInt(file, kTop);
    placement.width = readInt(file, kWidth);
    placement.height = readInt(file, kHeight);
    placement.state = readInt(file, kState);
    return placement;
}

void SettingsFile::ReadDisplaySettings(DisplaySettings& settings) const {
    const QSettings file(path, QSettings::IniFormat);
    DisplaySettings read = settings;
    read.magnify = readInt(file, kMagnify);
    read.sizePict = readInt(file, kSizePict);
    read.viewType = readInt(file, kViewType);
    read.isoIndex = readInt(file, kIsoIndex);
    settings = ClampDisplaySettings(std::move(read));
}

QByteArray SettingsFile::ReadDockState() const {
    const QSettings file(path, QSettings::IniFormat);
    return file.value(QStringLiteral("%1/%2").arg(QLatin1String(kDockSection), QLatin1String(kDockStateKey)))
        .toByteArray();
}

bool SettingsFile::WriteAll(const WindowPlacement& placement, const DisplaySettings& settings,
                            const QByteArray& dockState) {
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(QLatin1String(kMainWndSection));
    const auto put = [&file](const Key& key, int32_t value) {
        file.setValue(QLatin1String(key.name), QString::number(value));
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
    file.endGroup();
    file.setValue(QStringLiteral("%1/%2").arg(QLatin1String(kDockSection), QLatin1String(kDockStateKey)), dockState);
    return sync(file);
}

}  // namespace kestory::settings
