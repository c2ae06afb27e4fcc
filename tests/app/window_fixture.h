#pragma once
// A main window over a temporary program folder and settings file, as main
// would build it, with a fixed clock and a record of what it handed to the
// default handler.

#include "app/frm_scrn.h"
#include "app/object_names.h"
#include "app/twips.h"
#include "gui_test_support.h"
#include "record_rows.h"
#include "settings/reg_file_registry.h"
#include "storage/data_file.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <vector>

namespace kvtest {

struct WindowFixture
{
    QTemporaryDir dir;
    std::unique_ptr<kv::RegFileRegistry> registry;
    QDateTime now = QDateTime(QDate(2026, 7, 4), QTime(18, 30, 5));
    std::vector<QString> opened;
    kv::FileOps* fileOps = nullptr; // for the data files; none: the real file system
    std::chrono::milliseconds clipboardClearDelay = kv::Environment().clipboardClearDelay;

    WindowFixture() { registry = std::make_unique<kv::RegFileRegistry>(settingsFile()); }

    std::filesystem::path folder() const { return dir.path().toStdString(); }
    std::filesystem::path settingsFile() const { return folder() / "settings.reg"; }
    std::filesystem::path dataFile(int number = 1) const { return folder() / ("db" + std::to_string(number) + ".ksd"); }

    kv::Environment environment()
    {
        kv::Environment env;
        env.programFolder = folder();
        env.registry = registry.get();
        env.fileOps = fileOps;
        env.clock = [this] { return now; };
        env.openWithDefaultHandler = [this](const QString& target, QWidget*) { opened.push_back(target); };
        env.clipboardClearDelay = clipboardClearDelay;
        return env;
    }

    // Start-up as main does it: window shown, then the entries loaded.
    std::unique_ptr<kv::FrmScrn> start()
    {
        auto window = std::make_unique<kv::FrmScrn>(environment());
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        window->loadDatabase();
        return window;
    }

    kv::SettingsStore settings() { return kv::SettingsStore(*registry); }

    void writeDatabase(const std::vector<kv::Record>& rows, int number = 1)
    {
        // A full save needs an existing file to back up first.
        kv::realFileOps().writeNew(dataFile(number), "");
        if (!kv::SaveDatabase(folder(), "db" + std::to_string(number), kv::test::tableOf(rows)))
            qWarning("could not write the test database");
    }

    std::string readFile(const std::filesystem::path& file)
    {
        std::string content;
        kv::realFileOps().readAll(file, content);
        return content;
    }

    std::vector<kv::Record> readDatabase(int number = 1)
    {
        kv::RecordTable rows;
        kv::LoadDatabase(folder(), "db" + std::to_string(number), rows);
        return kv::test::recordsOf(rows);
    }
};

// The window's controls, found by their object names as people who automate it
// would find them.
inline QLineEdit* field(kv::FrmScrn* w, kv::FieldIndex index)
{
    return named<QLineEdit>(w, kv::objectNames::field(index));
}
inline QTableView* list(kv::FrmScrn* w)
{
    return named<QTableView>(w, kv::objectNames::RecordList);
}
// By design index, 0 (Address) to 4 (Password).
inline QLineEdit* field(kv::FrmScrn* w, int index)
{
    return field(w, kv::FieldIndex(index));
}
// Where a click on a row lands, and a point of the list below every row.
inline QPoint rowPoint(kv::FrmScrn* w, int row)
{
    return list(w)->visualRect(list(w)->model()->index(row, 0)).center();
}
inline QPoint emptyPoint(kv::FrmScrn* w)
{
    return QPoint(10, list(w)->viewport()->height() - 5);
}
// One column's texts, top to bottom, as the model gives them.
inline QStringList column(kv::FrmScrn* w, int col)
{
    QStringList texts;
    for (int r = 0; r < w->model().rowCount(); ++r)
        texts << w->model().index(r, col).data().toString();
    return texts;
}
inline QCheckBox* box(kv::FrmScrn* w, int index)
{
    return named<QCheckBox>(w, kv::objectNames::databaseBox(index));
}
inline QAction* action(kv::FrmScrn* w, const QString& name)
{
    return named<QAction>(w, name);
}
inline QMenu* menu(kv::FrmScrn* w, const QString& name)
{
    return named<QMenu>(w, name);
}

// Fills the edit fields as a user would, by typing (so every change is seen).
struct Fields
{
    QString address, service, username, comments, password;
};

inline void type(kv::FrmScrn* w, const Fields& f)
{
    const QString texts[5] = {f.address, f.service, f.username, f.comments, f.password};
    for (int i = 0; i < kv::FieldCount; ++i) {
        QLineEdit* edit = field(w, kv::FieldIndex(i));
        edit->clear();
        bool ascii = true;
        for (QChar c : texts[i])
            ascii = ascii && c.unicode() < 128;
        // Key events carry only ASCII; other text arrives as a paste would.
        if (ascii)
            QTest::keyClicks(edit, texts[i]);
        else
            edit->insert(texts[i]);
    }
}

// A toolbar button, pressed with the mouse.
inline void press(kv::FrmScrn* w, kv::ToolbarCommand command)
{
    auto* widget = w->findChild<QWidget*>(kv::objectNames::toolbarButton(command));
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Selects a row as a click on it does, without loading it into the fields.
inline void selectRow(kv::FrmScrn* w, int row)
{
    list(w)->selectRow(row);
}

// A left click on a row, loading it into the edit fields.
inline void clickRow(kv::FrmScrn* w, int row)
{
    QTableView* view = list(w);
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

inline kv::Record record(const char* service, const char* user = "", const char* password = "",
                         const char* comments = "", const char* address = "", const char* recorded = "")
{
    return kv::Record{service, user, password, comments, address, recorded};
}

} // namespace kvtest

// Tables of tests name toolbar buttons by their command.
Q_DECLARE_METATYPE(kv::ToolbarCommand)
Q_DECLARE_METATYPE(std::optional<kv::ToolbarCommand>)
