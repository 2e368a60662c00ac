// Saving a file so that it ends up either as it was or whole with the new
// contents, whatever fails, whatever signal arrives and whoever else saves it.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

// Writes a file's contents to the stream; false when anything failed.
using FileWriter = std::function<bool(FILE*)>;

// Busy: another save of the same file went on past the wait.
enum class SaveOutcome { Saved, CantOpen, CantWrite, Busy };

// How long a save waits for another save of the same file to end.
constexpr std::chrono::milliseconds kSaveLockWait{10000};

// Saves wherever a plain write of the name would work and never loses the
// old file: a new file, or one that a new file can replace with everything
// it had (mode, owner, group, its only link), is replaced by rename; any
// other regular file is written in place, one save at a time, with its old
// bytes kept to put back and the signals that would end the process held
// until the file is whole; pipes and devices are written directly.
SaveOutcome saveFile(const std::string& name, const FileWriter& write, std::chrono::milliseconds lockWait = kSaveLockWait);
