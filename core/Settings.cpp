#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QThread>
#include <algorithm>
#include <vector>

#include "Exception.h"
#include "Profile.h"
#include "TextUtils.h"

TDefaultSettings DefaultSettings;
int32_t tips = 0;

namespace {

// Any failure that makes the whole load fall back to the built-in defaults.
struct LoadFailed {};

constexpr int32_t DefaultTips = 0;

// The integer settings (AudioVBR is stored as 0 or 1) in the order the load reads them, with the
// field each one fills; the defaults are TDefaultSettings' own member values. Load, first-start
// creation and save all walk this one table. The INI file is written whole at sync, so the order in
// which values are set is not observable there.
struct IntegerSetting {
  const char* name;
  int32_t (*get)(const TDefaultSettings& settings, int32_t tipsValue);
  void (*set)(TDefaultSettings& settings, int32_t& tipsValue, int32_t value);
};

const IntegerSetting kIntegerSettings[] = {
    {"AudioSampleRate", [](const TDefaultSettings& d, int32_t) { return d.AudioSampleRate; },
     [](TDefaultSettings& d, int32_t&, int32_t v) { d.AudioSampleRate = v; }},
    {"AudioBitrate", [](const TDefaultSettings& d, int32_t) { return d.AudioBitrate; },
     [](TDefaultSettings& d, int32_t&, int32_t v) { d.AudioBitrate = v; }},
    {"AudioBitsPerSample", [](const TDefaultSettings& d, int32_t) { return d.AudioBitsPerSample; },
     [](TDefaultSettings& d, int32_t&, int32_t v) { d.AudioBitsPerSample = v; }},
    {"AudioChannels", [](const TDefaultSettings& d, int32_t) { return d.AudioChannels; },
     [](TDefaultSettings& d, int32_t&, int32_t v) { d.AudioChannels = v; }},
    {"AudioVBR", [](const TDefaultSettings& d, int32_t) { return d.AudioVBR ? 1 : 0; },
     [](TDefaultSettings& d, int32_t&, int32_t v) { d.AudioVBR = v != 0; }},
    {"AudioVbrMinBitrate", [](const TDefaultSettings& d, int32_t) { return d.AudioVbrMinBitrate; },
     [](TDefaultSettings& d, int32_t&, int32_t v) { d.AudioVbrMinBitrate = v; }},
    {"AudioVbrMaxBitrate", [](const TDefaultSettings& d, int32_t) { return d.AudioVbrMaxBitrate; },
     [](TDefaultSettings& d, int32_t&, int32_t v) { d.AudioVbrMaxBitrate = v; }},
    {"tips", [](const TDefaultSettings&, int32_t t) { return t; },
     [](TDefaultSettings&, int32_t& t, int32_t v) { t = v; }},
    {"ParallelTasks", [](const TDefaultSettings& d, int32_t) { return d.ParallelTasks; },
     [](TDefaultSettings& d, int32_t&, int32_t v) { d.ParallelTasks = v; }},
};

int32_t DefaultOf(const IntegerSetting& setting) { return setting.get(TDefaultSettings{}, DefaultTips); }

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

void WriteIntegers(QSettings& settings) {
  for (const IntegerSetting& setting : kIntegerSettings) {
    settings.setValue(setting.name, setting.get(DefaultSettings, tips));
  }
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

  for (const IntegerSetting& setting : kIntegerSettings) {
    setting.set(DefaultSettings, tips, ReadInteger(settings, setting.name, DefaultOf(setting)));
  }
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
  WriteIntegers(settings);
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

int32_t ParallelTaskCount(int32_t setting) {
  const int32_t cores = std::max(1, QThread::idealThreadCount());
  // A typo such as 500 must not start hundreds of encoders.
  const int32_t most = std::min(2 * cores, kMostParallelTasks);
  return std::clamp(setting > 0 ? setting : cores, 1, most);
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

void ReadSavedSettings() {
  UseBuiltInDefaults();
  const QString path = Q(SettingsFilePath());
  if (!QFileInfo(path).isFile()) return;
  const QSettings settings(path, QSettings::IniFormat);
  if (settings.status() != QSettings::NoError) return;
  // Only what parses is taken; the rest keeps its built-in value, and nothing is written back.
  const auto text = [&settings](const char* name) {
    const QVariant value = settings.value(name);
    return value.typeId() == QMetaType::QString ? value.toString().toStdString() : std::string();
  };
  DefaultSettings.InputFileDir = text("InputFileDir");
  DefaultSettings.OutputFileDir = text("OutputFileDir");
  for (const IntegerSetting& setting : kIntegerSettings) {
    bool ok = false;
    const int value = settings.value(setting.name).toString().trimmed().toInt(&ok, 10);
    if (ok) setting.set(DefaultSettings, tips, value);
  }
}

void SaveSettings() {
  const QString path = Q(SettingsFilePath());
  if (!SettingsFileOpens(path)) return;
  QSettings settings(path, QSettings::IniFormat);
  settings.setValue("InputFileDir", Q(DefaultSettings.InputFileDir));
  settings.setValue("OutputFileDir", Q(DefaultSettings.OutputFileDir));
  WriteIntegers(settings);
  settings.sync();
  // The file opened for writing but the write failed: the caller reports it.
  if (settings.status() == QSettings::AccessError) throw Exception("Failed to set data for 'InputFileDir'");
}
