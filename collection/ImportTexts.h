#pragma once

#include <string_view>

// The fixed texts of the import and the shooting-data export, for the window and the exporter.
// The dialog filters are given as a caption and its patterns; how a dialog spells a filter is the
// caller's business (Qt: "画像ファイル(*.JPG) (*.[Jj][Pp][Gg] *.[Jj][Pp][Ee][Gg] ...)").
namespace kestory::texts {

// Open-files dialog ("開く(&O)...").
inline constexpr std::string_view kOpenFilesFilterCaption = "画像ファイル(*.JPG)";
// Its patterns are the folder scan's JPEG name endings (collection/FolderScan.h, kJpegSuffixes),
// each in any case.
inline constexpr std::string_view kOpenFilesDefaultSuffix = "JPG";
// Its second filter: JPEG and the other kinds (kOtherPhotoSuffixes).
inline constexpr std::string_view kAllPhotosFilterCaption =
    "すべての写真 (*.JPG *.HEIC *.HEIF *.HIF *.DNG *.CR2 *.NEF *.ARW *.PEF *.ORF *.RW2 *.SRW *.CR3 *.RAF *.CRW *.MRW "
    "*.X3F *.NRW *.3FR *.IIQ *.ERF *.MOS *.DCR *.KDC *.SRF *.SR2)";
// The ファイル menu's check item that lets the folder import take them too.
inline constexpr std::string_view kScanAllKindsMenuText = "JPEG 以外の写真もフォルダから読み込む";
inline constexpr std::string_view kPairRawMenuText = "RAW+JPEG は一枚として数える";

// Folder browser ("フォルダを開く(&F)...").
inline constexpr std::string_view kFolderBrowserTitle = "画像フォルダの選択";

// Per-file refusals of the import, each following the file's path.
inline constexpr std::string_view kRefusedNoExif = "は、Ｅｘｉｆ情報が無いため、読み込めませんでした。";
inline constexpr std::string_view kRefusedLoadFailed = "の読み込みに失敗しました。";
// The window's refusal boxes: a check box that gathers the rest of the import's refusals, told
// at its end as the count ("%1 件…") followed by the first paths and "…ほか %1 件" for the rest.
inline constexpr std::string_view kRefusalsGatherRest = "この読み込みでは以後表示しない";
inline constexpr std::string_view kRefusalsGathered = "%1 件のファイルを読み込めませんでした。";
inline constexpr std::string_view kRefusalsMore = "…ほか %1 件";
// The files an import did not add because the collection holds them as they are (%1: how many).
inline constexpr std::string_view kAlreadyLoaded = "%1 枚は読み込み済みのため追加しませんでした。";

// Shooting-data export ("撮影データの保存（&S）...").
inline constexpr std::string_view kCsvNoPhotos = "画像ファイルを読み込んでから実行してください";
inline constexpr std::string_view kCsvSaveFailed = "ＣＳＶファイルの保存に失敗しました。";
inline constexpr std::string_view kCsvFilterCaption = "CSVファイル(*.CSV)";
inline constexpr std::string_view kCsvPatterns[] = {"*.CSV", "*.csv"};
inline constexpr std::string_view kCsvDefaultSuffix = "CSV";

} // namespace kestory::texts
