// StartUp: the settings path, the main window, then the stored entries.

#include "app/frm_scrn.h"
#include "process/process_guard.h"
#include "settings/reg_file_registry.h"
#include "storage/data_folder.h"
#ifdef _WIN32
#include "settings/win32_registry.h"
#endif

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <memory>

namespace {

// Local files (the help page) go as file URLs; anything else as the address it is.
void openWithDesktop(const QString& target, QWidget*)
{
    const QFileInfo file(target);
    if (file.isAbsolute() && file.exists())
        QDesktopServices::openUrl(QUrl::fromLocalFile(target));
    else
        QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
}

std::unique_ptr<kv::Registry> platformRegistry()
{
#ifdef _WIN32
    return std::make_unique<kv::Win32Registry>();
#else
    return std::make_unique<kv::RegFileRegistry>(kv::defaultSettingsFile());
#endif
}

} // namespace

int main(int argc, char* argv[])
{
    // First of all: the window holds every stored password in its memory.
    kv::guardProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keystead Vault Plus"));

    const std::unique_ptr<kv::Registry> registry = platformRegistry();
    kv::Environment env;
    env.programFolder = std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String());
#ifdef KV_PER_USER_DATA
    // Installed for everybody, the program cannot keep anyone's entries beside itself.
    env.dataFolder = kv::userDataFolder();
#endif
    env.registry = registry.get();
    env.clock = [] { return QDateTime::currentDateTime(); };
    env.openWithDefaultHandler = openWithDesktop;

    kv::FrmScrn window(env);
    window.show();
    window.loadDatabase();
    return app.exec();
}
