#pragma once

#include "collection/DisplaySettings.h"
#include "shell/RecentPaths.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSettings>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// The settings file "Kestory.dat": an INI file with the window placement and the display settings
// in section [MainWnd], and the panels' docking state in section [ControlBar].
//
// Every value the program writes itself is a signed decimal integer. Reads never fail: a missing
// file, section or key gives the key's default, and display values are brought into the ranges the
// display-settings panel offers, so a hand-edited file cannot reach the chart out of range.
// Section and key names match without regard to case, as in the private-profile files the layout
// comes from; a write leaves each key once, under the program's own spelling. A "Kestory.dat" that
// is not a regular file (a folder, a named pipe, a device) is neither read nor written: opening a
// pipe would block the start until someone writes into it.
namespace kestory::settings {

inline constexpr const char* kFileName = "Kestory.dat";

// The platform's "let the system choose" value for the window rectangle keys.
inline constexpr int32_t kUseDefault = INT32_MIN;

// Show states as the "state" key stores them.
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimized = 2;
inline constexpr int kShowMaximized = 3;
inline constexpr int kShowAsCreated = 5;

struct Key {
    const char* name;
    int32_t defaultValue;
};

// Section [MainWnd], in the order they are written at close.
inline constexpr Key kLeft{"left", kUseDefault};
inline constexpr Key kTop{"top", kUseDefault};
inline constexpr Key kWidth{"width", kUseDefault};
inline constexpr Key kHeight{"height", kUseDefault};
inline constexpr Key kState{"state", kShowAsCreated};
inline constexpr Key kMagnify{"Magnify", 100};
inline constexpr Key kSizePict{"SizePict", 40};
inline constexpr Key kViewType{"ViewType", DisplaySettings::kViewThumbnails};
inline constexpr Key kIsoIndex{"IsoIndex", 1};
// Not written at close but when the menu item changes: 1 imports keep their thumbnails between
// runs, 0 they decode every picture.
inline constexpr Key kCacheThumbnails{"CacheThumbnails", 1};
// The thumbnail cache's bound in MiB (entries used longest ago go beyond it); written when the
// display-settings panel's field changes. 2 GiB holds about 150,000 thumbnails.
inline constexpr Key kCacheLimitMiB{"CacheLimitMiB", 2048};
// What the marks' colour tells (DisplaySettings::kMarkRed ..); written after the nine keys above.
inline constexpr Key kMarkColour{"MarkColor", DisplaySettings::kMarkRed};
// 1 when the folder import takes HEIF and raw files too; written when the menu item is toggled.
inline constexpr Key kScanAllKinds{"ScanAllKinds", 0};
// MiB of thumbnails the window keeps in memory (PictureCache); only read, at the start.
inline constexpr Key kPictureCacheMiB{"PictureCacheMiB", 256};
inline constexpr int32_t kPictureCacheMiBMin = 16;
inline constexpr int32_t kPictureCacheMiBMax = 65536;
// 1 when an import leaves out a raw file that has a JPEG of the same name beside it.
inline constexpr Key kPairRawWithJpeg{"PairRawWithJpeg", 1};
// 1 when chart pictures may come from the pictures photos carry (DisplaySettings::useEmbedded);
// written when the panel's check box changes.
inline constexpr Key kUseEmbedded{"UseEmbedded", 1};

inline constexpr const char* kMainWndSection = "MainWnd";
// "最近使ったフォルダ": Path1 (the newest) to Path8, each with Tree1 .. Tree8 = 1 for a folder
// imported with its sub-folders; written whenever the list changes.
inline constexpr const char* kRecentSection = "Recent";
inline constexpr const char* kDockSection = "ControlBar";
inline constexpr const char* kDockStateKey = "State";

// The ranges of the display-settings panel.
inline constexpr int32_t kMagnifyMin = 30;
inline constexpr int32_t kMagnifyMax = 400;
inline constexpr int32_t kSizePictMin = 10;
inline constexpr int32_t kSizePictMax = 120;
inline constexpr int32_t kIsoIndexMin = 0;
inline constexpr int32_t kIsoIndexMax = 10;
inline constexpr int32_t kCacheLimitMinMiB = 16;
inline constexpr int32_t kCacheLimitMaxMiB = 1 << 20;

// The restored (normal) rectangle of the main window, in pixels, and how it was shown.
struct WindowPlacement {
    int32_t left = kUseDefault;
    int32_t top = kUseDefault;
    int32_t width = kUseDefault;
    int32_t height = kUseDefault;
    int state = kShowAsCreated;

