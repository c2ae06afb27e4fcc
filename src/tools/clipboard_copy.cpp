#include "tools/clipboard_copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kv {
namespace {

void markAsSecret([[maybe_unused]] QMimeData& data)
{
#if defined(Q_OS_WIN)
    // Qt offers every other format under its own name as a registered clipboard format. (The
    // application/x-qt-windows-mime;value="..." spelling is stripped to the bare name only from
    // Qt 6.5 on; 6.4 would register the whole string.)
    const QByteArray zero(4, '\0'); // a DWORD 0
    data.setData(QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"), zero);
    data.setData(QStringLiteral("CanIncludeInClipboardHistory"), zero);
    data.setData(QStringLiteral("CanUploadToCloudClipboard"), zero);
#elif !defined(Q_OS_DARWIN)
    // Read by the clipboard managers of the Linux desktops, which then keep no copy.
    data.setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
#endif
}

struct Copy
{
    const QMimeData* data = nullptr; // what we handed to the clipboard
    bool taken = false;
};

Copy copyToClipboard(const QString& text, bool secret)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return {};
    clipboard->clear();

    auto* data = new QMimeData; // the clipboard takes it over
    data->setText(text);
    if (secret)
        markAsSecret(*data);
    clipboard->setMimeData(data);

    // The platform reports a clipboard it could not take only as a warning; so look whether the text
    // we put there is what the clipboard now offers.
    if (clipboard->ownsClipboard())
        return {data, true};
    const QMimeData* now = clipboard->mimeData();
    return {data, now == data || (now && now->hasText() && now->text() == text)};
}

} // namespace

bool CopyToClipboard(const QString& text, bool secret)
{
    return copyToClipboard(text, secret).taken;
}

ClipboardCopier::ClipboardCopier(std::chrono::milliseconds delay, QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(delay);
    connect(&m_timer, &QTimer::timeout, this, &ClipboardCopier::clearNow);
}

ClipboardCopier::~ClipboardCopier()
{
    clearNow();
}

void ClipboardCopier::copyText(const QString& text)
{
    sayWhenBusy(CopyToClipboard(text, false));
}

void ClipboardCopier::copyPassword(const QString& text)
{
    const Copy copy = copyToClipboard(text, true);
    // Armed even when the clipboard looked busy: should our copy have landed after all, it still goes.
    m_text = text;
    m_data = copy.data;
    m_pending = true;
    m_timer.start();
    sayWhenBusy(copy.taken);
}

void ClipboardCopier::sayWhenBusy(bool taken)
{
    if (!taken)
        emit messageShown(QStringLiteral("Clipboard is busy"));
}

void ClipboardCopier::clearNow()
{
    m_timer.stop();
    if (m_pending && clipboardStillHoldsOurCopy())
        QGuiApplication::clipboard()->clear();
    m_pending = false;
    m_text.clear();
    m_data = nullptr;
}

bool ClipboardCopier::clipboardStillHoldsOurCopy() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    // Where the platform cannot say whose the clipboard is, only the very data we set is ours. Asked
    // first: reading another program's clipboard would wait on that program.
    if (!clipboard->ownsClipboard() && !(m_data && clipboard->mimeData() == m_data))
        return false;
    const QMimeData* now = clipboard->mimeData();
    return now && now->text() == m_text;
}

} // namespace kv
