#pragma once
// A sealed database whose key is not at hand: its entries stay unread, and the
// lock's panel covers the list asking for the database's password, which the
// user types into the Password field and confirms with Enter. The key is made
// from it on a thread of its own (it takes about half a second), and once it
// opens, the database is read again under it.

#include "records/shown_records_model.h"
#include "seal/secret_bytes.h"
#include "storage/line_seal.h"
#include "storage/open_database.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class QLabel;
class QLineEdit;
class QWidget;

namespace kv {

enum class KeyOpening;

struct SealWidgets
{
    QWidget* panel = nullptr;           // the lock's panel, which covers the list
    QLabel* message = nullptr;          // on the panel
    QWidget* list = nullptr;            // under the panel: out of reach of the keyboard while covered
    ShownRecordsModel* shown = nullptr; // what the list shows: no rows while covered
    QLineEdit* password = nullptr;      // where the database's password is typed
};

class SealGate : public QObject
{
    Q_OBJECT
public:
    SealGate(SealWidgets widgets, OpenDatabase& database, QObject* parent = nullptr);
    // Waits for a key still being made: its thread reports to this object.
    ~SealGate() override;

    // After each load: covers the list while the open database is sealed and
    // shut, and uncovers it once it is not. While the program's log-in is
    // `locked`, the log-in keeps the panel, and this waits for its turn.
    void follow(bool locked);
    bool isCovering() const { return m_covering; }
    // Another database was chosen: a key being made now is for the one before,
    // and is not to be used.
    void databaseChosen();

signals:
    void coveredChanged(bool covered);
    void messageShown(const QString& text);      // the text after "Keystead Vault - "
    void captionChanged(const QString& caption); // the whole caption
    // The key is set on the database, which is to be read again under it.
    void keyOpened();

private:
    // One password to make a key from, for the database chosen `generation`.
    struct Derivation
    {
        std::uint64_t generation = 0;
        std::string base;
        std::string header;
        SecretBytes password;
    };
    void onEnter();
    void start(Derivation job);
    void finished(std::uint64_t generation, const std::string& base, KeyOpening result,
                  const std::shared_ptr<const LineSeal>& key);
    QString fileName() const;

    SealWidgets m_w;
    OpenDatabase& m_database;
    bool m_covering = false;
    // Counts the databases chosen, so that a key knows whether its database is still open.
    std::uint64_t m_generation = 0;
    // One key is made at a time (each takes 256 MiB): the thread making it and its
    // generation, and a password typed meanwhile for a database chosen since.
    std::thread m_worker;
    std::optional<std::uint64_t> m_working;
    std::optional<Derivation> m_waiting;
};

} // namespace kv
