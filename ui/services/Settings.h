#pragma once

// The program's preferences: one INI file, "dirlook.conf" in the config
// directory, read and written through QSettings. Tests point it elsewhere.

#include <QString>

#include <memory>

class QSettings;

namespace ui {

// The settings file in force: the override when one is set, else
// "dirlook.conf" in the config directory.
QString settingsFilePath();
// Tests: use this file instead (empty: back to the config directory).
void overrideSettingsFile(const QString& path);

// The settings, opened on settingsFilePath(); a missing folder for the file
// is created first (owner only).
std::unique_ptr<QSettings> openSettings();

} // namespace ui
