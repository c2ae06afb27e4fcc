#include "app/seal_gate.h"

#include "product/product.h"
#include "records/view_text.h"
#include "seal/seal_key.h"

#include <QByteArray>
#include <QLabel>
#include <QLineEdit>
#include <cstring>
#include <new>
#include <system_error>

namespace kv {

namespace {

// Takes what `field` holds into guarded memory (UTF-8, as the command line reads
// a password) and empties the field, wiping the copies on the way; nothing when
// there is no guarded memory to be had.
std::optional<SecretBytes> takeTyped(QLineEdit* field)
{
    QString typed = field->text();
    field->setText(QString()); // its text and its undo history go (clear() would keep them for Undo)
    QByteArray bytes = typed.toUtf8();
    typed.fill(QChar(0)); // the one holder of that text now: wiped in place
    std::optional<SecretBytes> secret;
    try {
        secret.emplace(static_cast<std::size_t>(bytes.size()));
        if (!bytes.isEmpty())
            std::memcpy(secret->data(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    } catch (const std::bad_alloc&) {
        secret.reset();
    }
    bytes.fill('\0');
    return secret;
}

QString failure(KeyOpening result, const QString& name)
{
    switch (result) {
    case KeyOpening::Opened:
        break;
    case KeyOpening::WrongPassword:
        return QStringLiteral("Wrong password for ") + name;
    case KeyOpening::Damaged:
        return QStringLiteral("The seal of ") + name + QStringLiteral(" is damaged, so it cannot be opened");
    case KeyOpening::Unsupported:
        return name + QStringLiteral(" is sealed in a way this version cannot open");
    case KeyOpening::OutOfBounds:
        return name + QStringLiteral(" asks for more memory or time than this program allows, so it is not opened");
    case KeyOpening::Failed:
        break;
    }
    return QStringLiteral("Could not open ") + name + QStringLiteral(": not enough memory");
}

} // namespace

SealGate::SealGate(SealWidgets widgets, OpenDatabase& database, QObject* parent)
    : QObject(parent), m_w(widgets), m_database(database)
{
    connect(m_w.password, &QLineEdit::returnPressed, this, &SealGate::onEnter);
}

SealGate::~SealGate()
{
    if (m_worker.joinable())
        m_worker.join();
}

QString SealGate::fileName() const
{
    return QString::fromStdString(m_database.base()) + QStringLiteral(".ksd");
}

void SealGate::follow(bool locked)
{
    if (locked || !m_database.shut()) {
        if (!m_covering)
            return; // the panel is the log-in's, or nobody's
        m_covering = false;
        // Half a password typed for the database that was sealed is no entry's.
        m_w.password->setText(QString());
        m_w.panel->setVisible(false);
        m_w.shown->setRecordsShown(true);
        m_w.list->setEnabled(true);
        emit coveredChanged(false);
        return;
    }
    m_w.message->setText(fileName() + QStringLiteral(" is sealed.   Please enter its password"));
    m_w.message->setVisible(true);
    m_w.panel->setAccessibleName(QStringLiteral("Sealed"));
    m_w.panel->setVisible(true);
    m_w.panel->raise();
    m_w.list->setEnabled(false);
    m_w.shown->setRecordsShown(false);
    // What the field held (a password loaded from the database open before, or
    // typed for another) is not this database's password.
    m_w.password->setText(QString());
    m_w.password->setToolTip(QString());
    if (!m_covering) {
        m_covering = true;
        emit coveredChanged(true);
    }
}

void SealGate::databaseChosen()
{
    ++m_generation;
    m_waiting.reset();
    if (m_working)
        emit captionChanged(fromView(WindowTitle)); // no longer "Opening ..."
}

void SealGate::onEnter()
{
    if (!m_covering)
        return;
    std::optional<SecretBytes> password = takeTyped(m_w.password);
    if (!password) {
        emit messageShown(failure(KeyOpening::Failed, fileName()));
        return;
    }
    // Enter again while its key is being made: once is enough.
    if (password->empty() || m_working == m_generation)
        return;
    Derivation job{m_generation, m_database.base(), m_database.sealHeader(), std::move(*password)};
    emit messageShown(QStringLiteral("Opening ") + fileName() + QStringLiteral("..."));
    if (m_working) {
        // The key of a database chosen before is still being made; this one follows it.
        m_waiting = std::move(job);
        return;
    }
    start(std::move(job));
}

void SealGate::start(Derivation job)
{
    const std::uint64_t generation = job.generation;
    const QString name = QString::fromStdString(job.base) + QStringLiteral(".ksd");
    try {
        m_worker = std::thread([this, job = std::move(job)]() mutable {
            std::shared_ptr<const LineSeal> key;
            KeyOpening result = KeyOpening::Failed;
            try {
                result = openSealKey(job.header, job.password.view(), key);
            } catch (...) {
                result = KeyOpening::Failed;
            }
            job.password = SecretBytes();
            if (result != KeyOpening::Opened)
                key.reset();
            // Delivered on the window's thread; the destructor waits for this thread,
            // so the object is there to post to.
            QMetaObject::invokeMethod(
                this,
                [this, generation = job.generation, base = std::move(job.base), result, key = std::move(key)] {
                    finished(generation, base, result, key);
                },
                Qt::QueuedConnection);
        });
        m_working = generation;
    } catch (const std::system_error&) {
        // No thread to be had; the password went with the job.
        if (generation == m_generation)
            emit messageShown(QStringLiteral("Could not open ") + name);
    }
}

void SealGate::finished(std::uint64_t generation, const std::string& base, KeyOpening result,
                        const std::shared_ptr<const LineSeal>& key)
{
    if (m_worker.joinable())
        m_worker.join(); // it has posted its result: it is ending
    m_working.reset();
    if (generation == m_generation) {
        if (base != m_database.base() || !m_database.shut()) {
            // Read again meanwhile and no longer shut (unsealed elsewhere): the key is of no use.
            emit captionChanged(fromView(WindowTitle));
        } else if (result == KeyOpening::Opened) {
            m_database.setKey(key);
            emit captionChanged(fromView(WindowTitle));
            emit keyOpened();
        } else {
            emit messageShown(failure(result, QString::fromStdString(base) + QStringLiteral(".ksd")));
        }
    }
    if (m_waiting) {
        Derivation next = std::move(*m_waiting);
        m_waiting.reset();
        start(std::move(next));
    }
}

} // namespace kv
