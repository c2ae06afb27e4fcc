#pragma once
// Everything the main window needs from outside, in one value: main passes the
// real ones, tests their own.

#include "settings/registry.h"
#include "storage/file_ops.h"
#include "tools/default_handler.h"

#include <QDateTime>
#include <chrono>
#include <filesystem>
#include <functional>

namespace kv {

struct Environment
{
    std::filesystem::path programFolder; // help.html, and the data files unless dataFolder says otherwise
    std::filesystem::path dataFolder;    // the data files and backups; empty: the program folder
    Registry* registry = nullptr;        // the settings store
    FileOps* fileOps = nullptr;          // the data files' file system; none: the real one
    std::function<QDateTime()> clock;
    OpenWithDefaultHandler openWithDefaultHandler;
    std::chrono::milliseconds clipboardClearDelay = std::chrono::seconds(30); // a copied password stays this long
};

} // namespace kv
