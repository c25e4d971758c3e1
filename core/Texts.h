#pragma once

#include <array>
#include <string_view>

#include "FadeSpeed.h"

namespace faderwell::texts {

// The program's own texts, as its windows and messages show them, in UTF-8.
// The application title is kApplicationTitle (AppInfo.h). What assistive
// tools read out stays beside the control it describes.

// Main window: the menus and the captions of the lower strip.
inline constexpr std::string_view kFileMenu = "File(&F)";
inline constexpr std::string_view kSettingsCommand = "設定(&O)";
inline constexpr std::string_view kExitCommand = "終了(&X)";
inline constexpr std::string_view kHelpMenu = "Help(&H)";
inline constexpr std::string_view kAboutCommand = "バージョン情報(&A)";
inline constexpr std::string_view kControllerCaption = "Control";
inline constexpr std::string_view kDrumCaption = "DRUM";

// Settings dialog.
inline constexpr std::string_view kSettingsTitle = "設定";
inline constexpr std::string_view kOutputGroup = "使用MIDI Port";
inline constexpr std::string_view kSpeedGroup = "フェイドイン・アウト時の速度";
/// The speed steps' names, slowest first.
inline constexpr std::array<std::string_view, kSpeedStepCount> kSpeedNames{
    "遅い", "やや遅い", "ふつう", "やや速い", "速い"};
inline constexpr std::string_view kVendorGroup = "使用メーカ";
/// The drum-kit vendors' names, in the order of their codes.
inline constexpr std::array<std::string_view, 3> kVendorNames{"KORG", "Roland/GM", "YAMAHA"};

// The output list's first two entries; the devices follow.
inline constexpr std::string_view kNoOutputEntry = "(None)";
inline constexpr std::string_view kMapperEntry = "MIDI MAPPER";

// About dialog.
inline constexpr std::string_view kAboutTitle = "バージョン情報";
// The maker's lines and page are kMakerLine, kMailLine and kMakerPage (AppInfo.h).
inline constexpr std::string_view kPagePrefix = "URL=";
inline constexpr std::string_view kOkButton = "OK";
inline constexpr std::string_view kPageButton = "WWW";

// Messages.
inline constexpr std::string_view kTimerUnavailable = "タイマーを取得できません";
inline constexpr std::string_view kDeviceUnavailable = "このデバイスは利用できません";
/// Settings value failures; %s stands for the value's name.
inline constexpr std::string_view kSettingTypeError = "'%s' のデータ型が不正です";
inline constexpr std::string_view kSettingReadError = "'%s' の取得に失敗しました";
inline constexpr std::string_view kSettingWriteError = "'%s' の設定に失敗しました";

}  // namespace faderwell::texts
