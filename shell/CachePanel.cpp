#include "shell/CachePanel.h"

#include "collection/ThumbnailCache.h"
#include "dialog/AppTitle.h"
#include "dialog/DialogUnits.h"
#include "dialog/SunkenText.h"
#include "shell/NumberBox.h"
#include "shell/SettingsFile.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

using kestory::DluRect;
using kestory::DluX;
using kestory::DluY;

namespace st = kestory::settings;

namespace {

constexpr int kRowsHeight = 48;   // dialog units: three rows, the last the button's
constexpr int kMessageTop = 49;   // dialog units
constexpr int kMessageWidth = 154; // dialog units, the panel's width but its margins
constexpr double kBytesPerMiB = 1024.0 * 1024.0;

// The cache's line as the panel shows it: without the program's name it carries for stderr, and
// with a place to break after each "/", so that a long folder wraps instead of being cut.
QString PanelLine(const std::string& line) {
    QString text = QString::fromStdString(line);
    const QString name = kestory::AppTitle() + QStringLiteral(": ");
    if (text.startsWith(name)) {
        text.remove(0, name.size());
    }
    text.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    return text;
}

}  // namespace

CachePanel::CachePanel(QWidget* parent)
    : QWidget(parent), ask([](QMessageBox& box) { return box.exec(); }) {
    setObjectName(QStringLiteral("cachePanel"));

    kestory::SunkenText(QStringLiteral("キャッシュ"), DluRect(2, 0, 55, 13), this);
    limitBox = new NumberBox(st::kCacheLimitMinMiB, st::kCacheLimitMaxMiB, this);
    limitBox->setButtonSymbols(QAbstractSpinBox::NoButtons);
    limitBox->setAlignment(Qt::AlignCenter);
    limitBox->setGeometry(DluRect(60, 0, 40, 13));
    limitBox->setValue(st::kCacheLimitMiB.defaultValue);
    // Typed numbers count on Enter or when the focus leaves (NumberBox), not at each digit: a bound
    // typed digit by digit would drop entries for every smaller number on the way.
    connect(limitBox, &QSpinBox::valueChanged, this, &CachePanel::OnLimitTyped);
    auto* unit = new QLabel(QStringLiteral("MiB まで"), this);
    unit->setGeometry(DluRect(103, 0, 52, 13));

    kestory::SunkenText(QStringLiteral("使用量"), DluRect(2, 16, 55, 13), this);
    storedText = kestory::SunkenText(QString(), DluRect(60, 16, 95, 13), this);

    clearButton = new QPushButton(QStringLiteral("キャッシュを消去"), this);
    clearButton->setGeometry(DluRect(2, 32, 66, 14));
    connect(clearButton, &QPushButton::clicked, this, &CachePanel::OnClear);

    problemText = new QLabel(this);
    problemText->setTextFormat(Qt::PlainText);
    problemText->setWordWrap(true);
    problemText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    problemText->hide();

    setFixedSize(DluX(158), DluY(kRowsHeight));
    Refresh();
}

CachePanel::~CachePanel() = default;

void CachePanel::SetCache(ThumbnailCache* newCache) {
    cache = newCache;
    if (cache != nullptr) {
        const QSignalBlocker quiet(limitBox);
        const int64_t mib = cache->MaxBytes() >> 20;
        limitBox->setValue(static_cast<int>(std::clamp<int64_t>(mib, st::kCacheLimitMinMiB, st::kCacheLimitMaxMiB)));
    }
    Refresh();
}

void CachePanel::SetAsk(AskFunction function) {
    ask = std::move(function);
}

std::unique_ptr<QMessageBox> CachePanel::MakeClearQuestion(QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, kestory::AppTitle(),
                                             QStringLiteral("サムネイルのキャッシュを消去しますか？"),
                                             QMessageBox::Yes | QMessageBox::No, parent);
    // Filling it again costs a whole import of every photo: only a deliberate Yes empties it.
    box->setDefaultButton(QMessageBox::No);
    return box;
}

void CachePanel::Refresh() {
    ThumbnailCache::Stored stored;
    const bool usable = cache != nullptr && cache->GetStored(stored);
    // A size that cannot be had is no size, never a zero.
    storedText->setText(usable ? QStringLiteral("%1 MiB・%2 件")
                                     .arg(QString::number(static_cast<double>(stored.fileBytes) / kBytesPerMiB, 'f', 1))
                                     .arg(stored.entries)
                               : QStringLiteral("---"));
    // No control of the panel is ever disabled: with nothing to clear the button asks nothing.

    const std::string problem = cache != nullptr ? cache->Problem() : std::string();
    problemText->setText(PanelLine(problem));
    problemText->setToolTip(QString::fromStdString(problem));
    problemText->setVisible(!problem.empty());
    int height = DluY(kRowsHeight);
    if (!problem.empty()) {
        const int width = DluX(kMessageWidth);
        const int lines = problemText->heightForWidth(width);
        problemText->setGeometry(DluX(2), DluY(kMessageTop), width, lines);
        height = DluY(kMessageTop) + lines + DluY(2);
    }
    if (height != this->height()) {
        setFixedHeight(height);
        emit heightChanged();
    }
}

void CachePanel::OnClear() {
    if (cache == nullptr || !cache->Usable()) {
        return; // the part's line says why there is nothing to clear
    }
    const std::unique_ptr<QMessageBox> question = MakeClearQuestion(this);
    if (ask(*question) != QMessageBox::Yes) {
        return;
    }
    cache->Clear();
    Refresh();
}

void CachePanel::OnLimitTyped(int mib) {
    if (cache != nullptr) {
        cache->SetMaxBytes(int64_t{mib} << 20);
    }
    emit limitChanged(mib); // kept for the next run even without a cache now
    Refresh();
}
