#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <vector>

#include "Exception.h"
#include "Profile.h"
#include "TextUtils.h"

TDefaultSettings DefaultSettings;
int32_t tips = 0;

namespace {

// Any failure that makes the whole load fall back to the built-in defaults.
struct LoadFailed {};

constexpr int32_t DefaultBitrate = 192;
constexpr int32_t DefaultSampleRate = 44100;
constexpr int32_t DefaultBitsPerSample = 16;
constexpr int32_t DefaultChannels = 2;
constexpr int32_t DefaultVbrMin = 128;
constexpr int32_t DefaultVbrMax = 256;
constexpr int32_t DefaultTips = 0;

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string DocumentsFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
  return folder.toStdString();
}

// The settings file "opens with full access" when it exists and may be written.
bool SettingsFileOpens(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && info.isFile() && info.isWritable();
}

void Commit(QSettings& settings) {
  settings.sync();
  if (settings.status() == QSettings::AccessError) throw LoadFailed{};
}

// A missing text reads as empty; a value that is not a text (a list, say) is a wrong type.
std::string ReadText(QSettings& settings, const char* name) {
  if (!settings.contains(name)) return {};
  const QVariant value = settings.value(name);
  if (value.typeId() != QMetaType::QString) throw LoadFailed{};
  return value.toString().toStdString();
}

// One guarded step: a missing value, or one that is not a 32-bit integer, takes its default,
// which is written back under the same name.
int32_t ReadInteger(QSettings& settings, const char* name, int32_t fallback) {
  if (settings.contains(name)) {
    const QVariant value = settings.value(name);
    if (value.typeId() == QMetaType::QString) {
      bool ok = false;
      const int parsed = value.toString().trimmed().toInt(&ok, 10);
      if (ok) return parsed;
    }
  }
  settings.setValue(name, fallback);
  return fallback;
}

void UseBuiltInDefaults() {
  DefaultSettings = TDefaultSettings{};
  DefaultSettings.InputFileDir = ProgramDir;
  DefaultSettings.OutputFileDir.clear();
  tips = DefaultTips;
}

void ReadExisting(const QString& path) {
  QSettings settings(path, QSettings::IniFormat);
  if (settings.status() == QSettings::AccessError) throw LoadFailed{};

  DefaultSettings.InputFileDir = ReadText(settings, "InputFileDir");
  if (DefaultSettings.InputFileDir.empty()) {
    DefaultSettings.InputFileDir = DocumentsFolder();
    settings.setValue("InputFileDir", Q(DefaultSettings.InputFileDir));
  }
  DefaultSettings.OutputFileDir = ReadText(settings, "OutputFileDir");
  if (DefaultSettings.OutputFileDir.empty()) settings.setValue("OutputFileDir", QString());

  DefaultSettings.AudioSampleRate = ReadInteger(settings, "AudioSampleRate", DefaultSampleRate);
  DefaultSettings.AudioBitrate = ReadInteger(settings, "AudioBitrate", DefaultBitrate);
  DefaultSettings.AudioBitsPerSample = ReadInteger(settings, "AudioBitsPerSample", DefaultBitsPerSample);
  DefaultSettings.AudioChannels = ReadInteger(settings, "AudioChannels", DefaultChannels);
  DefaultSettings.AudioVBR = ReadInteger(settings, "AudioVBR", 0) != 0;
  DefaultSettings.AudioVbrMinBitrate = ReadInteger(settings, "AudioVbrMinBitrate", DefaultVbrMin);
  DefaultSettings.AudioVbrMaxBitrate = ReadInteger(settings, "AudioVbrMaxBitrate", DefaultVbrMax);
  tips = ReadInteger(settings, "tips", DefaultTips);
  Commit(settings);
}

void CreateWithDefaults(const QString& path) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) throw LoadFailed{};
  QSettings settings(path, QSettings::IniFormat);
  DefaultSettings = TDefaultSettings{};
  DefaultSettings.InputFileDir = DocumentsFolder();
  DefaultSettings.OutputFileDir.clear();
  tips = DefaultTips;
  settings.setValue("InputFileDir", Q(DefaultSettings.InputFileDir));
  settings.setValue("OutputFileDir", QString());
  settings.setValue("AudioBitrate", DefaultBitrate);
  settings.setValue("AudioSampleRate", DefaultSampleRate);
  settings.setValue("AudioChannels", DefaultChannels);
  settings.setValue("AudioBitsPerSample", DefaultBitsPerSample);
  settings.setValue("AudioVBR", 0);
  settings.setValue("AudioVbrMinBitrate", DefaultVbrMin);
  settings.setValue("AudioVbrMaxBitrate", DefaultVbrMax);
  settings.setValue("tips", DefaultTips);
  Commit(settings);
  if (!QFileInfo::exists(path)) throw LoadFailed{};
}

}  // namespace

std::string SettingsFilePath() {
  // "Software\<organisation>\<application>" names the file <organisation>/<application>.ini.
  std::vector<std::string> parts;
  SplitText(RegistryKey, "\\", parts);
  const std::string organisation = parts.size() >= 3 ? parts[1] : "Zarnok";
  const std::string application = parts.size() >= 3 ? parts[2] : "Tolvane";
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return (base + '/' + Q(organisation) + '/' + Q(application) + ".ini").toStdString();
}

void LoadSettings() {
  const QString path = Q(SettingsFilePath());
  try {
    if (QFileInfo::exists(path)) {
      if (!SettingsFileOpens(path)) throw LoadFailed{};
      ReadExisting(path);
    } else {
      CreateWithDefaults(path);
    }
  } catch (const LoadFailed&) {
    UseBuiltInDefaults();
  }
}

void SaveSettings() {
  const QString path = Q(SettingsFilePath());
  if (!SettingsFileOpens(path)) return;
  QSettings settings(path, QSettings::IniFormat);
  settings.setValue("InputFileDir", Q(DefaultSettings.InputFileDir));
  settings.setValue("OutputFileDir", Q(DefaultSettings.OutputFileDir));
  settings.setValue("AudioBitrate", DefaultSettings.AudioBitrate);
  settings.setValue("AudioSampleRate", DefaultSettings.AudioSampleRate);
  settings.setValue("AudioBitsPerSample", DefaultSettings.AudioBitsPerSample);
  settings.setValue("AudioChannels", DefaultSettings.AudioChannels);
  settings.setValue("AudioVBR", DefaultSettings.AudioVBR ? 1 : 0);
  settings.setValue("AudioVbrMinBitrate", DefaultSettings.AudioVbrMinBitrate);
  settings.setValue("AudioVbrMaxBitrate", DefaultSettings.AudioVbrMaxBitrate);
  settings.setValue("tips", tips);
  settings.sync();
  // The file opened for writing but the write failed: the caller reports it.
  if (settings.status() == QSettings::AccessError) throw Exception("Failed to set data for 'InputFileDir'");
}