    // All four rectangle keys were present with a positive size.
    bool HasRectangle() const;
    QRect Rectangle() const { return QRect(left, top, width, height); }
};

// The program's folder joined with the file name: "/opt/kestory/bin" + "Kestory.dat".
QString BuildSettingsPath(const QString& programDir, const QString& name = QString::fromLatin1(kFileName));

// Whether a new file could be created in a folder. A folder whose permission bits let nobody write
// counts as read-only, for root too: root ignores the bits, but a folder marked so is not ours to
// fill. Otherwise the check creates and removes a probe file, because the bits say nothing about
// read-only mounts.
using FolderCheck = std::function<bool(const QString& folder)>;
bool CanCreateFileIn(const QString& folder);

// Whether an existing regular file may be rewritten where it is: some write bit set (the same rule
// as for folders) and it opens for writing.
bool CanWriteInPlace(const QString& file);

// The settings file beside the program wins whenever a new file can be created there. In a folder
// where none can (an installed program, a shared folder), a file already in fallbackDir (the
// per-user configuration folder) wins: it was written there because the one beside could not be.
// Then comes the file beside the program, read-only or not, and last a new one in fallbackDir.
QString ChooseSettingsPath(const QString& programDir, const QString& fallbackDir,
                           const FolderCheck& canCreateIn = CanCreateFileIn);

// The bin folder the build installs the program into (CMake's CMAKE_INSTALL_FULL_BINDIR).
QString InstallBinDir();

// Whether a folder holds the system's installed programs: /usr/bin, /bin, /usr/sbin, /sbin,
// /usr/local/bin, /usr/local/sbin or installBinDir, compared with links resolved. Settings never
// go there, whoever runs the program: root can write into /usr/bin, but a file there would be
// shared by every user and left behind by the package manager.
bool IsSystemProgramFolder(const QString& folder, const QString& installBinDir = InstallBinDir());

// The value brought into its range; ViewType other than thumbnails, marks or density becomes
// thumbnails, an unknown MarkColor red.
DisplaySettings ClampDisplaySettings(DisplaySettings settings);
// Show states other than minimised and maximised show the window normally.
int NormaliseShowState(int state);

// A saved rectangle is used only while enough of it (minVisible pixels each way) lies on one of
// the screens: after a monitor was removed or the resolution lowered, a window placed there could
// not be reached.
bool LiesOnAScreen(const QRect& rect, const QList<QRect>& screens, int minVisible = 40);

// The saved rectangle to open the window at, or nothing when it lies on no screen. A size larger
// than the available area of the screen it lies on most is cut to that area (a damaged or
// hand-edited file could ask for a window of gigabytes); the position stays where that still
// leaves the window on the screen, otherwise it moves to the area's top-left corner.
std::optional<QRect> RestoredRectangle(const WindowPlacement& placement, const QList<QRect>& screens);

class SettingsFile {
public:
    // fallbackPath: where the file goes when neither a new file beside path can be made nor path
    // rewritten in place; empty for none.
    explicit SettingsFile(QString path, QString fallbackPath = QString(), FolderCheck canCreateIn = CanCreateFileIn);

    const QString& Path() const { return path; }

    // A folder nothing is written into, however writable: a file there is read, and the first
    // write goes to the fallback path as for a read-only file.
    void NeverWriteIn(const QString& folder) { readOnlyFolder = folder; }

    int32_t ReadMainWndInt(const Key& key) const;
    // The platform write's success: false when the file could not be written.
    bool WriteMainWndInt(const Key& key, int32_t value);

    // Whether the file holds the key at all (a first start holds none of the display keys).
    bool HasMainWndKey(const Key& key) const;
    WindowPlacement ReadPlacement() const;
    // kPictureCacheMiB in bytes, brought into its range.
    size_t ReadPictureCacheBytes() const;
    // kCacheLimitMiB in bytes, brought into its range.
    int64_t ReadCacheLimitBytes() const;
    // Only the display keys; evCaption is left as it was.
    void ReadDisplaySettings(DisplaySettings& settings) const;
    QByteArray ReadDockState() const;
    QList<RecentEntry> ReadRecent() const;
    bool WriteRecent(const QList<RecentEntry>& entries);

    // The nine [MainWnd] keys and MarkColor, then the docking state, in one write of the file. Where a new file
    // can be made beside it, the file is replaced as a whole (written beside it and renamed into
    // place), so an interrupted write leaves the old file. Where none can, a writable file is
    // rewritten in place; a read-only one is copied to the fallback path, which takes the write
    // and from then on is Path(). False when nothing could be written; nobody is told, the next
    // start reads whatever the file holds.
    bool WriteAll(const WindowPlacement& placement, const DisplaySettings& settings, const QByteArray& dockState);

private:
    // Null when the path names something other than a regular file (or nothing at all readable).
    std::unique_ptr<QSettings> openForReading() const;
    static int32_t readInt(const QSettings* file, const Key& key);
    bool update(const std::function<void(QSettings&)>& change);

    QString path;
    QString fallbackPath;
    FolderCheck canCreateIn;
    QString readOnlyFolder;
};

}  // namespace kestory::settings
