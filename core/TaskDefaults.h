#pragma once
// Which task field each persisted MP3 default stands for, in both directions: a new task starts from
// the defaults, and a confirmed task becomes them.
#include "core/Settings.h"
#include "core/TaskList.h"

// The seven MP3 settings of a new task from the defaults.
void CopyDefaultSettings(TTaskRecord& task, const TDefaultSettings& defaults);
// The defaults from a confirmed task: its seven MP3 settings, and its input and output folders.
void StoreTaskAsDefaults(const TTaskRecord& task, TDefaultSettings& defaults);
